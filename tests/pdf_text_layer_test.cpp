// The text layer of the PDF printer's files: what two independent readers
// (poppler's pdftotext, MuPDF's mutool) extract is exactly the text recorded,
// however shaping joined, split or shared glyphs.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "print/pdf_printer.h"
#include "job/object_fields.h"
#include "render/page_out.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/spool_fixture.h"

namespace kt482 {
namespace {


// A page's text without the line ends and blanks readers put around it.
std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \n\f\r\t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \n\f\r\t") - first + 1);
}

enum class Kind { Plain, Spread, Centred };

struct TrickyText {
    const char* what;
    Kind kind;
    const char* recorded;
};

// In this order in one document: each text follows one that shares glyphs
// with it, so that the first use of a glyph cannot decide a later one's text.
const TrickyText kTrickyTexts[] = {
    {"voiced marks shaped beside a composed one", Kind::Plain, "ﾀﾞｲ か\u3099"},
    {"half-width voiced marks", Kind::Plain, "ﾔﾏﾀﾞ ﾀﾛｳ"},
    {"the same kana unvoiced", Kind::Plain, "ﾀﾞﾀﾟﾀ"},
    {"a combining voiced mark", Kind::Plain, "か\u3099"},
    {"its composed form", Kind::Plain, "が"},
    {"a combining acute", Kind::Plain, "Cafe\u0301"},
    {"its composed form", Kind::Plain, "Café"},
    {"yen sign", Kind::Plain, "¥1,000"},
    {"full-width yen sign", Kind::Plain, "￥2,000"},
    {"full-width tilde", Kind::Plain, "1～5"},
    {"wave dash", Kind::Plain, "1〜5"},
    {"a character no face has", Kind::Plain, "A\U0010FFFDB"},
    {"another one", Kind::Plain, "C\U0010FFFCD"},
    {"surrogate pairs", Kind::Plain, "𠮷野家𩸽"},
    {"spread label", Kind::Spread, "請求番号"},
    {"spread half-width kana", Kind::Spread, "ﾃﾞｰﾀ"},
    {"centred label", Kind::Centred, "合計金額"},
};

class PdfTextLayer : public test::SpoolTest {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        if (!test::command_output("command -v mutool"))
            GTEST_SKIP() << "mutool is not installed (mupdf-tools)";
        job_.P_Temp_Dir(dir);
        kt482::job().FontScale = 0;
        kt482::job().MeasuredFontSize = 0;
    }

    // Renders the recorded pages into one PDF file and returns its path.
    std::string print(int16_t pages, const std::string& name = "texts.pdf", bool archive = false)
    {
        const std::string path = out_.path() + "/" + name;
        auto printer = PdfPrinter::for_file(path);
        printer->NextDocumentProperties({"", "", "", "", archive});
        JobState& s = kt482::job();
        s.OutputTarget = OutputTarget::Printer;
        s.PrinterObject = printer;
        for (int16_t page = 1; page <= pages; ++page) {
            ZZ100_Page_Out(fields_, page);
            if (page < pages) {
                EXPECT_TRUE(printer->NewPage().ok());
            }
        }
        EXPECT_TRUE(printer->EndDoc().ok());
        s.PrinterObject = nullptr;
        EXPECT_EQ(test::qpdf_problems(path), "");
        return path;
    }

    test::TempFolder out_;
    KT482_Print job_;
    ObjectFields fields_;
};

TEST_F(PdfTextLayer, EveryTrickyTextComesBackExactlyFromBothReaders)
{
    job_.E_StartEdit();
    job_.E_Pitch(15, 6);
    for (const char* face : {"ＭＳ 明朝", "ＭＳ Ｐゴシック"}) {
        job_.E_Font(face, 10.5f, false, 0);
        for (const TrickyText& t : kTrickyTexts) {
            switch (t.kind) {
            case Kind::Plain:
                job_.E_String(2, 3, t.recorded);
                break;
            case Kind::Spread:
                job_.E_String_Kin(2, 3, t.recorded, 10);
                break;
            case Kind::Centred:
                job_.E_String_Center(2, 3, t.recorded, 20);
                break;
            }
            job_.E_ChangePage();
        }
    }
    job_.E_EndEdit();
    const std::size_t count = std::size(kTrickyTexts);
    const std::string path = print(static_cast<int16_t>(2 * count));
    const auto poppler = test::pdf_page_texts(path);
    const auto mupdf = test::mupdf_page_texts(path);
    ASSERT_GE(poppler.size(), 2 * count);
    ASSERT_GE(mupdf.size(), 2 * count);
    for (std::size_t page = 0; page < 2 * count; ++page) {
        const TrickyText& t = kTrickyTexts[page % count];
        EXPECT_EQ(trimmed(poppler[page]), t.recorded) << "pdftotext, page " << page + 1 << ": " << t.what;
        EXPECT_EQ(trimmed(mupdf[page]), t.recorded) << "mutool, page " << page + 1 << ": " << t.what;
    }
}

// The reference's amounts end at column 86 whatever their picture: a
// currency sign, full-width yen, half-width kana or a triangle for minus.
TEST_F(PdfTextLayer, TheReferencesAmountsEndAtTheirColumn)
{
    KT482_Print& job = job_;
    job.E_StartEdit();
#include "../docs/examples/amount_field.inc"
    int16_t row = 12;
    for (const char* more : {"¥###,##0", "￥###,##0", "ｶ###,##0", "###,##0"})
        job.E_Numeric_Right(row++, 86, 49840, more);
    job.E_String(20, 86, "|");
    job.E_EndEdit();
    const std::string path = print(1);
    double edge = -1;
    std::vector<std::pair<std::string, double>> ends;
    for (const auto& w : test::pdf_words(path)) {
        if (w.text == "|")
            edge = w.x_min;
        else if (w.text.find("49,840") != std::string::npos || w.text.find("1,200") != std::string::npos)
            ends.emplace_back(w.text, w.x_max);
    }
    ASSERT_GT(edge, 0);
    ASSERT_EQ(ends.size(), 6u);
    for (const auto& [text, end] : ends)
        EXPECT_NEAR(end, edge, 0.5) << text;
}

// The words of a file as each reader finds them, one line a word.
std::vector<std::string> poppler_words(const std::string& path)
{
    std::vector<std::string> words;
    for (const auto& w : test::pdf_words(path))
        words.push_back(w.text);
    return words;
}

std::vector<std::string> mupdf_lines(const std::string& path)
{
    std::vector<std::string> read;
    for (const std::string& page : test::mupdf_page_texts(path)) {
        std::istringstream lines(page);
        for (std::string line; std::getline(lines, line);)
            if (!trimmed(line).empty())
                read.push_back(trimmed(line));
    }
    return read;
}

// A spread label is one word to both readers, also where its glyphs appear
// at other widths or plainly in the same file, bold, and archived.
TEST_F(PdfTextLayer, SpreadLabelsReadAsWords)
{
    job_.E_StartEdit();
    job_.E_Pitch(15, 6);
    job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job_.E_String_Kin(2, 3, "日付", 10);
    job_.E_String_Kin(4, 3, "納品日", 14);
    job_.E_String_Kin(6, 3, "日本", 6);
    job_.E_String(8, 3, "日日");
    job_.E_Font("ＭＳ ゴシック", 10.5f, true, 0);
    job_.E_String_Kin(10, 3, "請求番号", 10);
    job_.E_EndEdit();
    const std::vector<std::string> labels{"日付", "納品日", "日本", "日日", "請求番号"};
    for (const bool archive : {false, true}) {
        const std::string path = print(1, archive ? "archived.pdf" : "plain.pdf", archive);
        EXPECT_EQ(poppler_words(path), labels) << path;
        EXPECT_EQ(mupdf_lines(path), labels) << path;
    }
}

// Its characters stand where they stood drawn one by one.
TEST_F(PdfTextLayer, SpreadLabelsStandWhereTheirCharactersWould)
{
    const std::string label = "ご請求金額";
    std::vector<std::string> paths;
    for (const bool spread : {true, false}) {
        paths.push_back(out_.path() + (spread ? "/spread.pdf" : "/apart.pdf"));
        auto printer = PdfPrinter::for_file(paths.back());
        ASSERT_TRUE(printer->FontName("ＭＳ 明朝").ok() && printer->FontSize(10.5f).ok());
        ASSERT_TRUE(printer->CurrentX(100.25f).ok() && printer->CurrentY(200).ok());
        if (spread) {
            ASSERT_TRUE(printer->BeginSpreadText(label).ok());
        }
        for (std::size_t i = 0; i < label.size(); i += 3) {
            ASSERT_TRUE(printer->Print(label.substr(i, 3), LineEnd::Without).ok());
            ASSERT_TRUE(printer->CurrentX(printer->CurrentX() + 7.3f + static_cast<float>(i) / 3).ok());
        }
        if (spread) {
            ASSERT_TRUE(printer->EndSpreadText().ok());
        }
        ASSERT_TRUE(printer->EndDoc().ok());
        EXPECT_EQ(test::qpdf_problems(paths.back()), "");
    }
    EXPECT_EQ(mupdf_lines(paths[0]), std::vector<std::string>{label});
    const auto run = test::mupdf_glyphs(paths[0]);
    const auto apart = test::mupdf_glyphs(paths[1]);
    ASSERT_EQ(run.size(), 5u);
    ASSERT_EQ(apart.size(), run.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(run[i].text, apart[i].text);
        EXPECT_NEAR(run[i].x, apart[i].x, 0.01) << i;
        EXPECT_NEAR(run[i].y, apart[i].y, 0.01) << i;
    }
}

// A label spread down its rows reads as one word also to the reader that
// takes the file's text in the order it is drawn, plain, bold or with a
// turned run; its glyphs still stand one below the other.
TEST_F(PdfTextLayer, VerticalSpreadLabelsReadAsWords)
{
    job_.E_StartEdit();
    job_.E_Pitch(15, 6);
    job_.E_Font("@ＭＳ 明朝", 12, false, 0);
    job_.E_String_Kin(2, 80, "縦書き見出し", 20);
    job_.E_Font("@ＭＳ ゴシック", 12, true, 0);
    job_.E_String_Kin(2, 60, "御請求書", 20);
    job_.E_String_Kin(2, 40, "第A棟", 20);
    job_.E_EndEdit();
    const std::string path = print(1);
    const auto raw = test::command_output("pdftotext -raw -enc UTF-8 '" + path + "' -");
    ASSERT_TRUE(raw);
    for (const char* label : {"縦書き見出し", "御請求書", "第A棟"})
        EXPECT_NE(raw->find(label), std::string::npos) << label << " in " << *raw;
    const auto glyphs = test::mupdf_glyphs(path);
    ASSERT_GE(glyphs.size(), 6u);
    for (std::size_t i = 1; i < 6; ++i) {
        EXPECT_NEAR(glyphs[i].x, glyphs[0].x, 0.01) << i;
        EXPECT_LT(glyphs[i].y, glyphs[i - 1].y - 12) << i;  // a gap below each
    }
}

// A font set for the printer, a centred and a right-aligned text draw no
// blank of their own anywhere on the page.
TEST_F(PdfTextLayer, NoStrayBlanks)
{
    job_.E_StartEdit();
    job_.E_Pitch(15, 6);
    job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job_.E_String_Center(2, 3, "合計", 20);
    job_.E_Font("ＭＳ ゴシック", 12, false, 0);
    job_.E_String_Right(4, 60, "1,000");
    job_.E_String(6, 3, "A B");
    job_.E_EndEdit();
    const std::string path = print(1);
    std::string drawn;
    for (const auto& g : test::mupdf_glyphs(path))
        drawn += g.text;
    EXPECT_EQ(drawn, "合計1,000A B");
}

}  // namespace
}  // namespace kt482
