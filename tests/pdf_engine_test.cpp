// The PDF engine through the PDF printer: what a reader finds in the files
// (qpdf, poppler), whatever the input.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/pdf_writer.h"
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

// The text after the first marker at or after from, up to the first of the
// stop characters; empty when the marker is not there.
std::string after(const std::string& text, const std::string& marker, const char* stop, std::size_t from = 0)
{
    const std::size_t at = text.find(marker, from);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + marker.size();
    return text.substr(start, text.find_first_of(stop, start) - start);
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PdfNumbers, WrittenToTheHundredthAndNeverMalformed)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        const char* two;
        const char* three;
    } cases[] = {
        {0, "0", "0"},           {595.2755905, "595.28", "595.276"}, {841.8897637, "841.89", "841.89"},
        {-0.004, "0", "-0.004"}, {-0.005, "-0.01", "-0.005"},        {10.5, "10.5", "10.5"},
        {0.05, "0.05", "0.05"},  {1e300, "32767", "32767"},          {-1e300, "-32767", "-32767"},
        {nan, "0", "0"},         {inf, "0", "0"},                    {-inf, "0", "0"},
        {0.9999, "1", "1"},      {12.007, "12.01", "12.007"},
    };
    for (const auto& c : cases) {
        std::string two, three;
        pdf::append_number(two, c.value);
        pdf::append_number3(three, c.value);
        EXPECT_EQ(two, c.two) << c.value;
        EXPECT_EQ(three, c.three) << c.value;
    }
}

class PdfEngine : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        output_.emplace("KT482_PDF_DIR", out_.path());
    }
    void TearDown() override
    {
        printer_.reset();
        if (!IsSkipped()) {
            EXPECT_EQ(test::invalid_pdfs_in(out_.path()), "");
        }
    }

    std::string end()
    {
        EXPECT_TRUE(printer_->EndDoc().ok());
        return printer_->LastOutput();
    }

    TempFolder out_;
    std::optional<ScopedEnv> output_;
    std::shared_ptr<PdfPrinter> printer_ = PdfPrinter::for_folder();
};

// Nothing a form may hold breaks the file or loses the text around it.
TEST_F(PdfEngine, UnusualInputStillGivesAValidSearchableFile)
{
    Printer& p = *printer_;
    ASSERT_TRUE(p.NewPage().ok());  // an empty first page
    ASSERT_TRUE(p.FontName("No Such Face 42").ok());
    ASSERT_TRUE(p.CurrentX(50).ok() && p.CurrentY(60).ok());
    ASSERT_TRUE(p.Print("unknown-face", LineEnd::With).ok());
    ASSERT_TRUE(p.FontName("ＭＳ Ｐ明朝").ok());
    ASSERT_TRUE(p.FontSize(52.5f).ok());  // 10.5 points at 500 %
    ASSERT_TRUE(p.CurrentX(50).ok() && p.CurrentY(100).ok());
    // A private-use character no face has, bytes that are no UTF-8, and a
    // character only a fallback face has.
    ASSERT_TRUE(p.Print("大\xF4\x8F\xBF\xBD\xFF\xC3字", LineEnd::With).ok());
    ASSERT_TRUE(p.FontSize(10.5f).ok() && p.FontBold(true).ok() && p.FontUnderline(true).ok());
    ASSERT_TRUE(p.CurrentX(50).ok() && p.CurrentY(300).ok());
    ASSERT_TRUE(p.Print("請求書ＡＢＣ☃", LineEnd::Without).ok());
    const float huge = 1e30f;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(p.CurrentX(nan).ok() && p.CurrentY(huge).ok());
    EXPECT_TRUE(p.Print("lost", LineEnd::Without).ok());
    EXPECT_TRUE(p.Line(nan, 0, huge, -huge).ok());
    EXPECT_TRUE(p.Line(100, 100, 100, 100).ok());
    ASSERT_TRUE(p.NewPage().ok());
    ASSERT_TRUE(p.NewPage().ok());  // two empty pages at the end
    const std::string path = end();

    EXPECT_EQ(test::qpdf_problems(path), "");
    const auto texts = test::pdf_page_texts(path);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_NE(texts[1].find("unknown-face"), std::string::npos) << texts[1];
    EXPECT_NE(texts[1].find("大"), std::string::npos) << texts[1];
    EXPECT_NE(texts[1].find("字"), std::string::npos) << texts[1];
    EXPECT_NE(texts[1].find("請求書ＡＢＣ☃"), std::string::npos) << texts[1];
    for (const auto& font : test::pdf_fonts(path)) {
        EXPECT_TRUE(font.embedded && font.subset && font.unicode) << font.name;
        EXPECT_EQ(font.name.find('+'), 6u) << font.name;
    }
}

// Each text's box in the file is as wide as TextWidth says, so a text
// aligned by its width stands where the renderer put it.
TEST_F(PdfEngine, WordsAreAsWideAsTextWidthSaysInEveryFaceAndSize)
{
    const struct {
        const char* face;
        float size;
        const char* text;
    } cases[] = {
        {"ＭＳ 明朝", 9, "Mincho"},      {"ＭＳ 明朝", 10.5f, "請求書"},   {"ＭＳ 明朝", 12, "Mixed請求"},
        {"ＭＳ Ｐ明朝", 9, "Proportional"}, {"ＭＳ Ｐ明朝", 10.5f, "Wide"}, {"MS PGothic", 12, "iiiWWW"},
        {"ＭＳ ゴシック", 10.5f, "Gothic"}, {"MS Gothic", 36, "Big"},
    };
    std::vector<float> widths;
    float y = 20;
    for (const auto& c : cases) {
        ASSERT_TRUE(printer_->FontName(c.face).ok() && printer_->FontSize(c.size).ok());
        widths.push_back(printer_->TextWidth(c.text));
        ASSERT_TRUE(printer_->CurrentX(30.25f).ok() && printer_->CurrentY(y).ok());
        ASSERT_TRUE(printer_->Print(c.text, LineEnd::Without).ok());
        EXPECT_NEAR(printer_->CurrentX(), 30.25f + widths.back(), 1e-3) << c.text;
        y += 50;
    }
    const auto words = test::pdf_words(end());
    ASSERT_EQ(words.size(), std::size(cases));
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(words[i].text, cases[i].text);
        EXPECT_NEAR(words[i].x_min, 30.25, 0.01) << cases[i].text;
        EXPECT_NEAR(words[i].x_max - words[i].x_min, widths[i], 0.01) << cases[i].text;
        EXPECT_NEAR(words[i].y_max - words[i].y_min, cases[i].size, 0.01) << cases[i].text;
    }
    // Proportional faces are proportional, the others are not.
    EXPECT_GT(widths[4], widths[3] / 3);
    ASSERT_TRUE(printer_->FontName("ＭＳ 明朝").ok() && printer_->FontSize(10).ok());
    EXPECT_FLOAT_EQ(printer_->TextWidth("iW"), 10.0f);
    ASSERT_TRUE(printer_->FontName("ＭＳ Ｐ明朝").ok());
    EXPECT_LT(printer_->TextWidth("ii"), printer_->TextWidth("WW"));
}

struct PageCase {
    const char* name;
    int16_t paper;
    int16_t orientation;
    int32_t heightTwips;
    int32_t widthTwips;
    double width;
    double height;
};

class PdfEnginePages : public PdfEngine, public testing::WithParamInterface<PageCase> {};

TEST_P(PdfEnginePages, AreExactlyTheirPaper)
{
    const PageCase& c = GetParam();
    if (c.paper == 256) {
        ASSERT_TRUE(printer_->PageHeight(c.heightTwips).ok() && printer_->PageWidth(c.widthTwips).ok());
    }
    ASSERT_TRUE(printer_->PaperSize(c.paper).ok());
    ASSERT_TRUE(printer_->Orientation(c.orientation).ok());
    ASSERT_TRUE(printer_->Line(0, 0, 10, 10).ok());
    const auto sizes = test::pdf_page_sizes(end());
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_DOUBLE_EQ(sizes[0].width, c.width);
    EXPECT_DOUBLE_EQ(sizes[0].height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    PdfEngine, PdfEnginePages,
    testing::Values(PageCase{"A4", 9, 1, 0, 0, 595.28, 841.89}, PageCase{"A4Landscape", 9, 2, 0, 0, 841.89, 595.28},
                    PageCase{"A3", 8, 1, 0, 0, 841.89, 1190.55}, PageCase{"B5", 13, 1, 0, 0, 515.91, 728.5},
                    PageCase{"Letter", 1, 1, 0, 0, 612, 792},
                    PageCase{"UserDefined", 256, 1, 3001, 2001, 100.05, 150.05},
                    PageCase{"UserDefinedLandscape", 256, 2, 3001, 2001, 150.05, 100.05},
                    PageCase{"Largest", 256, 1, 288000, 60, 3, 14400}),
    [](const auto& info) { return std::string(info.param.name); });

// Dashes and dots in steps of 1/96 inch on lines one pixel wide; wider lines
// solid, and a pixel never thinner than a dot of the resolution.
TEST_F(PdfEngine, RulesKeepTheirStyleAndWidth)
{
    if (!test::command_output("command -v pdftocairo"))
        GTEST_SKIP() << "pdftocairo is not installed";
    const struct {
        int16_t quality;  // 0: not set
        int16_t style;
        int16_t width;
        const char* strokeWidth;
        const char* dashes;  // empty: solid
    } cases[] = {
        {0, 0, 1, "0.12", ""},          {0, 1, 1, "0.12", "9,4.5"},
        {0, 2, 1, "0.12", "2.25,2.25"}, {0, 3, 1, "0.12", "9,3,2.25,3"},
        {0, 4, 1, "0.12", "9,3,2.25,3,2.25,3"},
        {0, 1, 3, "0.36", ""},          {0, 6, 5, "0.6", ""},
        {300, 0, 1, "0.24", ""},        {2400, 2, 1, "0.03", "2.25,2.25"},
    };
    for (const auto& c : cases) {
        std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_folder();
        if (c.quality) {
            ASSERT_TRUE(printer->PrintQuality(c.quality).ok());
        }
        ASSERT_TRUE(printer->DrawStyle(c.style).ok() && printer->DrawWidth(c.width).ok());
        ASSERT_TRUE(printer->Line(10, 100, 300, 100).ok());
        ASSERT_TRUE(printer->EndDoc().ok());
        const std::string svg = printer->LastOutput() + ".svg";
        ASSERT_TRUE(test::command_output("pdftocairo -svg '" + printer->LastOutput() + "' '" + svg + "'"));
        const std::string drawn = contents(svg);
        fs::remove(svg);
        // The rule's style: "stroke-width:0.12;...;stroke-dasharray:9,4.5;...".
        const std::string style = "stroke-width:" + after(drawn, "stroke-width:", "\"");
        EXPECT_EQ(after(style, "stroke-width:", ";"), c.strokeWidth) << "style " << c.style << " width " << c.width;
        EXPECT_EQ(after(style, "stroke-dasharray:", ";"), c.dashes) << "style " << c.style;
    }
}

// A named file takes its name only once complete; an aborted document leaves
// nothing behind, in the folder or under the name.
TEST_F(PdfEngine, NamedFilesAndAbortedDocuments)
{
    const std::string named = out_.path() + "/named.pdf";
    const std::string elsewhere = out_.path() + "/elsewhere";
    std::ofstream(named) << "old";
    std::ofstream(elsewhere) << "not this";
    std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_file(named);
    ASSERT_TRUE(printer->Print("new", LineEnd::Without).ok());
    EXPECT_EQ(contents(named), "old");
    ASSERT_TRUE(printer->AbortDoc().ok());
    EXPECT_EQ(contents(named), "old");
    EXPECT_EQ(printer->LastOutput(), "");
    ASSERT_TRUE(printer->Print("new", LineEnd::Without).ok());
    ASSERT_TRUE(printer->EndDoc().ok());
    EXPECT_EQ(printer->LastOutput(), named);
    EXPECT_EQ(test::pdf_page_texts(named).at(0).find("new"), 0u);

    // A link at the name is replaced, not followed.
    fs::remove(named);
    fs::create_symlink(elsewhere, named);
    ASSERT_TRUE(printer->Line(0, 0, 1, 1).ok());
    ASSERT_TRUE(printer->EndDoc().ok());
    EXPECT_FALSE(fs::is_symlink(named));
    EXPECT_EQ(contents(elsewhere), "not this");

    const auto before = std::distance(fs::directory_iterator(out_.path()), fs::directory_iterator());
    ASSERT_TRUE(printer_->Print("dropped", LineEnd::Without).ok());
    ASSERT_TRUE(printer_->AbortDoc().ok());
    EXPECT_FALSE(printer_->document_started());
    EXPECT_EQ(std::distance(fs::directory_iterator(out_.path()), fs::directory_iterator()), before);
    EXPECT_TRUE(printer_->AbortDoc().ok());  // nothing to drop
}

// Any name the file system takes can be written, up to its longest: the
// temporary beside the name has a short name of its own.
TEST_F(PdfEngine, NamedFilesOfTheLongestNamesAreWritten)
{
    const std::string kana = "\xE3\x81\x82";  // three bytes
    const std::string names[] = {
        std::string(244, 'a') + ".pdf",  std::string(247, 'b') + ".pdf", std::string(248, 'c') + ".pdf",
        std::string(251, 'd') + ".pdf",  std::string(255, 'e'),
        [&] {
            std::string name;
            for (int i = 0; i < 83; ++i)
                name += kana;
            return name + "ab.pdf";  // 255 bytes
        }(),
    };
    for (const std::string& name : names) {
        const std::string path = out_.path() + "/" + name;
        std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_file(path);
        ASSERT_TRUE(printer->Print("long", LineEnd::Without).ok()) << name.size();
        const Status ended = printer->EndDoc();
        EXPECT_TRUE(ended.ok()) << name.size() << ": " << (ended.ok() ? "" : ended.failure().description);
        EXPECT_EQ(printer->LastOutput(), path) << name.size();
        EXPECT_EQ(test::qpdf_problems(path), "") << name.size();
        fs::remove(path);
        EXPECT_TRUE(fs::is_empty(out_.path())) << name.size() << ": a temporary was left";
    }
}

// The pages of every further copy show the content streams of the first.
TEST_F(PdfEngine, CopiesShareTheContentOfTheFirst)
{
    ASSERT_TRUE(printer_->Copies(3).ok());
    for (int page = 0; page < 4; ++page) {
        ASSERT_TRUE(printer_->Print("page " + std::to_string(page), LineEnd::With).ok());
        ASSERT_TRUE(printer_->NewPage().ok() || page == 3);
    }
    const std::string path = end();
    const auto json = test::command_output("qpdf --json --json-key=pages '" + path + "'");
    if (!json)
        GTEST_SKIP() << "qpdf is not installed";
    std::vector<std::string> contents;
    for (std::size_t at = json->find("\"contents\""); at != std::string::npos;
         at = json->find("\"contents\"", at + 1))
        contents.push_back(after(*json, "\"", "\"", json->find('[', at)));
    ASSERT_EQ(contents.size(), 15u);  // five pages (the last is empty), three times
    for (std::size_t i = 5; i < contents.size(); ++i)
        EXPECT_EQ(contents[i], contents[i % 5]) << "page " << i + 1;
    EXPECT_NE(contents[0], contents[1]);
}

// Deflating on worker threads changes nothing but where the objects lie in
// the file.
TEST_F(PdfEngine, WorkerThreadsWriteTheSameFile)
{
    std::vector<std::string> files;
    for (const char* threads : {"0", "2"}) {
        ScopedEnv pool("KT482_PDF_THREADS", threads);
        fs::create_directory(out_.path() + "/t" + threads);
        const std::string path = out_.path() + "/t" + threads + "/same.pdf";
        std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_file(path);
        for (int page = 0; page < 50; ++page) {
            for (int row = 0; row < 40; ++row) {
                ASSERT_TRUE(printer->CurrentX(20).ok() && printer->CurrentY(20 + row * 18.f).ok());
                ASSERT_TRUE(printer->Print("行" + std::to_string(page * 100 + row), LineEnd::Without).ok());
                ASSERT_TRUE(printer->Line(20, 30 + row * 18.f, 500, 30 + row * 18.f).ok());
            }
            ASSERT_TRUE(printer->NewPage().ok());
        }
        ASSERT_TRUE(printer->EndDoc().ok());
        // qpdf numbers the objects in the order a reader reaches them.
        const auto normal = test::command_output("qpdf --qdf --static-id --no-original-object-ids '" + path + "' -");
        if (!normal)
            GTEST_SKIP() << "qpdf is not installed";
        std::string file = *normal;
        if (const std::size_t date = file.find("/CreationDate ("); date != std::string::npos)
            file.erase(date, file.find(')', date) - date);
        // The identifier is unique to each file; qpdf keeps its first half.
        if (const std::size_t id = file.find("/ID ["); id != std::string::npos)
            file.erase(id, file.find(']', id) - id);
        files.push_back(file);
    }
    EXPECT_GT(files[0].size(), 50'000u);
    const auto differ = std::mismatch(files[0].begin(), files[0].end(), files[1].begin(), files[1].end());
    EXPECT_TRUE(differ.first == files[0].end() && differ.second == files[1].end())
        << "from " << differ.first - files[0].begin() << ": "
        << std::string(differ.first, differ.first + std::min<std::ptrdiff_t>(80, files[0].end() - differ.first))
        << " / " << std::string(differ.second, differ.second + std::min<std::ptrdiff_t>(80, files[1].end() - differ.second));
}

// Memory stays flat in the page count: a page's content leaves memory when
// the page ends.
TEST_F(PdfEngine, TenThousandPagesTakeNoMoreMemoryThanAThousand)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own accounts";
#endif
    auto pages = [&](int count) {
        for (int page = 0; page < count; ++page) {
            for (int row = 0; row < 10; ++row) {
                ASSERT_TRUE(printer_->CurrentX(20).ok() && printer_->CurrentY(20 + row * 18.f).ok());
                ASSERT_TRUE(printer_->Print("明細 row " + std::to_string(row), LineEnd::Without).ok());
                ASSERT_TRUE(printer_->Line(20, 30 + row * 18.f, 500, 30 + row * 18.f).ok());
            }
            ASSERT_TRUE(printer_->NewPage().ok());
        }
    };
    pages(1000);
    const std::size_t after1000 = mallinfo2().uordblks;
    pages(9000);
    const std::size_t after10000 = mallinfo2().uordblks;
    // A few bytes a page for its object numbers, nothing for its content.
    EXPECT_LT(after10000, after1000 + 9000 * 64) << after1000 << " -> " << after10000;
    const std::string path = end();
    EXPECT_EQ(test::pdf_page_sizes(path).size(), 10001u);
}

// A text far off the page stands clamped where it is; no text drawn after it
// in the same row of texts moves. Each document is compared with one that
// leaves the far texts out.
TEST_F(PdfEngine, TextsFarOffThePageMoveNoOtherText)
{
    struct At {
        float x, y;
    };
    const struct {
        const char* name;
        std::vector<At> far;
    } cases[] = {
        {"rows above", {{40, -45000}}},
        {"columns left", {{-63000, 100}}},
        {"right and below", {{40000, 40000}}},
        {"both ways at once", {{-1e7f, 1e7f}}},
        {"just past the largest number", {{-32800, 300}}},
        {"two in a row", {{-63000, -45000}, {63000, 45000}}},
    };
    const std::pair<const char*, At> visible[] = {
        {"Before", {40, 60}}, {"Row30", {262, 468}}, {"Col40", {262, 100}}, {"Last", {500, 800}}};
    auto words_of = [&](const std::vector<At>& far) {
        std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_folder();
        auto print_at = [&](const char* text, At at) {
            EXPECT_TRUE(printer->CurrentX(at.x).ok() && printer->CurrentY(at.y).ok());
            EXPECT_TRUE(printer->Print(text, LineEnd::Without).ok());
        };
        print_at(visible[0].first, visible[0].second);
        for (const At& at : far)
            print_at("Away", at);
        for (std::size_t i = 1; i < std::size(visible); ++i)
            print_at(visible[i].first, visible[i].second);
        EXPECT_TRUE(printer->EndDoc().ok());
        std::vector<test::PdfWord> words;
        for (const auto& word : test::pdf_words(printer->LastOutput()))
            if (word.text != "Away")
                words.push_back(word);
        return words;
    };
    const auto expected = words_of({});
    ASSERT_EQ(expected.size(), std::size(visible));
    for (const auto& c : cases) {
        const auto words = words_of(c.far);
        EXPECT_EQ(words.size(), expected.size()) << c.name;
        if (words.size() != expected.size())
            continue;
        for (std::size_t i = 0; i < words.size(); ++i) {
            EXPECT_EQ(words[i].text, expected[i].text) << c.name;
            EXPECT_NEAR(words[i].x_min, expected[i].x_min, 0.01) << c.name << ": " << words[i].text;
            EXPECT_NEAR(words[i].y_min, expected[i].y_min, 0.01) << c.name << ": " << words[i].text;
        }
    }
}

TEST(FontService, FacesResolveWithTheClassicSubstitutions)
{
    text::FontService& fonts = text::FontService::shared();
    const struct {
        const char* asked;
        const char* face;
    } cases[] = {
        {"ＭＳ 明朝", "IPAMincho"},      {"MS Mincho", "IPAMincho"},    {"ＭＳ ゴシック", "IPAGothic"},
        {"MS Gothic", "IPAGothic"},      {"ＭＳ Ｐ明朝", "IPAPMincho"}, {"MS PMincho", "IPAPMincho"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"}, {"", "IPAMincho"},
    };
    for (const auto& c : cases) {
        const text::FontFace* face = fonts.face(c.asked);
        ASSERT_NE(face, nullptr) << c.asked;
        EXPECT_EQ(face->postscript_name(), c.face) << c.asked;
    }
    EXPECT_NE(fonts.face("No Such Face 42"), nullptr);

    // A character the face lacks comes from a face that has it; one nobody
    // has stays in the face as its missing glyph, still one advance wide.
    std::vector<text::ShapedGlyph> glyphs;
    fonts.shape(fonts.face("ＭＳ 明朝"), "A\xF4\x8F\xBF\xBD", glyphs);
    ASSERT_EQ(glyphs.size(), 2u);
    EXPECT_NE(glyphs[0].glyph, 0u);
    EXPECT_EQ(glyphs[1].glyph, 0u);
    EXPECT_GT(glyphs[1].advance, 0);
}

}  // namespace
}  // namespace kt482
