// Printing on the queue kt482-test of the private print server
// (scripts/test-cupsd), whose cups-pdf backend writes each job as a PDF file.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <pwd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_printer_system.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FakeServer;
using test::ScopedEnv;
using test::ServerBehaviour;
using Clock = std::chrono::steady_clock;

const char* const kQueue = "kt482-test";

struct QueueJob {
    int id = 0;
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    std::string user;
};

// Every job the queue has seen, of every user, oldest first.
std::vector<QueueJob> queue_jobs()
{
    cupsSetServer(nullptr);  // follow CUPS_SERVER as it is now
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<QueueJob> list;
    for (int i = 0; i < count; ++i)
        list.push_back({jobs[i].id, jobs[i].state, jobs[i].user ? jobs[i].user : ""});
    if (count > 0)
        cupsFreeJobs(count, jobs);
    return list;
}

std::optional<QueueJob> find_job(int id)
{
    for (const auto& job : queue_jobs())
        if (job.id == id)
            return job;
    return std::nullopt;
}

// Where cups-pdf writes a user's files: the "Out" folder of its
// configuration, with ${HOME} and ${USER} filled in.
std::string cups_pdf_folder(const std::string& user)
{
    std::string out = "/var/spool/cups-pdf/${USER}";
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    for (std::string line; std::getline(conf, line);) {
        if (line.rfind("Out ", 0) == 0)
            out = line.substr(4);
    }
    const passwd* entry = ::getpwnam(user.c_str());
    auto fill = [&out](const std::string& name, const std::string& value) {
        for (std::size_t at; (at = out.find(name)) != std::string::npos;)
            out.replace(at, name.size(), value);
    };
    fill("${HOME}", entry ? entry->pw_dir : "");
    fill("${USER}", user);
    return out;
}

// The newest PDF file in folder written since a point in time.
std::optional<std::string> newest_pdf_since(const std::string& folder, fs::file_time_type since)
{
    std::optional<std::string> newest;
    fs::file_time_type newest_time = since;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".pdf")
            continue;
        const auto time = entry.last_write_time(error);
        if (!error && time >= newest_time) {
            newest = entry.path().string();
            newest_time = time;
        }
    }
    return newest;
}

template <class Condition>
bool wait_until(Condition done, std::chrono::seconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

class CupsPrinting : public testing::Test {
protected:
    void SetUp() override
    {
        const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
        if (!socket || !*socket)
            GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                            "eval \"$(scripts/test-cupsd)\"";
        socket_ = socket;
        server_.emplace("CUPS_SERVER", socket_);
    }

    std::shared_ptr<Printer> open_queue()
    {
        auto printer = printers_->open_printer(kQueue);
        EXPECT_TRUE(printer.ok()) << printer.failure().description;
        return printer.ok() ? *printer : nullptr;
    }

    std::string socket_;
    std::optional<ScopedEnv> server_;
    std::unique_ptr<PrinterSystem> printers_ = make_qt_printer_system(pdf_printer_makers());
};

TEST_F(CupsPrinting, QueueTakesOnlyThePaperItOffers)
{
    auto printer = open_queue();
    ASSERT_TRUE(printer);
    EXPECT_EQ(printer->DeviceName(), kQueue);
    EXPECT_EQ(printer->PaperSize(), 9);
    // Statement and Envelope #9 are known codes the queue has no paper for;
    // 0 is no code at all.
    for (int16_t code : {6, 19, 0}) {
        EXPECT_TRUE(printer->PaperSize(code).failure().is(ErrorNumber::InvalidPropertyValue)) << code;
        EXPECT_EQ(printer->PaperSize(), 9) << code;
    }
    EXPECT_TRUE(printer->PaperSize(12).ok());  // B4 250 x 353 mm
    EXPECT_EQ(printer->PaperSize(), 12);
    // The queue takes custom sizes from 36 points on a side.
    EXPECT_TRUE(printer->PaperSize(256).ok());
    EXPECT_EQ(printer->PaperSize(), 256);
    EXPECT_FALSE(printer->PageHeight(20 * 20).ok());
    EXPECT_TRUE(printer->PageHeight(20 * 720).ok());
    EXPECT_EQ(printer->LastOutput(), "");
    EXPECT_FALSE(printers_->open_printer("no-such-queue").ok());
}

// The driver makes the copies: the queue gets one job of three pages with two
// copies, collated, and the backend's file has all six pages.
TEST_F(CupsPrinting, TwoCopiesOfThreePagesAreOneJob)
{
    test::TempFolder spool;
    KT482_Print job;
    job.P_Temp_Dir(spool.path());
    job.E_StartEdit();
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    for (int page = 1; page <= 3; ++page) {
        if (page > 1)
            job.E_ChangePage();
        job.E_String(2, 3, "PAGE-" + std::to_string(page));
    }
    job.E_EndEdit();
    job.P_PRT_Copy(2);

    const auto jobs_before = queue_jobs();
    const auto written_after = fs::file_time_type::clock::now() - 2s;
    testing::internal::CaptureStderr();
    job.W_Device("KT482-Test");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("KT482_Print : "), std::string::npos) << errors;

    ASSERT_TRUE(kt482::job().PrinterObject);
    const std::string output = kt482::job().PrinterObject->LastOutput();
    const auto jobs_after = queue_jobs();
    ASSERT_EQ(jobs_after.size(), jobs_before.size() + 1) << output;
    const QueueJob sent = jobs_after.back();
    EXPECT_EQ(output, "job " + std::to_string(sent.id) + " on kt482-test");

    ASSERT_TRUE(wait_until([&] {
        const auto now = find_job(sent.id);
        return now && now->state >= IPP_JSTATE_STOPPED;
    }, 20s)) << "job " << sent.id << " did not finish";
    EXPECT_EQ(find_job(sent.id)->state, IPP_JSTATE_COMPLETED);

    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed: the backend's file is not read back";
    const std::string folder = cups_pdf_folder(sent.user);
    std::optional<std::string> file;
    ASSERT_TRUE(wait_until([&] { return (file = newest_pdf_since(folder, written_after)).has_value(); }, 5s))
        << "no new PDF file in " << folder;
    const auto texts = test::pdf_page_texts(*file);
    RecordProperty("cups_pdf_pages", static_cast<int>(texts.size()));
    EXPECT_EQ(texts.size(), 6u) << *file;
}

// Records pages 1 to count, each with its number, and a text far to the
// right of the first page when far_right is set.
void record_pages(KT482_Print& job, const std::string& folder, int count, bool far_right = false)
{
    job.P_Temp_Dir(folder);
    job.E_StartEdit();
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    for (int page = 1; page <= count; ++page) {
        if (page > 1)
            job.E_ChangePage();
        job.E_String(2, 3, "PAGE-" + std::to_string(page));
        // Column 170 is 1020 points in: beyond an 11 inch wide page.
        if (far_right && page == 1)
            job.E_String(3, 170, "FAR-RIGHT");
    }
    job.E_EndEdit();
}

// Prints the recorded job on the queue by name, waits until the queue has
// printed it, and gives the backend's file (nothing without poppler's tools).
std::optional<std::string> print_and_fetch(KT482_Print& job, int16_t paper, int16_t pages, std::string& problem)
{
    const auto jobs_before = queue_jobs();
    // The backend writes every job of the same title to the same file.
    const auto written_after = fs::file_time_type::clock::now();
    testing::internal::CaptureStderr();
    job.W_Device("kt482-test");
    job.W_StartDoc(paper, 1);
    // The recorded bounds only widen: a shorter job after a longer one is
    // printed by its own range.
    job.W_Print(1, pages);
    job.W_EndDoc();
    const std::string errors = testing::internal::GetCapturedStderr();
    if (errors.find("KT482_Print : ") != std::string::npos) {
        problem = errors;
        return std::nullopt;
    }
    const auto jobs_after = queue_jobs();
    if (jobs_after.size() != jobs_before.size() + 1) {
        problem = "the queue did not get one job";
        return std::nullopt;
    }
    const QueueJob sent = jobs_after.back();
    if (!wait_until([&] {
            const auto now = find_job(sent.id);
            return now && now->state >= IPP_JSTATE_STOPPED;
        }, 20s)) {
        problem = "job " + std::to_string(sent.id) + " did not finish";
        return std::nullopt;
    }
    if (find_job(sent.id)->state != IPP_JSTATE_COMPLETED) {
        problem = "job " + std::to_string(sent.id) + " was not completed";
        return std::nullopt;
    }
    const std::string folder = cups_pdf_folder(sent.user);
    std::optional<std::string> file;
    if (!wait_until([&] { return (file = newest_pdf_since(folder, written_after)).has_value(); }, 5s))
        problem = "no new PDF file in " + folder;
    return file;
}

// The queue lists Ledger only as 11 x 17 in: the form's 17 x 11 in page is
// printed on it turned, so nothing right of 11 inches is cut off.
TEST_F(CupsPrinting, LedgerKeepsItsShapeOnAQueueThatListsItUpright)
{
    auto printer = open_queue();
    ASSERT_TRUE(printer);
    ASSERT_TRUE(printer->PaperSize(4).ok());
    EXPECT_EQ(printer->PaperSize(), 4);
    ASSERT_TRUE(printer->PaperSize(3).ok());
    EXPECT_EQ(printer->PaperSize(), 3);

    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed: the backend's file is not read back";
    test::TempFolder spool;
    KT482_Print job;
    record_pages(job, spool.path(), 1, true);
    std::string problem;
    const auto file = print_and_fetch(job, 4, 1, problem);
    ASSERT_TRUE(file) << problem;
    const auto sizes = test::pdf_page_sizes(*file);
    ASSERT_EQ(sizes.size(), 1u) << *file;
    EXPECT_NEAR(std::max(sizes[0].width, sizes[0].height), 1224, 2) << *file;
    // The backend re-renders the text without its characters: the words are
    // told by their place. FAR-RIGHT starts right of 11 inches of the form,
    // which the queue's filters may leave on a turned page or turn with the
    // content onto the upright sheet (counter-clockwise: the form's right
    // edge at the sheet's top).
    const auto words = test::pdf_words(*file);
    ASSERT_FALSE(words.empty()) << *file;
    const bool turned_page = sizes[0].width > sizes[0].height;
    double farthest = 0;
    for (const auto& word : words)
        farthest = std::max(farthest, turned_page ? word.x_min : sizes[0].height - word.y_max);
    EXPECT_GT(farthest, 792) << *file;
}

// Jobs in a row on the queue by name, one, two and three pages in turn:
// each arrives whole, with its own number of pages.
TEST_F(CupsPrinting, JobsInARowEachArriveWithTheirPages)
{
    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed: the backend's files are not read back";
    test::TempFolder spool;
    KT482_Print job;
    for (int n = 1; n <= 8; ++n) {
        const int pages = 1 + n % 3;
        record_pages(job, spool.path(), pages);
        std::string problem;
        const auto file = print_and_fetch(job, 9, static_cast<int16_t>(pages), problem);
        ASSERT_TRUE(file) << "job " << n << ": " << problem;
        // The backend may still be writing the file when the job is done.
        std::size_t arrived = 0;
        wait_until([&] { return (arrived = test::pdf_page_texts(*file).size()) == static_cast<std::size_t>(pages); },
                   5s);
        ASSERT_EQ(arrived, static_cast<std::size_t>(pages)) << "job " << n << ": " << *file;
        const auto words = test::pdf_words(*file);
        ASSERT_FALSE(words.empty()) << "job " << n;
        EXPECT_EQ(words.back().page, pages) << "job " << n;
    }
}

// A server that stops answering between the first drawing and the end of the
// document must not hold EndDoc for the minutes libcups would wait: the
// document is dropped and the failure reported at once.
TEST_F(CupsPrinting, ServerFallingSilentBeforeTheEndDropsTheDocumentInTime)
{
    auto printer = open_queue();
    ASSERT_TRUE(printer);
    const auto jobs_before = queue_jobs();
    ASSERT_TRUE(printer->Print("never printed", LineEnd::Without).ok());
    {
        auto hung = FakeServer::on_unix_socket(ServerBehaviour::NeverReply);
        ScopedEnv elsewhere("CUPS_SERVER", hung->address());
        const auto start = Clock::now();
        const Status ended = printer->EndDoc();
        EXPECT_LT(Clock::now() - start, 2500ms);
        ASSERT_FALSE(ended.ok());
        EXPECT_TRUE(ended.failure().is(ErrorNumber::PrinterError));
    }
    EXPECT_EQ(queue_jobs().size(), jobs_before.size());
    EXPECT_EQ(printer->LastOutput(), "");

    // The printer is ready for the next document.
    ASSERT_TRUE(printer->Print("printed", LineEnd::Without).ok());
    ASSERT_TRUE(printer->EndDoc().ok());
    EXPECT_EQ(queue_jobs().size(), jobs_before.size() + 1);
    EXPECT_EQ(printer->LastOutput().rfind("job ", 0), 0u) << printer->LastOutput();
}

TEST_F(CupsPrinting, AbortDocSendsNoJobAndTheNextDocumentPrints)
{
    auto printer = open_queue();
    ASSERT_TRUE(printer);
    const auto jobs_before = queue_jobs();
    ASSERT_TRUE(printer->Print("never printed", LineEnd::Without).ok());
    ASSERT_TRUE(printer->NewPage().ok());
    const auto start = Clock::now();
    ASSERT_TRUE(printer->AbortDoc().ok());
    EXPECT_LT(Clock::now() - start, 2500ms);
    EXPECT_EQ(queue_jobs().size(), jobs_before.size());
    EXPECT_EQ(printer->LastOutput(), "");

    ASSERT_TRUE(printer->Print("printed", LineEnd::Without).ok());
    ASSERT_TRUE(printer->EndDoc().ok());
    EXPECT_EQ(queue_jobs().size(), jobs_before.size() + 1);
}

}  // namespace
}  // namespace kt482
