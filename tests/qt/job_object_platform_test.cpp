// A KT482_Print object on the real platform services: its defaults come
// from the machine's printers, and its creation never waits on a silent
// print server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "job/job_state.h"
#include "platform/printer.h"
#include "platform/qt/qt_application.h"
#include "kt482/kt482.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::ScopedEnv;
using test::ServerBehaviour;
using Clock = std::chrono::steady_clock;

long long ms(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

TEST(JobObjectOnThePlatform, SilentServerMakesThePdfPrinterTheDefaultWithinSeconds)
{
    auto server = FakeServer::on_unix_socket(ServerBehaviour::NeverReply);
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);

    testing::internal::CaptureStderr();
    const auto start = Clock::now();
    KT482_Print job;
    const auto took = Clock::now() - start;
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_LT(took, 2500ms);
    EXPECT_EQ(errors.find("KT482_Print : "), std::string::npos) << errors;
    EXPECT_EQ(kt482::job().DeviceName, "KT482 PDF");
    EXPECT_EQ(job.P_PaperSize(), 9);
    EXPECT_EQ(job.P_Orientation(), 1);
    EXPECT_EQ(job.P_PRT_Copy(), 1);
    EXPECT_EQ(kt482::job().PageHeight, 841.9f);
    EXPECT_EQ(kt482::job().PageWidth, 595.3f);
}

class JobObjectWithHungServer : public testing::TestWithParam<ServerBehaviour> {};

// The PDF printer never depends on the print server: with a server that
// never answers, or answers the probe and then stalls, it is selected by
// name and by the stored default name and prints, every call in time. Only
// a queue of that server is reported as unreachable.
TEST_P(JobObjectWithHungServer, PdfPrinterPrintsAndOnlyAQueueIsReported)
{
    auto server = FakeServer::on_unix_socket(GetParam());
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    test::TempFolder spool;
    test::TempFolder output;
    ScopedEnv pdf_dir("KT482_PDF_DIR", output.path());

    auto start = Clock::now();
    KT482_Print job;
    EXPECT_LT(Clock::now() - start, 3s);
    job.P_Temp_Dir(spool.path());
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_EndEdit();

    for (const std::string name : {"", "KT482 PDF"}) {
        testing::internal::CaptureStderr();
        start = Clock::now();
        job.W_Device(name);
        EXPECT_LT(Clock::now() - start, 3s) << name;
        job.W_StartDoc(9, 1);
        job.W_Print();
        job.W_EndDoc();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find("KT482_Print : "), std::string::npos) << name << ": " << errors;
        ASSERT_TRUE(kt482::job().PrinterObject) << name;
        const std::string written = kt482::job().PrinterObject->LastOutput();
        EXPECT_EQ(std::filesystem::path(written).parent_path(), output.path()) << name;
        EXPECT_TRUE(std::filesystem::is_regular_file(written)) << name;
    }

    testing::internal::CaptureStderr();
    start = Clock::now();
    job.W_Device("office");
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "KT482_Print : W_Device: The print server does not answer: \"office\"\n");
    ASSERT_TRUE(kt482::job().PrinterObject) << "the PDF printer stays selected";
    EXPECT_EQ(kt482::job().PrinterObject->DeviceName(), "KT482 PDF");
}

INSTANTIATE_TEST_SUITE_P(Servers, JobObjectWithHungServer,
                         testing::Values(ServerBehaviour::NeverReply, ServerBehaviour::ProbeOnly),
                         [](const testing::TestParamInfo<ServerBehaviour>& info) {
                             return std::string(info.param == ServerBehaviour::NeverReply ? "Silent"
                                                                                         : "StallsAfterProbe");
                         });

// A server that keeps sending (a reply a byte at a time, or a header without
// end) never lets a wait for data time out. Every entry point still returns
// in time, and the PDF printer does not ask the server at all.
TEST(JobObjectOnThePlatform, ServerThatKeepsSendingHoldsNoEntryPointLong)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    test::TempFolder spool;
    test::TempFolder output;
    ScopedEnv pdf_dir("KT482_PDF_DIR", output.path());
    for (const auto behaviour : {ServerBehaviour::Drip, ServerBehaviour::EndlessHeader}) {
        const char* mode = behaviour == ServerBehaviour::Drip ? "drip" : "endless header";
        auto server = FakeServer::on_unix_socket(behaviour);
        ScopedEnv cups_server("CUPS_SERVER", server->address());
        // Each time is shown as it is taken, so that a call that never
        // returns still leaves the ones before.
        auto timed = [mode](const char* what, auto&& call) {
            const auto start = Clock::now();
            call();
            const auto took = Clock::now() - start;
            std::cout << "[ timing   ] " << mode << ": " << what << " " << ms(took) << " ms" << std::endl;
            return took;
        };
        std::optional<KT482_Print> job;
        testing::internal::CaptureStderr();
        const auto created = timed("creation", [&] { job.emplace(); });
        job->P_Temp_Dir(spool.path());
        job->E_StartEdit();
        job->E_String(1, 1, "a");
        job->E_EndEdit();
        const auto pdf_selected = timed("W_Device(\"KT482 PDF\")", [&] { job->W_Device("KT482 PDF"); });
        const auto printed = timed("a job on the PDF printer", [&] {
            job->W_StartDoc(9, 1);
            job->W_Print();
            job->W_EndDoc();
        });
        const std::string pdf_errors = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        const auto queue_selected = timed("W_Device(queue)", [&] { job->W_Device(test::kFakeQueue); });
        const std::string queue_errors = testing::internal::GetCapturedStderr();

        EXPECT_LT(created, 3500ms) << mode;
        EXPECT_LT(pdf_selected, 1s) << mode;  // a silent server would take 3 s
        EXPECT_LT(printed, 1s) << mode;
        EXPECT_LT(queue_selected, 3500ms) << mode;
        EXPECT_EQ(pdf_errors.find("KT482_Print : "), std::string::npos) << mode << ": " << pdf_errors;
        EXPECT_EQ(job->LastPdfPath().rfind(output.path(), 0), 0u) << mode;
        EXPECT_EQ(queue_errors, "KT482_Print : W_Device: The print server does not answer: \"fake\"\n") << mode;
    }
}

TEST(JobObjectOnThePlatform, DefaultQueueOfThePrivateServer)
{
    const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
    if (!socket || !*socket)
        GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                        "eval \"$(scripts/test-cupsd)\"";
    ScopedEnv cups_server("CUPS_SERVER", std::string(socket));

    KT482_Print job;
    EXPECT_EQ(kt482::job().DeviceName, "kt482-test");
    EXPECT_EQ(kt482::job().Port, "cups-pdf:/");
    EXPECT_EQ(job.P_PaperSize(), 9);
    EXPECT_EQ(job.P_Orientation(), 1);
    EXPECT_EQ(kt482::job().PageWidth, 595.3f);
}

// Windows belong to the thread that runs the Qt application. An object on
// another thread records and prints, but its window members are refused with
// a clear failure instead of touching widgets there.
TEST(JobObjectOnThePlatform, WindowMembersOffTheApplicationThreadAreRefused)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    ensure_qt_application();  // the application runs on this thread
    test::TempFolder spool;
    std::string errors;
    int16_t confirmed = -1;
    std::thread([&] {
        KT482_Print job;
        job.P_Temp_Dir(spool.path());
        job.E_StartEdit();
        job.E_String(1, 1, "a");
        job.E_EndEdit();
        testing::internal::CaptureStderr();
        job.V_Size_Set(9, 1);
        job.V_Preview();
        confirmed = job.W_PrtDialog(0, "KT482 PDF", 9, 1);
        errors = testing::internal::GetCapturedStderr();
    }).join();
    const std::string refused = "Windows can only be used on the thread that runs the Qt application\n";
    errors = errors.substr(std::min(errors.find("KT482_Print : "), errors.size()));
    EXPECT_EQ(errors, "KT482_Print : V_Size_Set: " + refused + "KT482_Print : V_Preview: Object variable or With "
                      "block variable not set\nKT482_Print : ZZ110_ShowPrint: " + refused);
    EXPECT_EQ(confirmed, 0);
}

TEST(JobObjectOnThePlatform, FailureOfAMemberIsOneLineOnStandardError)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    KT482_Print job;
    job.P_Temp_Dir("/nonexistent/kt482-folder");
    testing::internal::CaptureStderr();
    job.E_StartEdit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KT482_Print : E_StartEdit: Path not found\n");
    EXPECT_EQ(job.Answer(), Variant(1));
}

}  // namespace
}  // namespace kt482
