// Amounts that end at a column and texts fitted to their boxes, measured in
// the PDF as poppler reads it (pdftotext -bbox), and the refusals of their
// members.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <optional>
#include <limits>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "job/object_fields.h"
#include "kt482/kt482.h"
#include "print/pdf_printer.h"
#include "render/page_out.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/spool_fixture.h"

namespace kt482 {
namespace {

class FittedTextPdf : public test::SpoolTest {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        job_.P_Temp_Dir(dir);
        kt482::job().FontScale = 0;
        kt482::job().MeasuredFontSize = 0;
        job_.E_StartEdit();
        job_.E_Pitch(15, 6);
    }

    // The recorded page as poppler finds its words.
    std::vector<test::PdfWord> words()
    {
        job_.E_EndEdit();
        const std::string path = out_.path() + "/fitted.pdf";
        auto printer = PdfPrinter::for_file(path);
        JobState& s = kt482::job();
        s.OutputTarget = OutputTarget::Printer;
        s.PrinterObject = printer;
        ZZ100_Page_Out(fields_, 1);
        EXPECT_TRUE(printer->EndDoc().ok());
        s.PrinterObject = nullptr;
        EXPECT_EQ(test::qpdf_problems(path), "");
        return test::pdf_words(path);
    }

    static const test::PdfWord* find(const std::vector<test::PdfWord>& words, const std::string& text)
    {
        for (const auto& w : words)
            if (w.text == text)
                return &w;
        return nullptr;
    }

    test::TempFolder out_;
    KT482_Print job_;
    ObjectFields fields_;
};

struct AmountCase {
    double value;
    const char* picture;
    const char* shown;
};

// Every amount ends at the left edge of column 60, where a text written
// from that column (on a row further down) starts, whatever its picture's length or characters.
TEST_F(FittedTextPdf, AmountsEndAtTheirColumnWhateverThePicture)
{
    const AmountCase cases[] = {
        {1234, "#,##0", "1,234"},
        {1234, "###,###,##0", "1,234"},
        {1234, "¥#,##0", "¥1,234"},
        {1234, "￥#,##0", "￥1,234"},
        {-1200, "△#,##0", "△1,200"},
        {-1200, "#,##0;▲#,##0", "▲1,200"},
        {1234, "#,##0\"円\"", "1,234円"},
        {5, "０#", "０5"},
        {-1234, "#,##0;(#,##0)", "(1,234)"},
    };
    job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    float row = 2;
    for (const AmountCase& c : cases) {
        job_.E_Numeric_Right(row, 60, c.value, c.picture);
        job_.E_String(row + 20, 60, "|");  // on a line of its own, a word of its own
        ++row;
    }
    job_.E_Font("ＭＳ Ｐゴシック", 9, true, 0);
    job_.E_Numeric_Right(row, 60, 98765, "¥#,##0");
    job_.E_String(row + 20, 60, "|");
    job_.E_Numeric_Right(row + 1, 60, 0, "#,##0;△#,##0;\"\"");  // a blank zero draws nothing
    const auto found = words();
    std::vector<const test::PdfWord*> rules;
    for (const auto& w : found)
        if (w.text == "|")
            rules.push_back(&w);
    ASSERT_EQ(rules.size(), std::size(cases) + 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const test::PdfWord* amount = find(found, cases[i].shown);
        ASSERT_NE(amount, nullptr) << cases[i].shown;
        EXPECT_NEAR(amount->x_max, rules[i]->x_min, 0.05) << cases[i].picture;
    }
    const test::PdfWord* bold = find(found, "¥98,765");
    ASSERT_NE(bold, nullptr);
    EXPECT_NEAR(bold->x_max, rules.back()->x_min, 0.05);
    EXPECT_EQ(find(found, "0"), nullptr);
}

// A name far longer than its 20 columns (120 points) is shrunk, condensed or
// clipped with an ellipsis into them; each reads back whole.
TEST_F(FittedTextPdf, FitModesEndWithinTheirLengthAndReadAsTheWholeText)
{
    const std::string name = "東京都千代田区丸の内一丁目九番二号南塔";  // 19 full-width: 199.5 points
    const std::string too_long = name + name;                                // beyond half size
    job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job_.E_String_Fit(2, 10, name, 20, 0);
    job_.E_String_Fit(4, 10, name + "様", 20, 1);
    job_.E_String_Fit(6, 10, "御中" + name, 20, 2);
    job_.E_String_Fit(8, 10, "短い名前", 20, 0);  // fits: as E_String
    job_.E_String_Fit(10, 10, too_long, 20, 0);
    job_.E_String(12, 10, "|");
    job_.E_String(12, 30, "|");
    const auto found = words();
    std::vector<const test::PdfWord*> rules;
    for (const auto& w : found)
        if (w.text == "|")
            rules.push_back(&w);
    ASSERT_EQ(rules.size(), 2u);
    const double left = rules[0]->x_min;
    const double right = rules[1]->x_min;
    ASSERT_NEAR(right - left, 120, 0.01);
    for (const std::string& text : {name, name + "様", "御中" + name, std::string("短い名前"), too_long}) {
        const test::PdfWord* word = find(found, text);
        ASSERT_NE(word, nullptr) << text;
        EXPECT_NEAR(word->x_min, left, 0.05) << text;
        EXPECT_LE(word->x_max, right + 0.05) << text;
    }
    // Shrunk and condensed to the length exactly; the ellipsis is drawn at the end.
    EXPECT_NEAR(find(found, name)->x_max, right, 1.0);
    EXPECT_NEAR(find(found, name + "様")->x_max, right, 0.05);
    EXPECT_GT(find(found, "御中" + name)->x_max, right - 10.5);
    EXPECT_LT(find(found, "短い名前")->x_max, left + 4 * 10.5 + 0.05);
}

// A wrapped text reads back in order, each line within the box, and what
// does not fit is a warning, not a message.
TEST_F(FittedTextPdf, WrappedTextsReadInOrderWithinTheBox)
{
    const std::string address = "東京都千代田区丸の内一丁目九番二号「グラントウキョウ」サウスタワー、受付まで。";
    job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job_.E_String_Box(2, 10, 7, 30, address, 0);   // five lines of 120 points
    job_.E_String_Box(9, 10, 10, 30, address, 2);  // one line: the rest is clipped
    job_.E_String(12, 10, "|");
    job_.E_String(12, 30, "|");
    const auto found = words();
    // In reading order: the first box's lines, the second box's one line.
    std::vector<std::string> lines;
    double right = 0;
    int boxes = 0;
    for (const auto& w : found) {
        if (w.text == "|")
            right = std::max(right, w.x_min);
        else if ((boxes += w.text.starts_with("東京都")) == 1)
            lines.push_back(w.text);
    }
    EXPECT_EQ(boxes, 2);
    std::string joined;
    for (const auto& line : lines)
        joined += line;
    EXPECT_EQ(joined, address);
    ASSERT_GE(lines.size(), 2u);
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_NE(lines[i].substr(0, 3), "、") << lines[i];
    for (const auto& w : found) {
        if (w.text != "|") {
            EXPECT_LE(w.x_max, right + 0.05) << w.text;
        }
    }
    EXPECT_EQ(fields_.LastFailure.number, 6);
    EXPECT_TRUE(message_titles().empty());
}

struct VerticalFit {
    const char* name;
    const char* face;
    bool bold;
    int mode;  // -1: wrapped by E_String_Box
};

// The rows of a page rendered in grey (pdftoppm at 144 dpi) that have ink
// between two x positions, in points from the page's top: the first and the
// end of the last; nothing when there is none.
std::optional<std::pair<double, double>> inked_rows(const std::string& pdf, double x0, double x1)
{
    constexpr double kScale = 2;  // pixels per point
    const std::string image = pdf + ".pgm";
    if (!test::command_output("pdftoppm -r 144 -gray -singlefile '" + pdf + "' '" + pdf + "'"))
        return std::nullopt;
    std::ifstream in(image, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, depth = 0;
    in >> magic >> width >> height >> depth;
    in.get();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height);
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    if (magic != "P5" || !in)
        return std::nullopt;
    std::optional<std::pair<double, double>> rows;
    for (int y = 0; y < height; ++y)
        for (int x = static_cast<int>(x0 * kScale); x < std::min(width, static_cast<int>(x1 * kScale)); ++x)
            if (pixels[static_cast<std::size_t>(y) * width + x] < 128) {
                if (!rows)
                    rows = std::pair<double, double>(y / kScale, 0);
                rows->second = (y + 1) / kScale;
                break;
            }
    return rows;
}

// Down a column the length runs down its rows: a text fitted to 10 rows
// keeps its ink within them in every mode, plain or bold, and reads whole; a
// wrapped text fills columns from the box's right edge leftwards, each
// within the rows, and reads in order.
class VerticalFitPdf : public FittedTextPdf, public testing::WithParamInterface<VerticalFit> {};

TEST_P(VerticalFitPdf, StaysWithinItsRowsAndReadsInOrder)
{
    const VerticalFit& fit = GetParam();
    const std::string name = "東京都千代田区丸の内一丁目九番二号";  // 17 full-width: 178.5 points
    const std::string address = name + "「グラントウキョウ」サウスタワー、受付まで。";
    job_.E_Font(fit.face, 10.5f, fit.bold, 0);
    // Rules across the first row's top and the tenth row's bottom, beside the text.
    job_.E_Line(2, 60, 2, 70);
    job_.E_Line(12, 60, 12, 70);
    if (fit.mode >= 0)
        job_.E_String_Fit(2, 40, name, 10, static_cast<int16_t>(fit.mode));
    else
        job_.E_String_Box(2, 10, 12, 40, address, 0);
    // The columns' words give where they stand across (poppler boxes
    // vertical glyphs by their ems, not where their ink is along the column).
    std::vector<std::string> texts;
    double left = 1e9, right = 0;
    for (const auto& w : words()) {
        texts.push_back(w.text);
        left = std::min(left, w.x_min);
        right = std::max(right, w.x_max);
    }
    const std::string path = out_.path() + "/fitted.pdf";
    const auto text = inked_rows(path, left - 2, right + 2);
    const auto rules = inked_rows(path, right + 20, 1e9);
    ASSERT_TRUE(rules && text);
    constexpr double kPixel = 0.5;
    EXPECT_GE(text->first, rules->first - kPixel);
    EXPECT_LE(text->second, rules->second + kPixel);
    // ... and fills them: shrunk to their length, or clipped (wrapped) at
    // most a character short of it, with the side bearings of the glyphs.
    EXPECT_GE(text->second, rules->second - (fit.mode == 0 || fit.mode == 1 ? 3 : 10.5 + 3));
    if (fit.mode >= 0) {
        EXPECT_EQ(texts, std::vector<std::string>{name});
        return;
    }
    // Columns from the right, in reading order, none starting with 、 or 。.
    std::string joined;
    for (const std::string& column : texts) {
        EXPECT_FALSE(column.starts_with("、") || column.starts_with("。")) << column;
        joined += column;
    }
    EXPECT_EQ(joined, address);
    EXPECT_GE(texts.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Modes, VerticalFitPdf,
                         testing::Values(VerticalFit{"Shrunk", "@ＭＳ 明朝", false, 0},
                                         VerticalFit{"Condensed", "@ＭＳ 明朝", false, 1},
                                         VerticalFit{"Ellipsis", "@ＭＳ 明朝", false, 2},
                                         VerticalFit{"BoldShrunk", "@ＭＳ ゴシック", true, 0},
                                         VerticalFit{"BoldEllipsis", "@ＭＳ ゴシック", true, 2},
                                         VerticalFit{"Wrapped", "@ＭＳ 明朝", false, -1},
                                         VerticalFit{"BoldWrapped", "@ＭＳ ゴシック", true, -1}),
                         [](const testing::TestParamInfo<VerticalFit>& info) { return std::string(info.param.name); });

struct RefusedCall {
    const char* what;
    std::function<void(KT482_Print&)> call;
};

class FittedTextRefusals : public test::SpoolTest, public testing::WithParamInterface<RefusedCall> {};

TEST_P(FittedTextRefusals, FailWithInvalidCallAndRecordNothing)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    job.E_String(1, 1, "kept");
    GetParam().call(job);
    EXPECT_EQ(job.LastFailure().number, 5) << job.LastFailure().description;
    EXPECT_NE(job.LastFailure().description, "") << GetParam().what;
    job.E_EndEdit();
    EXPECT_EQ(read_page(1).size(), 1u) << GetParam().what;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Members, FittedTextRefusals,
    testing::Values(
        RefusedCall{"four sections", [](KT482_Print& j) { j.E_Numeric_Right(1, 20, 5, "0;0;0;0"); }},
        RefusedCall{"an open quote", [](KT482_Print& j) { j.E_Numeric_Right(1, 20, 5, "0\"円"); }},
        RefusedCall{"a column that is not finite", [](KT482_Print& j) { j.E_Numeric_Right(1, kNaN, 5, "0"); }},
        RefusedCall{"a length of 0", [](KT482_Print& j) { j.E_String_Fit(1, 1, "text", 0, 0); }},
        RefusedCall{"a length below 0", [](KT482_Print& j) { j.E_String_Fit(1, 1, "text", -4, 1); }},
        RefusedCall{"a length not finite", [](KT482_Print& j) { j.E_String_Fit(1, 1, "text", kNaN, 2); }},
        RefusedCall{"an unknown mode", [](KT482_Print& j) { j.E_String_Fit(1, 1, "text", 10, 3); }},
        RefusedCall{"a box without height", [](KT482_Print& j) { j.E_String_Box(2, 1, 2, 20, "text", 0); }},
        RefusedCall{"a box without width", [](KT482_Print& j) { j.E_String_Box(2, 5, 4, 5, "text", 0); }},
        RefusedCall{"an unknown alignment", [](KT482_Print& j) { j.E_String_Box(2, 1, 4, 20, "text", -1); }},
        RefusedCall{"a corner not finite", [](KT482_Print& j) { j.E_String_Box(kNaN, 1, 4, 20, "text", 0); }}),
    [](const testing::TestParamInfo<RefusedCall>& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace kt482
