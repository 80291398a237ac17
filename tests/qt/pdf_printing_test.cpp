// A recorded job printed on the built-in PDF printer through the host's
// members, and the file read back as a PDF reader sees it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempFolder;

// A4 in points is 595.28 x 841.89, written to the hundredth of a point.
constexpr double kPageTolerance = 0.005;

std::set<std::string> pdf_files(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pdf")
            files.insert(entry.path().string());
    return files;
}

class PdfPrintingThroughTheLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils): the PDF cannot be read back";
        // No print server: the PDF printer must not need one.
        server_.emplace("CUPS_SERVER", spool_.path() + "/no-server.sock");
        output_.emplace("KT482_PDF_DIR", out_.path());

        job_.emplace();
        job_->P_Temp_Dir(spool_.path());
        job_->E_StartEdit();
        job_->E_Pitch(15, 6);
        job_->E_Font("ＭＳ 明朝", 10.5f, false, 0);
        job_->E_String(2, 3, "ABC");
        job_->E_String(4, 3, "請求書");
        job_->E_String(6, 3, "PAGE-1");
        job_->E_ChangePage();
        job_->E_String(6, 3, "PAGE-2");
        job_->E_ChangePage();
        job_->E_String(6, 3, "PAGE-3");
        job_->E_EndEdit();
        ASSERT_EQ(job_->P_Max_Page(), 3);
    }

    // Prints the whole job on "KT482 PDF" and returns where it went; any
    // failure a member reports fails the test.
    std::string print(int16_t paper, int16_t orientation, float height = 0, float width = 0)
    {
        testing::internal::CaptureStderr();
        job_->W_Device("KT482 PDF");
        job_->W_StartDoc(paper, orientation, height, width);
        job_->W_Print();
        job_->W_EndDoc();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find("KT482_Print : "), std::string::npos) << errors;
        const auto& printer = kt482::job().PrinterObject;
        return printer ? printer->LastOutput() : std::string();
    }

    void TearDown() override
    {
        if (!IsSkipped()) {
            EXPECT_EQ(test::invalid_pdfs_in(out_.path()), "");
        }
    }

    TempFolder spool_;
    TempFolder out_;
    std::optional<ScopedEnv> server_;
    std::optional<ScopedEnv> output_;
    std::optional<KT482_Print> job_;
};


TEST_F(PdfPrintingThroughTheLibrary, PagesTextAndFontsAsRecorded)
{
    const std::string path = print(9, 1);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(out_.path()));
    EXPECT_EQ(pdf_files(out_.path()), std::set<std::string>{path});

    const auto sizes = test::pdf_page_sizes(path);
    ASSERT_EQ(sizes.size(), 3u);
    for (const auto& size : sizes) {
        EXPECT_NEAR(size.width, 595.28, kPageTolerance);
        EXPECT_NEAR(size.height, 841.89, kPageTolerance);
    }

    const auto texts = test::pdf_page_texts(path);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("請求書"), std::string::npos) << texts[0];
    for (int page = 1; page <= 3; ++page)
        EXPECT_NE(texts[page - 1].find("PAGE-" + std::to_string(page)), std::string::npos) << texts[page - 1];

    // Row 2, column 3 with pitches 15 and 6 and no margins: the text's box
    // starts at (40, 48), the top of the font's ascent. The reader places a
    // word's top by the ascent in the embedded font's descriptor.
    const auto words = test::pdf_words(path);
    const auto abc = std::find_if(words.begin(), words.end(), [](const auto& w) { return w.text == "ABC"; });
    ASSERT_NE(abc, words.end());
    EXPECT_EQ(abc->page, 1);
    EXPECT_NEAR(abc->x_min, 40.0, 0.01);
    EXPECT_NEAR(abc->y_min, 48.0, 0.01);
    EXPECT_NEAR(abc->x_max - abc->x_min, 15.75, 0.01);

    const auto fonts = test::pdf_fonts(path);
    const auto mincho = std::find_if(fonts.begin(), fonts.end(), [](const auto& f) {
        return f.name.find("IPAMincho") != std::string::npos || f.name.find("IPAexMincho") != std::string::npos;
    });
    ASSERT_NE(mincho, fonts.end());
    // A subset of the glyphs used, tagged as one ("ABCDEF+IPAMincho"), with
    // the map that gives the text back: the whole IPA Mincho is several
    // megabytes.
    EXPECT_TRUE(mincho->embedded && mincho->subset && mincho->unicode) << mincho->name;
    EXPECT_EQ(mincho->name.find('+'), 6u) << mincho->name;
    EXPECT_LT(fs::file_size(path), 100'000u);
}

TEST_F(PdfPrintingThroughTheLibrary, EachDocumentIsANewFileWithItsOwnPaper)
{
    const std::string portrait = print(9, 1);
    const std::string landscape = print(9, 2);
    const std::string user_defined = print(256, 1, 11, 8.5f);
    EXPECT_EQ(pdf_files(out_.path()), (std::set<std::string>{portrait, landscape, user_defined}));

    ASSERT_EQ(test::pdf_page_sizes(portrait).size(), 3u);
    const auto wide = test::pdf_page_sizes(landscape);
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_NEAR(wide[0].width, 841.89, kPageTolerance);
    EXPECT_NEAR(wide[0].height, 595.28, kPageTolerance);
    const auto letter = test::pdf_page_sizes(user_defined);
    ASSERT_EQ(letter.size(), 3u);
    EXPECT_DOUBLE_EQ(letter[2].width, 612);
    EXPECT_DOUBLE_EQ(letter[2].height, 792);
}

TEST_F(PdfPrintingThroughTheLibrary, CopiesComeCollated)
{
    job_->P_PRT_Copy(2);
    const std::string path = print(9, 1);
    const auto texts = test::pdf_page_texts(path);
    ASSERT_EQ(texts.size(), 6u);
    for (int page = 0; page < 6; ++page) {
        const std::string marker = "PAGE-" + std::to_string(page % 3 + 1);
        EXPECT_NE(texts[page].find(marker), std::string::npos) << "page " << page + 1 << ": " << texts[page];
    }
}

// Huge but finite positions and margins leave the PDF valid: the items out of
// range are left out, and the rest of the page is drawn.
TEST_F(PdfPrintingThroughTheLibrary, HugeNumbersLeaveTheFileValidAndTheRestDrawn)
{
    if (!test::command_output("command -v qpdf"))
        GTEST_SKIP() << "qpdf is not installed: the file's structure cannot be checked";
    const auto valid = [](const std::string& path) {
        return test::command_output("qpdf --check '" + path + "'").has_value();
    };

    // A new session keeps Min_Page..Max_Page: pages 2 and 3 print empty.
    job_->E_StartEdit();
    job_->E_Pitch(15, 6);
    job_->E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job_->E_String(2, 3, "BEFORE-HUGE");
    job_->E_String(3, 1e16f, "FAR-AWAY");
    job_->E_Line(1, 1, 1, 1e16f);
    job_->E_Keisen(1, 1, 1e16f, 1e16f);
    job_->E_String(4, 3, "AFTER-HUGE");
    job_->E_EndEdit();
    const std::string far_column = print(9, 1);
    ASSERT_FALSE(far_column.empty());
    EXPECT_TRUE(valid(far_column));
    const auto texts = test::pdf_page_texts(far_column);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[0].find("BEFORE-HUGE"), std::string::npos) << texts[0];
    EXPECT_NE(texts[0].find("AFTER-HUGE"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[0].find("FAR-AWAY"), std::string::npos) << texts[0];

    job_->P_TopMargin(1e17f);
    job_->P_LeftMargin(1e17f);
    const std::string far_margins = print(9, 1);
    ASSERT_FALSE(far_margins.empty());
    EXPECT_TRUE(valid(far_margins));
    EXPECT_EQ(test::pdf_page_sizes(far_margins).size(), 3u);
}

// One job after another on one thread, each leaving the page beyond its
// editing window open: past the 255 file handles every print would fail if
// a job left one behind.
TEST_F(PdfPrintingThroughTheLibrary, JobAfterJobKeepsTheDescriptorsFlat)
{
    const auto open_descriptors = [] {
        const auto fds = fs::directory_iterator("/proc/self/fd");
        return std::distance(fds, fs::directory_iterator());
    };
    std::ptrdiff_t after_warm_up = 0;
    std::string last;
    for (int n = 1; n <= 300; ++n) {
        job_->E_StartEdit(0, 0, 1);
        job_->E_String(1, 1, "JOB-" + std::to_string(n));
        job_->E_ChangePage();
        job_->E_EndEdit();
        last = print(9, 1);
        ASSERT_FALSE(last.empty()) << "job " << n;
        if (n == 10)
            after_warm_up = open_descriptors();
    }
    EXPECT_EQ(open_descriptors(), after_warm_up);
    const auto texts = test::pdf_page_texts(last);
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts[0].find("JOB-300"), std::string::npos) << texts[0];
}

}  // namespace
}  // namespace kt482
