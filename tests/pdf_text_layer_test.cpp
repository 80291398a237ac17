// The text layer of the PDF printer's files: what two independent readers
// (poppler's pdftotext, MuPDF's mutool) extract is exactly the text recorded,
// however shaping joined, split or shared glyphs.
#include <gtest/gtest.h>

#include <optional>
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

std::string without_blanks(const std::string& text)
{
    std::string kept;
    for (const char c : text)
        if (c != ' ' && c != '\n' && c != '\f')
            kept.push_back(c);
    return kept;
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
    std::string print(int16_t pages)
    {
        const std::string path = out_.path() + "/texts.pdf";
        auto printer = PdfPrinter::forFile(path);
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
        // MuPDF (1.21) takes no marked-content text: it finds a spread
        // text's characters in order, apart.
        if (t.kind == Kind::Spread)
            EXPECT_EQ(without_blanks(mupdf[page]), t.recorded) << "mutool, page " << page + 1 << ": " << t.what;
        else
            EXPECT_EQ(trimmed(mupdf[page]), t.recorded) << "mutool, page " << page + 1 << ": " << t.what;
    }
}

}  // namespace
}  // namespace kt482
