// A KT482_Print object on the real platform services: its defaults come
// from the machine's printers, and its creation never waits on a silent
// print server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include "job/job_state.h"
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

// Selecting a printer lists the installed ones, which a silent server cannot
// tell: that is reported within the probe's time, and no printer is selected.
TEST(JobObjectOnThePlatform, SelectingAPrinterWithASilentServerFailsInTime)
{
    auto server = FakeServer::on_unix_socket(ServerBehaviour::NeverReply);
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    KT482_Print job;

    testing::internal::CaptureStderr();
    const auto start = Clock::now();
    job.W_Device("KT482 PDF");
    const auto took = Clock::now() - start;
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_LT(took, 2500ms);
    EXPECT_EQ(errors.rfind("KT482_Print : ", 0), 0u) << errors;
    EXPECT_NE(errors.find("The print server does not answer"), std::string::npos) << errors;
    EXPECT_FALSE(kt482::job().PrinterObject);
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
