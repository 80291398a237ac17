// Bold texts in the form faces: their bold weight where it is installed
// (embedded as a CFF font), the regular outlines stroked where it is not, as
// readers find them in the PDF (pdffonts, pdftotext, mutool, qpdf).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "text/font_service.h"
#include "text/text_layout.h"

namespace kt482 {
namespace {

using text::BoldFaces;
using text::FontService;

struct BoldRow {
    const char* name;
    const char* face;
    const char* bold_font;  // the bold weight's PostScript name
    const char* text;
};

const BoldRow kBoldRows[] = {
    {"Mincho", "ＭＳ 明朝", "NotoSerifCJKjp-Bold", "御請求書 No.123"},
    {"Gothic", "ＭＳ ゴシック", "NotoSansMonoCJKjp-Bold", "合計金額 1,234,567"},
    {"ProportionalGothic", "ＭＳ Ｐゴシック", "NotoSansCJKjp-Bold", "株式会社 ABC"},
    {"VerticalMincho", "@ＭＳ 明朝", "NotoSerifCJKjp-Bold", "御請求書"},
    {"VerticalGothic", "@ＭＳ ゴシック", "NotoSansMonoCJKjp-Bold", "第三営業部"},
};

bool bold_installed(const char* face)
{
    const text::FontFace* regular = FontService::shared().face(face);
    return FontService::shared().bold_face(regular) != regular;
}

// The page contents as qpdf writes them uncompressed.
std::string uncompressed(const std::string& path)
{
    const auto text = test::command_output("qpdf --qdf --object-streams=disable '" + path + "' - 2>/dev/null");
    return text ? *text : std::string();
}

class TrueBold : public testing::TestWithParam<std::tuple<BoldRow, BoldFaces>> {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        if (!test::command_output("command -v qpdf") || !test::command_output("command -v mutool"))
            GTEST_SKIP() << "qpdf or mutool is not installed";
        if (!bold_installed(std::get<0>(GetParam()).face))
            GTEST_SKIP() << "the bold weights are not installed (fonts-noto-cjk)";
        FontService::shared().set_bold_faces(std::get<1>(GetParam()));
    }
    void TearDown() override { FontService::shared().set_bold_faces(BoldFaces::Installed); }

    // A regular line, then the bold text, then a regular line again: the
    // bold text's font and the regular one's side by side.
    std::string print(bool archive)
    {
        const BoldRow& row = std::get<0>(GetParam());
        const std::string path = out_.path() + (archive ? "/archived.pdf" : "/bold.pdf");
        auto printer = PdfPrinter::for_file(path);
        printer->NextDocumentProperties({"", "", "", "", archive});
        EXPECT_TRUE(printer->FontName(row.face).ok() && printer->FontSize(12).ok());
        EXPECT_TRUE(printer->CurrentX(300).ok() && printer->CurrentY(40).ok());
        EXPECT_TRUE(printer->Print("普通", LineEnd::Without).ok());
        EXPECT_TRUE(printer->FontBold(true).ok());
        EXPECT_TRUE(printer->CurrentX(200).ok() && printer->CurrentY(40).ok());
        width_ = printer->TextWidth(row.text);
        EXPECT_TRUE(printer->Print(row.text, LineEnd::Without).ok());
        EXPECT_TRUE(printer->EndDoc().ok());
        return path;
    }

    test::TempFolder out_;
    float width_ = 0;
};

TEST_P(TrueBold, EmbedsTheBoldWeightOrStrokesAndReadsAsItsText)
{
    const auto& [row, use] = GetParam();
    for (const bool archive : {false, true}) {
        const std::string path = print(archive);
        EXPECT_EQ(test::qpdf_problems(path), "") << path;
        bool bold_font = false;
        for (const test::PdfFont& font : test::pdf_fonts(path)) {
            EXPECT_TRUE(font.embedded && font.subset && font.unicode) << font.name;
            if (font.name.find(row.bold_font) == std::string::npos)
                continue;
            bold_font = true;
            EXPECT_EQ(font.type, "CID Type 0C") << font.name;
        }
        EXPECT_EQ(bold_font, use == BoldFaces::Installed) << path;
        // Stroked bold is text render mode 2 (fill, then stroke).
        EXPECT_EQ(uncompressed(path).find("2 Tr") != std::string::npos, use == BoldFaces::Stroked);
        const auto texts = test::pdf_page_texts(path);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(row.text), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find("普通"), std::string::npos) << texts[0];
    }
    // The bold weight's widths in the file are the widths the layout used:
    // the text ends where its measured width says.
    if (text::is_vertical_name(row.face))
        return;
    const std::string first_word = std::string(row.text).substr(0, std::string(row.text).find(' '));
    for (const test::PdfWord& word : test::pdf_words(print(false))) {
        if (word.text == first_word) {
            EXPECT_NEAR(word.x_min, 200, 0.05);
        }
    }
    const auto glyphs = test::mupdf_glyphs(out_.path() + "/bold.pdf");
    ASSERT_FALSE(glyphs.empty());
    std::string drawn;
    for (const auto& g : glyphs)
        drawn += g.text;
    // Stroked bold is traced twice: filled, then stroked.
    const std::string bold_text = use == BoldFaces::Installed ? std::string(row.text) : row.text + std::string(row.text);
    EXPECT_EQ(drawn, "普通" + bold_text);
    const std::string text = row.text;
    const auto layout = text::lay_out(text,
                                      {.face = FontService::shared().face(row.face),
                                       .size = 12,
                                       .weight = text::Weight::Bold},
                                      200, 40);
    EXPECT_NEAR(glyphs.back().x, layout.glyphs.back().x, 0.02) << "the last glyph stands where the layout put it";
    EXPECT_NEAR(layout.advance, width_, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Faces, TrueBold,
                         testing::Combine(testing::ValuesIn(kBoldRows),
                                          testing::Values(BoldFaces::Installed, BoldFaces::Stroked)),
                         [](const testing::TestParamInfo<TrueBold::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name)
                                    + (std::get<1>(info.param) == BoldFaces::Installed ? "Installed" : "Stroked");
                         });

// Forms that set a bold text right-aligned, centred or spread keep it in its
// box though the bold weight is wider or narrower than the regular one.
TEST(TrueBoldLayout, MeasuresBoldTextsInTheBoldWeight)
{
    if (!bold_installed("ＭＳ 明朝"))
        GTEST_SKIP() << "the bold weights are not installed (fonts-noto-cjk)";
    const text::FontFace* mincho = FontService::shared().face("ＭＳ 明朝");
    const text::FontFace* bold = FontService::shared().bold_face(mincho);
    ASSERT_TRUE(bold->is_bold() && bold->is_cff());
    EXPECT_EQ(bold->family(), "Noto Serif CJK JP");
    const std::string text = "Total 1,234";
    const double measured = text::measure(mincho, 12, text::Direction::Across, text, text::Weight::Bold);
    EXPECT_DOUBLE_EQ(measured, FontService::shared().text_width(bold, 12, text));
    EXPECT_NE(measured, text::measure(mincho, 12, text::Direction::Across, text));
    const text::TextStyle style{.face = mincho, .size = 12, .weight = text::Weight::Bold};
    for (const text::Align align : {text::Align::End, text::Align::Centre, text::Align::Spread}) {
        const auto layout = text::lay_out(text, style, 10, 0, text::TextBox{100, align});
        EXPECT_FALSE(layout.synthetic_bold);
        EXPECT_EQ(layout.glyphs.front().face, bold);
        EXPECT_NEAR(layout.advance, align == text::Align::Centre ? 50 + measured / 2 : 100, 1e-9);
    }
    // The bold text shares the regular text's baseline.
    EXPECT_DOUBLE_EQ(text::lay_out(text, style, 0, 0).baseline,
                     text::lay_out(text, {.face = mincho, .size = 12}, 0, 0).baseline);
}

}  // namespace
}  // namespace kt482
