// Vertical text ("@" faces): the font service's vertical forms, the PDF's
// columns as readers find them, and the preview drawing them at the same
// places.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QImage>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "text/font_service.h"
#include "pdf/pdf_document.h"
#include "pdf/pdf_surface.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "support/fake_server.h"
#include "support/poppler.h"

namespace kt482 {
namespace {

TEST(VerticalText, UprightOrTurnedByCharacter)
{
    const struct {
        char32_t c;
        bool upright;
    } cases[] = {
        {U'A', false},  {U'7', false},  {U' ', false},  {U'ｱ', false}, {U'ｰ', false}, {U'é', false},
        {U'あ', true},  {U'ア', true},  {U'漢', true},  {U'ー', true}, {U'「', true}, {U'。', true},
        {U'Ａ', true},  {U'１', true},  {U'①', true},  {U'×', true}, {U'〒', true}, {U'￥', true},
        {U'\U00020B9F', true},  // 𠮟, beyond the basic plane
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::upright_in_vertical(c.c), c.upright) << static_cast<uint32_t>(c.c);
}

// "@" names the same face; a column's length adds the upright characters'
// vertical advances and the turned runs' widths.
TEST(VerticalText, SameFaceAndColumnLength)
{
    text::FontService& fonts = text::FontService::shared();
    for (const char* name : {"ＭＳ 明朝", "MS Gothic"}) {
        const text::FontFace* face = fonts.face(std::string("@") + name);
        EXPECT_EQ(face, fonts.face(name));
        EXPECT_DOUBLE_EQ(fonts.column_length(face, 10, "漢「ー」AB"), 40 + fonts.text_width(face, 10, "AB"));
    }
}

// A document of one page drawn by draw() on the PDF surface.
template <typename Draw>
std::string write_pdf(const test::TempFolder& out, const std::string& name, double width, double height,
                      Draw draw)
{
    const std::string path = out.path() + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0);
    {
        pdf::PdfDocument document(fd, {});
        pdf::PdfSurface surface;
        surface.set_document(&document);
        document.begin_page(width, height);
        draw(static_cast<DrawSurface&>(surface));
        EXPECT_TRUE(document.finish());
    }
    ::close(fd);
    return path;
}

std::string plain_text(const std::string& command)
{
    const auto text = test::command_output(command);
    std::string compact;
    for (char c : text.value_or(""))
        if (c != ' ' && c != '\n' && c != '\f')
            compact.push_back(c);
    return compact;
}

class VerticalPdf : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        if (!test::command_output("command -v mutool"))
            GTEST_SKIP() << "mutool is not installed (mupdf-tools)";
    }
    test::TempFolder out_;
};

// Each character of a column below the one before it, in one column, the
// vertical forms in the file, and the text extracted in reading order by both
// readers; a horizontal text beside it is unchanged.
TEST_F(VerticalPdf, ColumnsReadTopToBottom)
{
    const std::string column = "縦書き「テスト」ー。";
    const std::string mixed = "丸の内1丁目2-3 ABCビル";
    float length = 0;
    const std::string path = write_pdf(out_, "column.pdf", 340, 680, [&](DrawSurface& s) {
        ASSERT_TRUE(s.FontName("@ＭＳ 明朝").ok() && s.FontSize(20).ok());
        length = s.TextWidth(column);
        ASSERT_TRUE(s.CurrentX(300).ok() && s.CurrentY(40).ok());
        ASSERT_TRUE(s.Print(column, LineEnd::Without).ok());
        // A second column to the left, upright and turned runs mixed.
        ASSERT_TRUE(s.CurrentX(260).ok() && s.CurrentY(40).ok());
        ASSERT_TRUE(s.Print(mixed, LineEnd::Without).ok());
        ASSERT_TRUE(s.FontName("ＭＳ 明朝").ok() && s.FontSize(10).ok());
        ASSERT_TRUE(s.CurrentX(20).ok() && s.CurrentY(600).ok());
        ASSERT_TRUE(s.Print(column, LineEnd::Without).ok());
    });
    EXPECT_EQ(test::qpdf_problems(path), "");
    EXPECT_FLOAT_EQ(length, 200);

    // poppler boxes a vertical word from its glyphs' vertical origins (the
    // column's centre line) one em to the right and one em up; mutool boxes
    // each character in the column itself.
    const auto words = test::pdf_words(path);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, column);
    EXPECT_NEAR(words[0].x_min, 310, 0.01);
    EXPECT_NEAR(words[0].x_max - words[0].x_min, 20, 0.01);
    EXPECT_NEAR(words[0].y_min, 40 - 20, 0.01);
    EXPECT_NEAR(words[0].y_max - words[0].y_min, length, 0.01);
    EXPECT_EQ(words[1].text, mixed);
    EXPECT_NEAR(words[1].x_min, 270, 0.01);
    EXPECT_EQ(words[2].text, column);
    EXPECT_NEAR(words[2].x_min, 20, 0.01);
    EXPECT_NEAR(words[2].y_min, 600, 0.01);

    // Each glyph one em below the one before, on one line; the marks drawn
    // in their vertical forms. Both directions of a face embed one font
    // file, so the glyph numbers of the column and of the same text set
    // across (the last ten glyphs) compare.
    const auto glyphs = test::mupdf_glyphs(path);
    ASSERT_GE(glyphs.size(), 20u);
    const std::size_t across = glyphs.size() - 10;
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_NEAR(glyphs[i].x, 300, 0.01) << i;
        EXPECT_NEAR(glyphs[i].y, 680 - 40 - 17.6 - 20.0 * i, 0.01) << i;  // baselines an ascent below
        ASSERT_EQ(glyphs[i].text, glyphs[across + i].text);
        const bool mark = std::string("「」ー。").find(glyphs[i].text) != std::string::npos;
        EXPECT_EQ(glyphs[i].glyph != glyphs[across + i].glyph, mark) << glyphs[i].text;
    }
    // Read top to bottom, right to left, the mixed column's runs in order.
    const std::string read = column + "丸の内1丁目2-3ABCビル" + column;
    EXPECT_EQ(plain_text("pdftotext -enc UTF-8 '" + path + "' -"), read);
    EXPECT_EQ(plain_text("mutool draw -q -F txt -o - '" + path + "' 2>/dev/null"), read);
}

// The darkness-weighted centre of the ink in a box of pixels.
QPointF ink_centre(const QImage& image, QRect box)
{
    double weight = 0, sx = 0, sy = 0;
    box = box.intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const double dark = 255 - qGray(image.pixel(x, y));
            weight += dark;
            sx += dark * (x + 0.5);
            sy += dark * (y + 0.5);
        }
    return weight > 0 ? QPointF(sx / weight, sy / weight) : QPointF(-1, -1);
}

// Columns upright, turned and mixed stand at the same places on the
// preview's image and on the PDF page as a reader renders it. mutool renders
// here: pdftoppm puts each glyph's origin on a whole pixel, rounding down, so
// a column's glyphs stand up to a pixel higher there.
TEST_F(VerticalPdf, ThePreviewDrawsWhereThePdfDoes)
{
    struct Column {
        const char* face;
        float size;
        const char* text;
        float x;
        bool bold = false;  // the bold weight where installed, else stroked
    };
    const Column columns[] = {
        {"@ＭＳ 明朝", 10.5f, "東京都千代田区", 20},      {"@ＭＳ ゴシック", 12, "「ヤッホー」、。", 60},
        {"@ＭＳ Ｐ明朝", 10.5f, "Tokyo 100-0001", 100}, {"@ＭＳ 明朝", 14, "丸の内1丁目ABC", 140},
        {"@MS Gothic", 9, "ｶﾀｶﾅ半角", 180},
        // A character no face has: the missing glyph's box on paper too.
        {"@ＭＳ 明朝", 14, "\xF4\x8F\xBF\xBD", 220},
        {"@ＭＳ 明朝", 12, "御請求書「第1版」", 260, true}, {"@ＭＳ ゴシック", 10.5f, "合計金額ABC", 300, true},
    };
    constexpr int kDpi = 96;
    constexpr int kWidth = 336, kHeight = 210;
    ensure_qt_application();
    QImage image(kWidth * kDpi / 72, kHeight * kDpi / 72, QImage::Format_ARGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(kDpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(kDpi / 0.0254)));
    image.fill(Qt::white);
    auto draw = [&](DrawSurface& target) {
        for (const Column& column : columns) {
            ASSERT_TRUE(target.FontName(column.face).ok() && target.FontSize(column.size).ok());
            ASSERT_TRUE(target.FontBold(column.bold).ok());
            ASSERT_TRUE(target.CurrentX(column.x).ok() && target.CurrentY(12.5f).ok());
            ASSERT_TRUE(target.Print(column.text, LineEnd::Without).ok());
        }
    };
    {
        QtDrawSurface surface(&image);
        draw(surface);
    }
    const std::string path = write_pdf(out_, "preview.pdf", kWidth, kHeight, draw);
    if (const char* keep = std::getenv("KT482_TEST_IMAGES"))  // to look at the two side by side
        image.save(QString::fromUtf8(keep) + "/vertical-preview.png");
    ASSERT_TRUE(test::command_output("mutool draw -q -r 96 -c gray -o '" + out_.path() + "/agree.pgm' '" + path
                                     + "' 2>/dev/null"));
    QImage paper(QString::fromStdString(out_.path() + "/agree.pgm"));
    ASSERT_EQ(paper.size(), image.size());
    for (const Column& column : columns) {
        const QRect box(static_cast<int>((column.x - 8) * kDpi / 72), 0, 36 * kDpi / 72, image.height());
        const QPointF screen = ink_centre(image, box);
        const QPointF onPaper = ink_centre(paper, box);
        ASSERT_GT(screen.x(), 0) << column.text;
        // The bold weights' CFF outlines are rasterised differently by Qt
        // and by the readers: within one device pixel.
        const double tolerance = column.bold ? 1.0 : 0.5;
        EXPECT_NEAR(screen.x(), onPaper.x(), tolerance) << column.text;
        EXPECT_NEAR(screen.y(), onPaper.y(), tolerance) << column.text;
    }
    // ... and it reads as itself.
    EXPECT_NE(plain_text("pdftotext -enc UTF-8 '" + path + "' -").find("\xF4\x8F\xBF\xBD"), std::string::npos);
    EXPECT_NE(plain_text("mutool draw -q -F txt -o - '" + path + "' 2>/dev/null").find("\xF4\x8F\xBF\xBD"),
              std::string::npos);
}

}  // namespace
}  // namespace kt482
