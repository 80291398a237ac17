// Sending a PDF document to a print queue: the IPP options of a page setup,
// a server that goes quiet at each step of a job, and the private print
// server (scripts/test-cupsd) reading back the attributes of the jobs sent.
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/paper_table.h"
#include "platform/qt/qt_printer_system.h"
#include "print/cups_job.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::ScopedEnv;
using test::ServerBehaviour;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

// -- The options of a page setup ------------------------------------------------

struct OptionsRow {
    const char* name;
    int16_t paper;
    double width_pt;
    double height_pt;
    int16_t orientation;
    const char* media;
    int ipp_orientation;
};

class CupsJobOptionsTable : public testing::TestWithParam<OptionsRow> {};

TEST_P(CupsJobOptionsTable, GivesTheMediaAndOrientation)
{
    const OptionsRow& row = GetParam();
    const CupsJobOptions options = cups_job_options(row.paper, row.width_pt, row.height_pt, row.orientation, 1, 1, 0, "t");
    EXPECT_EQ(options.media, row.media);
    EXPECT_EQ(options.orientation, row.ipp_orientation);
}

INSTANTIATE_TEST_SUITE_P(
    Papers, CupsJobOptionsTable,
    testing::Values(
        OptionsRow{"A4", 9, 0, 0, 1, "iso_a4_210x297mm", 3},
        OptionsRow{"A4Landscape", 9, 0, 0, 2, "iso_a4_210x297mm", 4},
        OptionsRow{"Letter", 1, 0, 0, 1, "na_letter_8.5x11in", 3},
        OptionsRow{"Tabloid", 3, 0, 0, 1, "na_ledger_11x17in", 3},
        OptionsRow{"TabloidLandscape", 3, 0, 0, 2, "na_ledger_11x17in", 4},
        // Ledger is the 11 x 17 in sheet read across: never plain Tabloid.
        OptionsRow{"Ledger", 4, 0, 0, 1, "na_ledger_11x17in", 4},
        OptionsRow{"LedgerLandscape", 4, 0, 0, 2, "na_ledger_11x17in", 3},
        OptionsRow{"EnvelopeB6", 35, 0, 0, 1, "iso_b6_125x176mm", 4},
        // Sizes without a standard name go as they are, not to the nearest paper.
        OptionsRow{"Executive", 7, 0, 0, 1, "custom_7.5x10.5in_7.5x10.5in", 3},
        OptionsRow{"B4", 12, 0, 0, 1, "custom_250x354mm_250x354mm", 3},
        OptionsRow{"UserSize", 256, 123 * 72 / 25.4, 234 * 72 / 25.4, 1, "custom_123x234mm_123x234mm", 3},
        OptionsRow{"UserSizeLandscape", 256, 123 * 72 / 25.4, 234 * 72 / 25.4, 2, "custom_123x234mm_123x234mm", 4},
        OptionsRow{"UserSizeOfLetter", 256, 612, 792, 1, "na_letter_8.5x11in", 3},
        OptionsRow{"UserSizeWiderThanHigh", 256, 792, 612, 1, "na_letter_8.5x11in", 4},
        OptionsRow{"UserSizeEmpty", 256, 0, 0, 2, "", 4},
        OptionsRow{"UserSizeNotFinite", 256, NAN, 792, 1, "", 3},
        OptionsRow{"CodeWithoutSize", 25, 612, 792, 1, "", 3},
        OptionsRow{"UnknownCode", 999, 612, 792, 2, "", 4}),
    [](const testing::TestParamInfo<OptionsRow>& info) { return std::string(info.param.name); });

// Whatever name a paper code gets, libcups reads it back as that paper's
// sheet, short side first, to the millimetre.
TEST(CupsJobOptions, EveryPaperCodeNamesItsOwnSheet)
{
    for (const PaperEntry& entry : paper_table()) {
        SCOPED_TRACE(std::string(entry.name));
        const CupsJobOptions options = cups_job_options(entry.code, 0, 0, 1, 1, 1, 0, "");
        const pwg_media_t* media = pwgMediaForPWG(options.media.c_str());
        ASSERT_NE(media, nullptr) << options.media;
        const double scale = entry.unit == PaperUnit::Inch ? 2540 : 100;
        const double short_side = std::min(entry.width, entry.height) * scale;
        const double long_side = std::max(entry.width, entry.height) * scale;
        EXPECT_NEAR(media->width, short_side, 100) << options.media;
        EXPECT_NEAR(media->length, long_side, 100) << options.media;
    }
}

TEST(CupsJobOptions, CopiesDuplexAndResolution)
{
    struct Row {
        int16_t copies, duplex, dpi;
        int want_copies;
        const char* want_sides;
        int want_dpi;
    };
    for (const Row& row : {Row{1, 1, 0, 1, "one-sided", 0}, Row{3, 2, 600, 3, "two-sided-long-edge", 600},
                           Row{99, 3, 1200, 99, "two-sided-short-edge", 1200},
                           Row{0, 0, -5, 1, "one-sided", 0}, Row{-2, 7, 300, 1, "one-sided", 300}}) {
        const CupsJobOptions options = cups_job_options(9, 0, 0, 1, row.copies, row.duplex, row.dpi, "Invoice");
        EXPECT_EQ(options.copies, row.want_copies) << row.copies;
        EXPECT_TRUE(options.collate);
        EXPECT_EQ(options.sides, row.want_sides) << row.duplex;
        EXPECT_EQ(options.dpi, row.want_dpi) << row.dpi;
        EXPECT_EQ(options.title, "Invoice");
    }
}

// -- Sending ----------------------------------------------------------------------

// A one-page PDF of the given size in points, with a correct cross-reference
// table, so that a real server's filters take it.
std::string one_page_pdf(int width, int height)
{
    const std::string content = "BT /F1 12 Tf 72 72 Td (kt482) Tj ET";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " + std::to_string(height) +
            "] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof(line), "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

class PdfFile {
public:
    explicit PdfFile(int width = 595, int height = 842) : path_(folder_.path() + "/document.pdf")
    {
        std::ofstream(path_, std::ios::binary) << one_page_pdf(width, height);
    }
    const std::string& path() const { return path_; }

private:
    TempFolder folder_;
    std::string path_;
};

// The fake server answers this many IPP requests and then stalls on the next
// one: 0 after the probe, 1 at the job's creation (after the queue's
// attributes), 2 in the middle of the document.
class CupsJobStall : public testing::TestWithParam<int> {};

TEST_P(CupsJobStall, IsReportedWithinSeconds)
{
    auto server = FakeServer::ipp_then_stall(GetParam());
    ScopedEnv env("CUPS_SERVER", server->address());
    PdfFile pdf;
    const auto start = Clock::now();
    const auto sent = send_pdf_to_queue(test::kFakeQueue, pdf.path(), cups_job_options(9, 0, 0, 1, 2, 2, 600, "t"));
    const auto took = Clock::now() - start;
    ASSERT_FALSE(sent.ok()) << *sent;
    EXPECT_TRUE(sent.failure().is(ErrorNumber::PrinterError));
    EXPECT_EQ(sent.failure().description, "The print server does not answer");
    EXPECT_LT(took, 5s);
    EXPECT_GT(server->ipp_requests(), GetParam()) << "the server never stalled";
    // A job created and stalled in its document is cancelled on a connection
    // of its own.
    if (GetParam() == 2) {
        EXPECT_EQ(server->ipp_requests(), 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, CupsJobStall, testing::Values(0, 1, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return "After" + std::to_string(info.param) + "Replies";
                         });

// The same fake server, never stalling, takes the whole job: the stalls above
// happen where a real job would go on.
TEST(CupsJobSend, FakeServerThatKeepsAnsweringTakesTheJob)
{
    auto server = FakeServer::ipp_then_stall(1000);
    ScopedEnv env("CUPS_SERVER", server->address());
    PdfFile pdf;
    const auto sent = send_pdf_to_queue(test::kFakeQueue, pdf.path(), cups_job_options(9, 0, 0, 1, 1, 1, 0, "t"));
    ASSERT_TRUE(sent.ok()) << sent.failure().description;
    EXPECT_EQ(*sent, "job 7 on fake");
}

std::size_t open_descriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// A host that prints all day sends thousands of jobs from one process: sent
// jobs and failed ones alike leave no connection or file open.
TEST(CupsJobSend, JobsLeaveNoDescriptorOpen)
{
    PdfFile pdf;
    const std::size_t before = open_descriptors();
    {
        auto server = FakeServer::ipp_then_stall(1000);
        ScopedEnv env("CUPS_SERVER", server->address());
        for (int job = 0; job < 40; ++job)
            ASSERT_TRUE(send_pdf_to_queue(test::kFakeQueue, pdf.path(), CupsJobOptions{}).ok()) << job;
    }
    {
        auto server = FakeServer::ipp_then_stall(2);
        ScopedEnv env("CUPS_SERVER", server->address());
        ASSERT_FALSE(send_pdf_to_queue(test::kFakeQueue, pdf.path(), CupsJobOptions{}).ok());
    }
    EXPECT_EQ(open_descriptors(), before);
}

TEST(CupsJobSend, ServerThatNeverAnswersIsReportedWithinSeconds)
{
    auto server = FakeServer::on_unix_socket(ServerBehaviour::NeverReply);
    ScopedEnv env("CUPS_SERVER", server->address());
    PdfFile pdf;
    const auto start = Clock::now();
    const auto sent = send_pdf_to_queue("office", pdf.path(), CupsJobOptions{});
    EXPECT_LT(Clock::now() - start, 5s);
    ASSERT_FALSE(sent.ok());
    EXPECT_EQ(sent.failure().description, "The print server does not answer");
}

// A server that keeps sending never lets a wait for data time out: a reply
// a byte at a time, or a header without end. The job still fails in time.
TEST(CupsJobSend, ServerThatKeepsSendingIsGivenUpOnWithinSeconds)
{
    for (const auto behaviour : {ServerBehaviour::Drip, ServerBehaviour::EndlessHeader}) {
        auto server = FakeServer::on_unix_socket(behaviour);
        ScopedEnv env("CUPS_SERVER", server->address());
        PdfFile pdf;
        const auto start = Clock::now();
        const auto sent = send_pdf_to_queue(test::kFakeQueue, pdf.path(), CupsJobOptions{});
        const auto took = Clock::now() - start;
        EXPECT_LT(took, 3500ms) << static_cast<int>(behaviour);
        ASSERT_FALSE(sent.ok());
        EXPECT_TRUE(sent.failure().is(ErrorNumber::PrinterError)) << sent.failure().description;
    }
}

TEST(CupsJobSend, MissingDocumentSendsNothing)
{
    auto server = FakeServer::ipp_then_stall(1000);
    ScopedEnv env("CUPS_SERVER", server->address());
    TempFolder folder;
    const auto sent = send_pdf_to_queue(test::kFakeQueue, folder.path() + "/none.pdf", CupsJobOptions{});
    ASSERT_FALSE(sent.ok());
    EXPECT_TRUE(sent.failure().is(ErrorNumber::FileNotFound));
    EXPECT_EQ(server->ipp_requests(), 0);
}

// -- On the private print server ----------------------------------------------------

const char* const kQueue = "kt482-test";

// The job's attributes as the server keeps them.
struct JobAttributes {
    int copies = 0;
    std::string media;
    int orientation = 0;
    std::string sides;
    int dpi = 0;
    std::string handling;
    std::string name;
};

std::optional<JobAttributes> job_attributes(int job_id)
{
    cupsSetServer(nullptr);
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(job_id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    if (!response || ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        ippDelete(response);
        return std::nullopt;
    }
    JobAttributes job;
    auto text = [&](const char* name) {
        ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
        const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
        return std::string(value ? value : "");
    };
    auto number = [&](const char* name) {
        ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
        return attr ? ippGetInteger(attr, 0) : 0;
    };
    job.copies = number("copies");
    job.media = text("media");
    job.orientation = number("orientation-requested");
    job.sides = text("sides");
    if (ipp_attribute_t* attr = ippFindAttribute(response, "printer-resolution", IPP_TAG_RESOLUTION)) {
        int vertical = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        job.dpi = ippGetResolution(attr, 0, &vertical, &units);
    }
    job.handling = text("multiple-document-handling");
    job.name = text("job-name");
    ippDelete(response);
    return job;
}

int job_id_of(const std::string& output)
{
    int id = 0;
    std::istringstream(output.substr(output.rfind("job ", 0) == 0 ? 4 : output.size())) >> id;
    return id;
}

struct QueueRow {
    const char* name;
    int16_t paper;
    double width_pt;
    double height_pt;
    int16_t orientation;
    int16_t copies;
    int16_t duplex;
    int16_t dpi;
};

class CupsPrintingJobAttributes : public testing::TestWithParam<QueueRow> {
protected:
    void SetUp() override
    {
        const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
        if (!socket || !*socket)
            GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                            "eval \"$(scripts/test-cupsd)\"";
        server_.emplace("CUPS_SERVER", socket);
    }
    std::optional<ScopedEnv> server_;
};

TEST_P(CupsPrintingJobAttributes, ReachTheJob)
{
    const QueueRow& row = GetParam();
    const CupsJobOptions options = cups_job_options(row.paper, row.width_pt, row.height_pt, row.orientation,
                                                    row.copies, row.duplex, row.dpi, std::string("kt482 ") + row.name);
    PdfFile pdf;
    const auto sent = send_pdf_to_queue(kQueue, pdf.path(), options);
    ASSERT_TRUE(sent.ok()) << sent.failure().description;
    const int id = job_id_of(*sent);
    ASSERT_GT(id, 0) << *sent;
    EXPECT_EQ(*sent, "job " + std::to_string(id) + " on " + kQueue);
    const auto job = job_attributes(id);
    ASSERT_TRUE(job) << cupsLastErrorString();
    EXPECT_EQ(job->copies, options.copies);
    EXPECT_EQ(job->media, options.media);
    EXPECT_EQ(job->orientation, options.orientation);
    EXPECT_EQ(job->sides, options.sides);
    EXPECT_EQ(job->dpi, options.dpi);
    EXPECT_EQ(job->handling, "separate-documents-collated-copies");
    EXPECT_EQ(job->name, options.title);
}

INSTANTIATE_TEST_SUITE_P(
    Setups, CupsPrintingJobAttributes,
    testing::Values(QueueRow{"A4TwoCopiesLongEdge", 9, 0, 0, 1, 2, 2, 600},
                    QueueRow{"LedgerShortEdge", 4, 0, 0, 1, 1, 3, 300},
                    QueueRow{"UserSizeLandscape", 256, 123 * 72 / 25.4, 234 * 72 / 25.4, 2, 3, 1, 1200}),
    [](const testing::TestParamInfo<QueueRow>& info) { return std::string(info.param.name); });

int queue_job_count()
{
    cupsSetServer(nullptr);
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
    if (count > 0)
        cupsFreeJobs(count, jobs);
    return count;
}

// The queue's printer sends its document with the page setup made on it; the
// private file it was drawn into is gone afterwards, and a document without
// a drawing sends nothing.
TEST_F(CupsPrintingJobAttributes, PrinterSendsItsPageSetup)
{
    TempFolder tmp;
    ScopedEnv tmpdir("TMPDIR", tmp.path());
    auto printer = make_qt_printer_system(pdf_printer_makers())->open_printer(kQueue);
    ASSERT_TRUE(printer.ok()) << printer.failure().description;
    Printer& queue = **printer;
    ASSERT_TRUE(queue.PaperSize(9).ok());
    ASSERT_TRUE(queue.Orientation(2).ok());
    ASSERT_TRUE(queue.Copies(2).ok());
    ASSERT_TRUE(queue.Duplex(3).ok());
    ASSERT_TRUE(queue.PrintQuality(600).ok());

    const int before = queue_job_count();
    ASSERT_TRUE(queue.EndDoc().ok());
    EXPECT_EQ(queue_job_count(), before);

    ASSERT_TRUE(queue.Print("form", LineEnd::Without).ok());
    ASSERT_TRUE(queue.EndDoc().ok());
    EXPECT_EQ(queue_job_count(), before + 1);
    const auto job = job_attributes(job_id_of(queue.LastOutput()));
    ASSERT_TRUE(job) << queue.LastOutput();
    EXPECT_EQ(job->media, "iso_a4_210x297mm");
    EXPECT_EQ(job->orientation, 4);
    EXPECT_EQ(job->copies, 2);
    EXPECT_EQ(job->sides, "two-sided-short-edge");
    EXPECT_EQ(job->dpi, 600);
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path())) {
        if (entry.path().filename().string().rfind("kt482-job-", 0) == 0)
            ADD_FAILURE() << "left behind: " << entry.path();
    }
}

// A server that goes quiet in the middle of the job holds EndDoc for a few
// seconds at most; the printer then sends its next document as usual.
TEST_F(CupsPrintingJobAttributes, PrinterWhoseServerStallsMidJobFailsInTime)
{
    auto printer = make_qt_printer_system(pdf_printer_makers())->open_printer(kQueue);
    ASSERT_TRUE(printer.ok()) << printer.failure().description;
    Printer& queue = **printer;
    ASSERT_TRUE(queue.Print("stalled", LineEnd::Without).ok());
    {
        auto stalling = FakeServer::ipp_then_stall(2);
        ScopedEnv elsewhere("CUPS_SERVER", stalling->address());
        const auto start = Clock::now();
        const Status ended = queue.EndDoc();
        EXPECT_LT(Clock::now() - start, 5s);
        ASSERT_FALSE(ended.ok());
        EXPECT_EQ(ended.failure().description, "The print server does not answer");
        EXPECT_GT(stalling->ipp_requests(), 2) << "the server never stalled";
    }
    EXPECT_EQ(queue.LastOutput(), "");
    ASSERT_TRUE(queue.Print("sent", LineEnd::Without).ok());
    ASSERT_TRUE(queue.EndDoc().ok());
    EXPECT_GT(job_id_of(queue.LastOutput()), 0) << queue.LastOutput();
}

}  // namespace
}  // namespace kt482
