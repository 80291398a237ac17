#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <optional>

#include "base/paper_table.h"
#include "job/job_state.h"
#include "print/print_run.h"
#include "kt482/kt482.h"
#include "support/fake_preview.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using Lines = std::vector<std::string>;

class PrintRunTest : public SpoolTest {
protected:
    PrintRunTest() { job.P_Temp_Dir(dir); }

    // Pages 1 to n, each with its number as text.
    void record_pages(int n)
    {
        job.E_StartEdit();
        for (int page = 1; page <= n; ++page) {
            if (page > 1)
                job.E_ChangePage();
            job.E_String(1, 1, "page " + std::to_string(page));
        }
        job.E_EndEdit();
    }

    RecordingSurface& printer() { return *printers.opened; }

    // The printed texts and page breaks, in order.
    Lines sheets() const
    {
        Lines out;
        for (const auto& line : printers.opened->log) {
            if (line.rfind("Print \"page", 0) == 0 || line == "NewPage" || line == "EndDoc")
                out.push_back(line);
        }
        return out;
    }

    KT482_Print job;
};

TEST_F(PrintRunTest, HostSequencePrintsARangeWithPageBreaks)
{
    record_pages(5);
    job.W_Device("Office Laser");
    ASSERT_TRUE(printers.opened);
    job.W_StartDoc(9, 1);
    EXPECT_EQ(job.P_PRINT(), printers.opened);
    EXPECT_EQ(printer().log, (Lines{"ScaleMode points", "FillStyle transparent", "FontUnderline 0", "PaperSize 9",
                                    "Orientation 1", "Copies 1", "Duplex 1", "PrintQuality 600"}));
    job.W_Print(3, 7);
    job.W_EndDoc();
    EXPECT_EQ(sheets(), (Lines{"Print \"page 3\" nl", "NewPage", "Print \"page 4\" nl", "NewPage",
                               "Print \"page 5\" nl", "EndDoc"}));
    EXPECT_EQ(job.P_PRINT(), nullptr);
    EXPECT_EQ(kt482::job().OutStartP, 3);
    EXPECT_EQ(kt482::job().OutEndP, 5);
    EXPECT_EQ(printer().LastOutput(), "document 1");
    EXPECT_TRUE(sink.messages.empty());
}

// A host names the file of the next PDF document: that one document goes
// there, the next to the PDF printer's folder again, and where each went is
// read back. A queue printed on meanwhile leaves the name waiting.
TEST_F(PrintRunTest, HostNamesTheFileOfTheNextPdfDocument)
{
    record_pages(2);
    job.SetNextPdfPath("/out/invoice.pdf");
    job.W_Device("Office Laser");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    EXPECT_FALSE(printers.pdf_file);
    EXPECT_EQ(job.LastPdfPath(), "");

    job.W_Device("KT482 PDF");
    const std::shared_ptr<RecordingSurface> folder = printers.opened;
    job.W_StartDoc(9, 1);
    ASSERT_TRUE(printers.pdf_file);
    EXPECT_EQ(printers.pdf_file_path, "/out/invoice.pdf");
    EXPECT_EQ(job.P_PRINT(), printers.pdf_file);
    EXPECT_EQ(printers.pdf_file->only("PaperSize"), (Lines{"PaperSize 9"})) << "the page setup reaches the file";
    job.W_Print();
    job.W_EndDoc();
    EXPECT_EQ(printers.pdf_file->only("Print \"page"), (Lines{"Print \"page 1\" nl", "Print \"page 2\" nl"}));
    EXPECT_EQ(job.LastPdfPath(), printers.pdf_file->LastOutput());
    EXPECT_TRUE(folder->only("Print").empty());

    const std::shared_ptr<RecordingSurface> named = printers.pdf_file;
    job.W_StartDoc(9, 1);
    job.W_Print(1, 1);
    job.W_EndDoc();
    EXPECT_EQ(printers.pdf_file, named) << "no second file printer";
    EXPECT_EQ(folder->only("Print \"page"), (Lines{"Print \"page 1\" nl"}));
    EXPECT_EQ(job.LastPdfPath(), folder->LastOutput());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, RangesOfTheHost)
{
    record_pages(5);
    job.W_Device();
    job.W_Print(7, 3);  // backwards: nothing
    job.W_Print(5, 0);  // tested before 0 is replaced: nothing
    EXPECT_TRUE(sheets().empty());
    job.W_Print(0, 2);
    job.W_Print();
    job.W_EndDoc();
    job.W_EndDoc();  // nothing open any more
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "NewPage", "Print \"page 2\" nl",
                               // the second run breaks the page the first left open
                               "NewPage", "Print \"page 1\" nl", "NewPage", "Print \"page 2\" nl", "NewPage",
                               "Print \"page 3\" nl", "NewPage", "Print \"page 4\" nl", "NewPage",
                               "Print \"page 5\" nl", "EndDoc"}));
}

TEST_F(PrintRunTest, TwoRunsMakeOneDocument)
{
    record_pages(5);
    job.W_Device();
    job.W_StartDoc(0, 0);
    job.W_Print(1, 2);
    job.W_Print(4, 4);
    job.W_EndDoc();
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "NewPage", "Print \"page 2\" nl", "NewPage",
                               "Print \"page 4\" nl", "EndDoc"}));
}

TEST_F(PrintRunTest, NothingRecordedPrintsNothing)
{
    job.W_Device();
    job.W_Print();
    job.W_EndDoc();
    EXPECT_TRUE(sheets().empty());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, SelectionByNameIgnoresCaseAndTheInstalledTrailingBlanks)
{
    printers.names = {"Office Laser  ", "Label", "KT482 PDF"};
    job.W_Device("office LASER");
    ASSERT_TRUE(printers.opened);
    EXPECT_EQ(printer().DeviceName(), "Office Laser  ");
    EXPECT_EQ(kt482::job().DeviceName, "office LASER");

    job.W_Device("Label ");  // blanks of its own match nothing
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, "No printer of that name is installed: \"Label \"");
    EXPECT_EQ(kt482::job().DeviceName, "office LASER");
    sink.messages.clear();

    job.W_Device("kt482 pdf");
    EXPECT_EQ(printer().DeviceName(), "KT482 PDF");
    job.W_Device("   ");  // blank: the stored name again
    EXPECT_EQ(printer().DeviceName(), "KT482 PDF");
    EXPECT_EQ(kt482::job().DeviceName, "kt482 pdf");
    EXPECT_TRUE(sink.messages.empty());
}

// A name no installed printer has is reported by W_Device itself, naming
// the printer, and whatever was selected before stays selected; so does a
// name the print server did not answer for in time.
TEST_F(PrintRunTest, UnknownPrinterIsReportedAtSelectionAndTheEarlierOneStays)
{
    const struct {
        const char* earlier;  // nullptr: nothing selected yet
        const char* name;
        std::optional<Failure> listing;
        const char* message;
    } cases[] = {
        {nullptr, "経理部のプリンタ", std::nullopt, "No printer of that name is installed: \"経理部のプリンタ\""},
        {"Office Laser", "経理部のプリンタ", std::nullopt,
         "No printer of that name is installed: \"経理部のプリンタ\""},
        {"KT482 PDF", "Office Laser ", std::nullopt, "No printer of that name is installed: \"Office Laser \""},
        {"Office Laser", "Queue Elsewhere", Failure(ErrorNumber::PrinterError, "The print server does not answer"),
         "The print server does not answer: \"Queue Elsewhere\""},
    };
    record_pages(1);
    for (const auto& c : cases) {
        printers.incomplete_listing.reset();
        if (c.earlier)
            job.W_Device(c.earlier);
        const std::shared_ptr<Printer> earlier = kt482::job().PrinterObject;
        const std::string device_name = kt482::job().DeviceName;
        const OutputTarget target = kt482::job().OutputTarget;
        printers.incomplete_listing = c.listing;
        job.W_Device(c.name);
        ASSERT_EQ(sink.messages.size(), 1u) << c.name;
        EXPECT_EQ(sink.messages[0].title, "KT482_Print : W_Device") << c.name;
        EXPECT_EQ(sink.messages[0].text, c.message);
        EXPECT_EQ(kt482::job().PrinterObject, earlier) << c.name;
        EXPECT_EQ(kt482::job().DeviceName, device_name) << c.name;
        EXPECT_EQ(kt482::job().OutputTarget, target) << c.name;
        sink.messages.clear();
    }
    // The earlier printer still prints.
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "EndDoc"}));
    EXPECT_TRUE(sink.messages.empty());
}

// The path of the last PDF names a file of the document that just ended, or
// nothing: a document that printed nothing does not leave the one before.
TEST_F(PrintRunTest, LastPdfPathNamesOnlyWhatTheLastDocumentWrote)
{
    record_pages(1);
    const struct {
        const char* name;
        void (*start)(KT482_Print&);
    } starts[] = {
        {"W_Device", [](KT482_Print& j) { j.W_Device("KT482 PDF"); }},
        {"W_StartDoc", [](KT482_Print& j) { j.W_StartDoc(9, 1); }},
    };
    for (const auto& start : starts) {
        job.W_Device("KT482 PDF");
        job.W_Print();
        job.W_EndDoc();
        ASSERT_EQ(job.LastPdfPath(), printer().LastOutput()) << start.name;
        ASSERT_NE(job.LastPdfPath(), "");
        start.start(job);
        job.W_Print(5, 5);  // no such page: nothing printed
        job.W_EndDoc();
        EXPECT_EQ(job.LastPdfPath(), "") << start.name;
    }
}

// A user-defined size that is no number is refused like any argument that
// is no number, and changes nothing.
TEST_F(PrintRunTest, UserSizesThatAreNoNumberAreRefused)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        int16_t size;
        float height, width;
    } cases[] = {{256, nan, nan}, {256, 11, nan}, {256, inf, 8}, {256, 5, -inf}, {0, nan, 5}};
    job.W_Device();
    job.W_StartDoc(256, 1, 11, 8.5f);
    for (const auto& c : cases) {
        job.W_StartDoc(c.size, 2, c.height, c.width);
        ASSERT_EQ(sink.messages.size(), 1u) << c.height << " x " << c.width;
        EXPECT_EQ(sink.messages[0].text, "Invalid procedure call or argument");
        EXPECT_EQ(job.P_Orientation(), 1);
        EXPECT_EQ(kt482::job().PageHeight, 792.0f);
        EXPECT_EQ(kt482::job().PageWidth, 612.0f);
        sink.messages.clear();
    }
    job.W_StartDoc(9, 2, nan, nan);  // sizes of a known paper are not read
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, DefaultNameIsSelectedByAnEmptyName)
{
    job.W_Device();
    ASSERT_TRUE(printers.opened);
    EXPECT_EQ(printer().DeviceName(), "Office Laser");
}

TEST_F(PrintRunTest, UserDefinedSizeGoesToThePrinterInTwips)
{
    job.W_Device();
    job.W_StartDoc(256, 1, 11, 8.5f);
    EXPECT_EQ(job.P_PaperSize(), 256);
    EXPECT_EQ(kt482::job().PageHeight, 792.0f);
    EXPECT_EQ(kt482::job().PageWidth, 612.0f);
    EXPECT_EQ(printer().only("Page"), (Lines{"PageHeight 15840", "PageWidth 12240"}));

    // A printer without user-defined sizes keeps its own paper: no sizes sent.
    job.W_Device();
    printer().papers = {9};
    job.W_StartDoc(256, 2, 5, 5);
    EXPECT_EQ(printer().PaperSize(), 9);
    EXPECT_TRUE(printer().only("Page").empty());
    EXPECT_EQ(printer().only("Orientation"), (Lines{"Orientation 2"}));

    // Code 0 keeps 256, and omitted sizes become 0.
    job.W_StartDoc(0, 0);
    EXPECT_EQ(job.P_PaperSize(), 256);
    EXPECT_EQ(job.P_Orientation(), 2);
    EXPECT_EQ(kt482::job().PageHeight, 0.0f);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, StartDocWithoutASelectedPrinterDoesNothing)
{
    job.W_StartDoc(8, 2);
    EXPECT_EQ(job.P_PaperSize(), 9);
    kt482::job().OutputTarget = OutputTarget::Preview;  // the preview was set up last
    job.W_StartDoc(8, 2);
    EXPECT_EQ(job.P_PaperSize(), 9);
    EXPECT_EQ(job.P_Orientation(), 1);
    EXPECT_EQ(job.P_PRINT(), nullptr);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, OverflowOfAUserSizeCarriesTheNameRecordedLast)
{
    job.W_Device();
    job.W_StartDoc(256, 1, 1e38f, 1);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : ZZ100_EndDoc");
    EXPECT_EQ(sink.messages[0].text, "Overflow");
    EXPECT_EQ(job.P_PRINT(), nullptr);
}

TEST_F(PrintRunTest, RefusedStepsOfThePageSetupAreSkipped)
{
    job.W_Device();
    printer().failing_operation = "Orientation";
    job.W_StartDoc(11, 2);
    EXPECT_EQ(printer().log, (Lines{"ScaleMode points", "FillStyle transparent", "FontUnderline 0", "PaperSize 11",
                                    "Copies 1", "Duplex 1", "PrintQuality 600"}));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, CopiesGoToTheSelectedPrinter)
{
    job.P_PRT_Copy(5);  // no printer yet: kept
    EXPECT_EQ(job.P_PRT_Copy(), 5);
    job.W_Device();
    job.P_PRT_Copy(3);
    EXPECT_EQ(printer().only("Copies"), (Lines{"Copies 3"}));
    printer().failing_operation = "Copies";
    job.P_PRT_Copy(4);
    EXPECT_EQ(job.P_PRT_Copy(), 1);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PrintRunTest, MissingPrinterFailsWhereItIsUsed)
{
    record_pages(2);
    // The dialog selects the stored name as it is, known or not.
    kt482::ZZ100_Device("nobody");
    job.W_StartDoc(9, 1);  // the page setup says nothing
    EXPECT_TRUE(sink.messages.empty());
    job.W_Print();
    ASSERT_FALSE(sink.messages.empty());
    EXPECT_EQ(sink.messages[0].text, "Object variable or With block variable not set");
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : ZZ100_String");

    // Ending the document on the missing printer is reported once, and the
    // next selection of an installed printer prints.
    sink.messages.clear();
    job.W_EndDoc();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : ZZ100_EndDoc");
    sink.messages.clear();
    job.W_Device("Office Laser");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    EXPECT_TRUE(sink.messages.empty()) << sink.messages[0].title << ": " << sink.messages[0].text;
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "NewPage", "Print \"page 2\" nl", "EndDoc"}));
}

TEST_F(PrintRunTest, FailingPrinterListIsReportedBySelection)
{
    printers.fail = true;
    job.W_Device("Office Laser");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : W_Device");
    EXPECT_EQ(kt482::job().PrinterObject, nullptr);
}

// A print server that did not answer leaves its printers out of the list:
// a name the list lacks is reported as that, one it holds is selected.
TEST_F(PrintRunTest, IncompleteListingReportsOnlyNamesItLacks)
{
    printers.incomplete_listing = Failure(ErrorNumber::PrinterError, "The print server does not answer");
    job.W_Device("Queue Elsewhere");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : W_Device");
    EXPECT_EQ(sink.messages[0].text, "The print server does not answer: \"Queue Elsewhere\"");
    EXPECT_EQ(kt482::job().PrinterObject, nullptr);
    EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::None) << "nothing was selected before";

    sink.messages.clear();
    job.W_Device("kt482 pdf");
    EXPECT_TRUE(sink.messages.empty());
    ASSERT_TRUE(kt482::job().PrinterObject);
    EXPECT_EQ(kt482::job().PrinterObject->DeviceName(), "KT482 PDF");
}

TEST_F(PrintRunTest, LateBoundPrinting)
{
    record_pages(1);
    job.Invoke("w_device", MemberKind::Method, {"Office Laser"});
    job.Invoke("W_StartDoc", MemberKind::Method, {9, 1});
    job.Invoke("W_Print", MemberKind::Method);
    job.Invoke("W_EndDoc", MemberKind::Method);
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "EndDoc"}));
}

std::size_t open_descriptors()
{
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(fds, std::filesystem::directory_iterator()));
}

// A host printing one small job after another on one thread. The editing
// window of one page leaves the page that E_ChangePage opens beyond it open
// and empty until the next E_StartEdit.
TEST_F(PrintRunTest, ThousandsOfJobsOnOneThreadKeepTheDescriptorsFlat)
{
    std::size_t after_warm_up = 0;
    for (int n = 1; n <= 2000; ++n) {
        job.E_StartEdit(0, 0, 1);
        job.E_String(1, 1, "page 1");
        job.E_ChangePage();
        job.E_EndEdit();
        job.W_Device("Office Laser");
        job.W_StartDoc(9, 1);
        job.W_Print();
        job.W_EndDoc();
        if (n == 10)
            after_warm_up = open_descriptors();
        if (!sink.messages.empty())
            FAIL() << "job " << n << ": " << sink.messages.front().title << ": " << sink.messages.front().text;
    }
    EXPECT_EQ(open_descriptors(), after_warm_up);
    EXPECT_EQ(sheets(), (Lines{"Print \"page 1\" nl", "EndDoc"}));
}

// Output in the middle of a recording, by the host's print run or by the
// preview, leaves the recording where it was.
enum class Output { Print, Preview };

class OutputDuringRecordingTest : public PrintRunTest, public ::testing::WithParamInterface<Output> {
protected:
    void output(int16_t page)
    {
        if (GetParam() == Output::Print) {
            job.W_Device("Office Laser");
            job.W_StartDoc(9, 1);
            job.W_Print(page, page);
            job.W_EndDoc();
            return;
        }
        job.V_Size_Set(9, 1);
        job.V_Preview(page, page);
    }

    // The texts the last output drew.
    Lines drawn() const
    {
        const auto& log = GetParam() == Output::Print ? printers.opened->log : toolkit.last->canvas_->log();
        Lines out;
        for (const auto& line : log)
            if (line.rfind("Print \"", 0) == 0 && line != "Print \" \"")
                out.push_back(line);
        return out;
    }

    Lines recorded_texts(int page)
    {
        Lines out;
        for (const auto& record : read_page(page))
            out.push_back(record.fields.at(2));
        return out;
    }

    FakeToolkit toolkit;
    FakePrintDialog dialog;
    ScopedServices preview_services{nullptr, nullptr, nullptr, &toolkit, &dialog};
};

TEST_P(OutputDuringRecordingTest, TheOpenPageAndItsHandleStay)
{
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_ChangePage();
    job.E_String(2, 1, "b");
    const FileHandle recording = kt482::job().FileNo;

    output(1);
    EXPECT_EQ(drawn(), Lines{"Print \"a\" nl"});
    const JobState& s = kt482::job();
    EXPECT_EQ(job.P_CurrPage(), 2);
    EXPECT_EQ(s.FileNo, recording);
    EXPECT_TRUE(s.PageOpen);
    EXPECT_EQ(s.StartP, 1);
    EXPECT_EQ(s.EndP, 9999);

    job.E_String(3, 2, "c");
    job.E_EndEdit();
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().title << ": " << sink.messages.front().text;
    EXPECT_EQ(job.P_Min_Page(), 1);
    EXPECT_EQ(job.P_Max_Page(), 2);
    EXPECT_EQ(recorded_texts(2), (Lines{"b", "c"}));
    output(2);
    EXPECT_EQ(drawn(), (Lines{"Print \"b\" nl", "Print \"c\" nl"}));
}

// A kept page that is being recorded again shows the records appended so
// far, and takes more afterwards.
TEST_P(OutputDuringRecordingTest, ARevisitedPageShowsItsNewRecords)
{
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_EndEdit();
    job.E_ChangePage(1);
    job.E_String(2, 1, "a2");

    output(1);
    EXPECT_EQ(drawn(), (Lines{"Print \"a\" nl", "Print \"a2\" nl"}));
    job.E_String(3, 1, "a3");
    job.E_EndEdit();
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(recorded_texts(1), (Lines{"a", "a2", "a3"}));
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputDuringRecordingTest, ::testing::Values(Output::Print, Output::Preview),
                         [](const auto& info) { return info.param == Output::Print ? "Print" : "Preview"; });

}  // namespace
}  // namespace kt482::test

namespace kt482 {
namespace {

TEST(PaperTable, DimensionsOfTheCodes)
{
    EXPECT_EQ(paper_entry(9)->width, 210);
    EXPECT_EQ(paper_entry(9)->unit, PaperUnit::Millimetre);
    EXPECT_EQ(paper_entry(7)->width, 7.5);
    EXPECT_EQ(paper_entry(22)->width, 4.5);
    EXPECT_EQ(paper_entry(35)->height, 125);
    for (int16_t none : {0, 24, 25, 26, 42, 256, -1})
        EXPECT_FALSE(paper_entry(none)) << none;
    EXPECT_EQ(paper_table().size(), 38u);
}

}  // namespace
}  // namespace kt482
