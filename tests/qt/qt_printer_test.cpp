// The built-in PDF printer through the Printer interface: page setup, when a
// document starts and ends, its files, its copies and its failures.
#include <gtest/gtest.h>

#include <QDateTime>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"
#include "text/font_service.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempFolder;

std::vector<std::string> files_in(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string contents(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class PdfPrinter : public testing::Test {
protected:
    void SetUp() override { output_.emplace("KT482_PDF_DIR", out_.path()); }
    void TearDown() override
    {
        printer_.reset();
        EXPECT_EQ(test::invalid_pdfs_in(out_.path()), "");
    }

    bool poppler() const { return test::missing_poppler_tool().empty(); }

    TempFolder out_;
    std::optional<ScopedEnv> output_;
    std::shared_ptr<kt482::PdfPrinter> printer_ = kt482::PdfPrinter::for_folder();
};

TEST_F(PdfPrinter, RefusedSetupKeepsTheSettingBefore)
{
    Printer& p = *printer_;
    EXPECT_EQ(p.PaperSize(), 9);
    for (int16_t code : {0, 42, 300, -1}) {
        EXPECT_TRUE(p.PaperSize(code).failure().is(ErrorNumber::InvalidPropertyValue)) << code;
        EXPECT_EQ(p.PaperSize(), 9) << code;
    }
    EXPECT_TRUE(p.PaperSize(8).ok());
    EXPECT_EQ(p.PaperSize(), 8);
    EXPECT_TRUE(p.PaperSize(10).ok());  // A4 small is A4
    EXPECT_EQ(p.PaperSize(), 9);
    EXPECT_TRUE(p.PaperSize(256).ok());
    EXPECT_EQ(p.PaperSize(), 256);

    // Sides of a PDF page are 3 to 14,400 points.
    for (int32_t twips : {0, -20, 59, 288001})
        EXPECT_FALSE(p.PageHeight(twips).ok() || p.PageWidth(twips).ok()) << twips;
    EXPECT_TRUE(p.PageHeight(60).ok() && p.PageWidth(288000).ok());

    EXPECT_FALSE(p.Orientation(0).ok() || p.Orientation(3).ok());
    EXPECT_FALSE(p.Copies(0).ok() || p.Copies(100).ok());
    EXPECT_TRUE(p.Copies(99).ok());
    EXPECT_FALSE(p.Duplex(0).ok() || p.Duplex(4).ok());
    EXPECT_TRUE(p.Duplex(3).ok());
    EXPECT_FALSE(p.PrintQuality(0).ok() || p.PrintQuality(-300).ok());
    EXPECT_TRUE(files_in(out_.path()).empty());
}

TEST_F(PdfPrinter, TheFirstDrawingStartsTheDocumentAndEndDocFinishesIt)
{
    Printer& p = *printer_;
    ASSERT_TRUE(p.FontName("ＭＳ ゴシック").ok());
    ASSERT_TRUE(p.FontSize(12).ok());
    ASSERT_TRUE(p.CurrentX(30).ok() && p.CurrentY(40).ok());
    EXPECT_GT(p.TextWidth("ABC"), 0.0f);
    EXPECT_TRUE(p.EndDoc().ok());
    EXPECT_TRUE(files_in(out_.path()).empty());
    EXPECT_EQ(p.LastOutput(), "");

    ASSERT_TRUE(p.Print("first", LineEnd::Without).ok());
    EXPECT_TRUE(printer_->document_started());
    // Written beside its name until complete.
    const auto writing = files_in(out_.path());
    ASSERT_EQ(writing.size(), 1u);
    EXPECT_EQ(fs::path(writing[0]).extension(), ".part");
    ASSERT_TRUE(p.EndDoc().ok());
    const auto files = files_in(out_.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(p.LastOutput(), files[0]);
    EXPECT_TRUE(fs::path(files[0]).is_absolute());
    EXPECT_EQ(fs::path(files[0]).filename().string().rfind("KT482-", 0), 0u);

    // Nothing more to end.
    EXPECT_TRUE(p.EndDoc().ok());
    EXPECT_EQ(files_in(out_.path()), files);

    if (!poppler())
        return;
    const auto words = test::pdf_words(files[0]);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_NEAR(words[0].x_min, 30, 0.01);  // the position set before the document
    EXPECT_NEAR(words[0].y_min, 40, 0.01);
    EXPECT_NEAR(words[0].y_max - words[0].y_min, 12, 0.01);
}

// NewPage on a document not yet begun starts it with a blank first page, and
// a printer dropped with its document open finishes the file.
TEST_F(PdfPrinter, NewPageStartsTheDocumentAndDroppingThePrinterEndsIt)
{
    ASSERT_TRUE(printer_->NewPage().ok());
    ASSERT_TRUE(printer_->Print("second", LineEnd::Without).ok());
    printer_.reset();
    const auto files = files_in(out_.path());
    ASSERT_EQ(files.size(), 1u);
    if (!poppler())
        GTEST_SKIP() << "poppler-utils is not installed";
    const auto texts = test::pdf_page_texts(files[0]);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].find("second"), std::string::npos);
    EXPECT_NE(texts[1].find("second"), std::string::npos);
}

TEST_F(PdfPrinter, NeverWritesOverAnExistingFile)
{
    // Every name this document could take in the next two seconds, up to a
    // number, is taken already.
    const QDateTime now = QDateTime::currentDateTime();
    std::set<std::string> taken;
    for (int second = 0; second <= 2; ++second) {
        const std::string stamp = now.addSecs(second).toString("yyyyMMdd-HHmmss").toStdString();
        for (int number = 1; number <= 3; ++number) {
            const std::string path = out_.path() + "/KT482-" + stamp + "-" + std::to_string(number) + ".pdf";
            std::ofstream(path) << "keep";
            taken.insert(path);
        }
    }
    ASSERT_TRUE(printer_->Line(0, 0, 100, 100).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    const std::string first = printer_->LastOutput();
    ASSERT_TRUE(printer_->Line(0, 0, 100, 100).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    const std::string second = printer_->LastOutput();

    EXPECT_EQ(taken.count(first), 0u);
    EXPECT_EQ(taken.count(second), 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(files_in(out_.path()).size(), taken.size() + 2);
    for (const auto& path : taken)
        EXPECT_EQ(contents(path), "keep") << path;
}

// Numbers in a folder go on from the last this process took in the same
// second, without looking at every name before it again: a file taken away
// meanwhile leaves its number unused.
TEST_F(PdfPrinter, NumbersGoOnFromTheLastTakenInTheSameSecond)
{
    auto number_and_stamp = [](const std::string& path) {
        const std::string stem = fs::path(path).stem().string();  // KT482-yyyyMMdd-HHmmss-n
        const std::size_t dash = stem.rfind('-');
        return std::make_pair(std::stoi(stem.substr(dash + 1)), stem.substr(0, dash));
    };
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_TRUE(printer_->Line(0, 0, 100, 100).ok());
        ASSERT_TRUE(printer_->EndDoc().ok());
        const auto [first, first_stamp] = number_and_stamp(printer_->LastOutput());
        fs::remove(printer_->LastOutput());
        ASSERT_TRUE(printer_->Line(0, 0, 100, 100).ok());
        ASSERT_TRUE(printer_->EndDoc().ok());
        const auto [second, second_stamp] = number_and_stamp(printer_->LastOutput());
        fs::remove(printer_->LastOutput());
        if (first_stamp != second_stamp)
            continue;  // a new second began between the two
        EXPECT_EQ(second, first + 1);
        return;
    }
    FAIL() << "no two documents in one second";
}

// A dropped document leaves no file, also with copies, and the printer is
// ready for the next one.
TEST_F(PdfPrinter, AbortDocLeavesNoFileAndTheNextDocumentPrints)
{
    for (const int16_t copies : {1, 2}) {
        SCOPED_TRACE(copies);
        ASSERT_TRUE(printer_->Copies(copies).ok());
        ASSERT_TRUE(printer_->Print("dropped", LineEnd::Without).ok());
        ASSERT_TRUE(printer_->NewPage().ok());
        ASSERT_TRUE(printer_->AbortDoc().ok());
        EXPECT_FALSE(printer_->document_started());
        EXPECT_TRUE(files_in(out_.path()).empty());
        EXPECT_EQ(printer_->LastOutput(), "");
    }
    EXPECT_TRUE(printer_->AbortDoc().ok()) << "nothing to drop";
    ASSERT_TRUE(printer_->Line(0, 0, 100, 100).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    EXPECT_EQ(files_in(out_.path()), std::vector<std::string>{printer_->LastOutput()});
}

// The printer for one file writes each document to it, replacing it only
// when the document is complete; a dropped document leaves it as it was.
TEST_F(PdfPrinter, FilePrinterReplacesItsFileOnlyWithACompleteDocument)
{
    TempFolder chosen;
    const std::string path = chosen.path() + "/見積書.pdf";
    std::ofstream(path) << "keep";
    auto file = kt482::PdfPrinter::for_file(path);
    EXPECT_EQ(file->DeviceName(), "KT482 PDF");

    ASSERT_TRUE(file->Print("dropped", LineEnd::Without).ok());
    EXPECT_EQ(files_in(chosen.path()).size(), 2u) << "the document goes to a file of its own first";
    ASSERT_TRUE(file->AbortDoc().ok());
    EXPECT_EQ(files_in(chosen.path()), std::vector<std::string>{path});
    EXPECT_EQ(contents(path), "keep");

    ASSERT_TRUE(file->Print("kept", LineEnd::Without).ok());
    ASSERT_TRUE(file->EndDoc().ok());
    EXPECT_EQ(file->LastOutput(), path);
    EXPECT_EQ(files_in(chosen.path()), std::vector<std::string>{path});
    EXPECT_EQ(contents(path).rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(files_in(out_.path()).empty()) << "nothing in the PDF printer's folder";
    if (poppler()) {
        const auto texts = test::pdf_page_texts(path);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find("kept"), std::string::npos);
    }
}

TEST_F(PdfPrinter, SetupDuringADocumentAppliesToTheNext)
{
    if (!poppler())
        GTEST_SKIP() << "poppler-utils is not installed";
    ASSERT_TRUE(printer_->Print("A4", LineEnd::Without).ok());
    ASSERT_TRUE(printer_->PaperSize(8).ok());
    ASSERT_TRUE(printer_->Orientation(2).ok());
    ASSERT_TRUE(printer_->NewPage().ok());
    ASSERT_TRUE(printer_->Print("still A4", LineEnd::Without).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    const auto a4 = test::pdf_page_sizes(printer_->LastOutput());
    ASSERT_EQ(a4.size(), 2u);
    EXPECT_NEAR(a4[1].width, 595.28, 0.5);
    EXPECT_NEAR(a4[1].height, 841.89, 0.5);

    ASSERT_TRUE(printer_->Print("A3", LineEnd::Without).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    const auto a3 = test::pdf_page_sizes(printer_->LastOutput());
    ASSERT_EQ(a3.size(), 1u);
    EXPECT_NEAR(a3[0].width, 1190.55, 0.5);
    EXPECT_NEAR(a3[0].height, 841.89, 0.5);
}

// Each copy starts from the state the document started with (font, size,
// position set before its first drawing), not from where the last copy ended.
TEST_F(PdfPrinter, CopiesRepeatTheDocumentFromItsStartingState)
{
    if (!poppler())
        GTEST_SKIP() << "poppler-utils is not installed";
    // Word heights are the size in the regular faces' metrics: bold here is
    // the stroked regular face, as on a machine without the bold weights.
    text::FontService::shared().set_bold_faces(text::BoldFaces::Stroked);
    Printer& p = *printer_;
    ASSERT_TRUE(p.Copies(3).ok());
    ASSERT_TRUE(p.FontSize(20).ok() && p.FontBold(true).ok());
    ASSERT_TRUE(p.CurrentX(100).ok() && p.CurrentY(200).ok());
    ASSERT_TRUE(p.Print("Alpha", LineEnd::Without).ok());
    ASSERT_TRUE(p.FontSize(8).ok() && p.FontBold(false).ok());
    ASSERT_TRUE(p.Print("Beta", LineEnd::With).ok());
    ASSERT_TRUE(p.DrawWidth(5).ok());
    ASSERT_TRUE(p.Line(10, 10, 200, 10).ok());
    ASSERT_TRUE(p.NewPage().ok());
    ASSERT_TRUE(p.Print("Gamma", LineEnd::Without).ok());
    ASSERT_TRUE(p.EndDoc().ok());
    text::FontService::shared().set_bold_faces(text::BoldFaces::Installed);

    const auto words = test::pdf_words(p.LastOutput());
    std::vector<int> pages;
    for (const auto& w : words)
        pages.push_back(w.page);
    EXPECT_EQ(pages, (std::vector<int>{1, 1, 2, 3, 3, 4, 5, 5, 6}));
    ASSERT_EQ(words.size(), 9u);
    for (std::size_t copy = 1; copy < 3; ++copy) {
        for (std::size_t i = 0; i < 3; ++i) {
            const auto& first = words[i];
            const auto& again = words[copy * 3 + i];
            EXPECT_EQ(again.text, first.text);
            EXPECT_DOUBLE_EQ(again.x_min, first.x_min) << first.text;
            EXPECT_DOUBLE_EQ(again.y_min, first.y_min) << first.text;
            EXPECT_DOUBLE_EQ(again.y_max, first.y_max) << first.text;
        }
    }
    // Alpha at 20 points from (100, 200); Beta after it at 8 points. Both
    // tops are at 200, so a reader may list either first.
    const auto alpha = std::find_if(words.begin(), words.begin() + 2, [](const auto& w) { return w.text == "Alpha"; });
    const auto beta = std::find_if(words.begin(), words.begin() + 2, [](const auto& w) { return w.text == "Beta"; });
    ASSERT_TRUE(alpha != words.begin() + 2 && beta != words.begin() + 2);
    EXPECT_NEAR(alpha->x_min, 100, 0.01);
    EXPECT_NEAR(alpha->y_max - alpha->y_min, 20, 0.01);
    EXPECT_NEAR(beta->x_min, alpha->x_max, 0.01);
    EXPECT_NEAR(beta->y_max - beta->y_min, 8, 0.01);
}

TEST_F(PdfPrinter, OneCopyKeepsNothingHoweverLong)
{
    for (int page = 0; page < 100; ++page) {
        ASSERT_TRUE(printer_->CurrentY(100).ok());
        ASSERT_TRUE(printer_->Print("page", LineEnd::With).ok());
        ASSERT_TRUE(printer_->Line(0, 0, 500, 700).ok());
        ASSERT_TRUE(printer_->NewPage().ok());
    }
    ASSERT_TRUE(printer_->EndDoc().ok());
    if (poppler()) {
        EXPECT_EQ(test::pdf_page_sizes(printer_->LastOutput()).size(), 101u);
    }
}

// The folder's failure is reported like a file operation's, the document
// does not start, and the printer works again once the folder does.
TEST_F(PdfPrinter, UnusableFolderFailsTheFirstDrawing)
{
    struct Case {
        std::string folder;
        ErrorNumber error;
    };
    std::vector<Case> cases = {{out_.path() + "/missing", ErrorNumber::PathNotFound}};
    const std::string file = out_.path() + "/a-file";
    std::ofstream(file) << "x";
    cases.push_back({file, ErrorNumber::PathNotFound});
    // sysfs takes no new files, whoever asks, root included.
    if (fs::is_directory("/sys/kernel"))
        cases.push_back({"/sys", ErrorNumber::PermissionDenied});

    for (const auto& c : cases) {
        ScopedEnv folder("KT482_PDF_DIR", c.folder);
        const Status printed = printer_->Print("x", LineEnd::Without);
        ASSERT_FALSE(printed.ok()) << c.folder;
        EXPECT_TRUE(printed.failure().is(c.error)) << c.folder << ": " << printed.failure().number;
        EXPECT_FALSE(printer_->document_started());
        EXPECT_FALSE(printer_->NewPage().ok());
        EXPECT_TRUE(printer_->EndDoc().ok());
    }
    EXPECT_EQ(files_in(out_.path()), std::vector<std::string>{file});
    EXPECT_EQ(printer_->LastOutput(), "");

    ASSERT_TRUE(printer_->Print("x", LineEnd::Without).ok());
    ASSERT_TRUE(printer_->EndDoc().ok());
    EXPECT_EQ(files_in(out_.path()).size(), 2u);
}

}  // namespace
}  // namespace kt482
