#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "text/font_service.h"

namespace kt482 {
namespace {

QImage page(int dpi, QColor fill = Qt::white)
{
    ensure_qt_application();
    QImage image(240 * dpi / 72, 160 * dpi / 72, QImage::Format_ARGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    image.fill(fill);
    return image;
}

// The bounding box of the pixels darker than mid grey (or, with anyInk, of
// all that are not white), and how many there are.
struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
    int height() const { return bottom - top + 1; }
};

Ink ink(const QImage& image, bool anyInk = false, QRect area = {})
{
    Ink box;
    if (area.isNull())
        area = image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (anyInk ? (p & 0xffffff) == 0xffffff : qGray(p) >= 128)
                continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y),
                   box.count + 1};
        }
    return box;
}

class QtDrawSurfaceLines : public testing::TestWithParam<int> {};

TEST_P(QtDrawSurfaceLines, LandOnTheDevicePixelsTheirPointsName)
{
    const int k = GetParam() / 72;
    QImage image = page(GetParam());
    QtDrawSurface surface(&image);
    ASSERT_TRUE(surface.Line(10, 20, 60, 20));
    ASSERT_TRUE(surface.Line(100, 30, 100, 90));
    ASSERT_TRUE(surface.DrawWidth(3));
    ASSERT_TRUE(surface.Line(10, 120, 200, 120));
    surface.end();

    const Ink horizontal = ink(image, true, QRect(0, 0, 90 * k, 100 * k));
    EXPECT_EQ(horizontal.top, 20 * k);
    EXPECT_EQ(horizontal.bottom, 20 * k);
    EXPECT_EQ(horizontal.left, 10 * k);
    EXPECT_NEAR(horizontal.right, 60 * k, 1);
    const Ink vertical = ink(image, true, QRect(90 * k, 0, 20 * k, 100 * k));
    EXPECT_EQ(vertical.left, 100 * k);
    EXPECT_EQ(vertical.right, 100 * k);
    EXPECT_EQ(vertical.top, 30 * k);
    EXPECT_NEAR(vertical.bottom, 90 * k, 1);
    EXPECT_EQ(ink(image, true, QRect(0, 100 * k, image.width(), 60 * k)).height(), 3);
}

INSTANTIATE_TEST_SUITE_P(QtDrawSurface, QtDrawSurfaceLines, testing::Values(72, 144));

TEST(QtDrawSurfacePen, ModesStylesAndTheOneDevicePixelMinimum)
{
    QImage image = page(72);
    // A resolution finer than the image's would make a pixel thinner than
    // one of the image's; it still draws one.
    QtDrawSurface surface(&image, 2400);
    surface.setPenColor(Qt::red);
    ASSERT_TRUE(surface.Line(10, 10, 210, 10));
    ASSERT_TRUE(surface.DrawMode(7));  // drawn like the pen's mode
    ASSERT_TRUE(surface.Line(10, 20, 210, 20));
    ASSERT_TRUE(surface.DrawMode(kDrawModeBlack));
    ASSERT_TRUE(surface.DrawStyle(static_cast<int16_t>(LineStyle::Dot)));
    ASSERT_TRUE(surface.Line(10, 30, 210, 30));
    ASSERT_TRUE(surface.DrawWidth(2));  // wider than one pixel: solid
    ASSERT_TRUE(surface.Line(10, 40, 210, 40));
    ASSERT_TRUE(surface.DrawMode(kDrawModeWhite));
    ASSERT_TRUE(surface.Line(100, 40, 150, 40));
    ASSERT_TRUE(surface.DrawStyle(static_cast<int16_t>(LineStyle::Invisible)));
    ASSERT_TRUE(surface.Line(10, 50, 210, 150));
    surface.end();

    EXPECT_EQ(image.pixel(30, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(30, 20), qRgb(255, 0, 0));
    EXPECT_EQ(ink(image, true, QRect(0, 5, 240, 10)).height(), 1);
    const int dotted = ink(image, true, QRect(0, 30, 240, 1)).count;
    EXPECT_GT(dotted, 40);
    EXPECT_LT(dotted, 160);
    EXPECT_EQ(ink(image, true, QRect(10, 35, 90, 10)).count, 90);
    EXPECT_EQ(image.pixel(125, 40), qRgb(255, 255, 255));
    EXPECT_EQ(ink(image, true, QRect(0, 45, 240, 115)).count, 0);
}

TEST(QtDrawSurfacePen, PdfPixelsAreNominal600DpiDots)
{
    ensure_qt_application();
    QTemporaryDir dir;
    const QString path = dir.filePath("page.pdf");
    {
        QPdfWriter writer(path);
        QtDrawSurface surface(&writer);
        ASSERT_TRUE(surface.Line(10, 20, 60, 20));
        EXPECT_DOUBLE_EQ(surface.painter()->pen().widthF(), 2.4);
        ASSERT_TRUE(surface.Print("請求書", LineEnd::Without));
        ASSERT_TRUE(surface.newPage());
        surface.setNominalDpi(300);
        ASSERT_TRUE(surface.DrawWidth(5));
        ASSERT_TRUE(surface.Line(10, 20, 60, 20));
        EXPECT_DOUBLE_EQ(surface.painter()->pen().widthF(), 24.0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5).startsWith("%PDF-"));
}

TEST(QtDrawSurfaceText, TopLeftAtTheCurrentPositionThenAdvances)
{
    QImage image = page(72);
    QtDrawSurface surface(&image);
    ASSERT_TRUE(surface.FontSize(20));
    ASSERT_TRUE(surface.CurrentX(20));
    ASSERT_TRUE(surface.CurrentY(30));
    const float width = surface.TextWidth("ABC");
    ASSERT_TRUE(surface.Print("ABC", LineEnd::Without));
    EXPECT_FLOAT_EQ(surface.CurrentX(), 20 + width);
    ASSERT_TRUE(surface.Print("", LineEnd::With));
    EXPECT_EQ(surface.CurrentX(), 0.0f);
    // The IPA faces' ascent, descent and line gap add up to one em.
    EXPECT_GE(surface.currentY(), 30 + 20.0f);
    EXPECT_LT(surface.currentY(), 30 + 26.0f);
    surface.end();

    const Ink text = ink(image);
    EXPECT_GE(text.top, 30);
    EXPECT_LE(text.top, 30 + 0.3 * 20);
    EXPECT_GE(text.left, 20);
    EXPECT_LE(text.left, 22);
    EXPECT_LE(text.right, 20 + width);
}

// Qt alone rounds 10.5 pt to 11 whole pixels at 72 dpi.
TEST(QtDrawSurfaceText, SizesAreExactOnACoarseDevice)
{
    QImage image = page(72);
    QtDrawSurface surface(&image);
    ASSERT_TRUE(surface.FontName("ＭＳ 明朝"));
    ASSERT_TRUE(surface.FontSize(10));
    EXPECT_NEAR(surface.TextWidth("請求書"), 30.0f, 0.05f);
    ASSERT_TRUE(surface.FontName(""));
    ASSERT_TRUE(surface.FontSize(10.5f));
    EXPECT_EQ(surface.FontSize(), 10.5f);
    EXPECT_NEAR(surface.TextWidth("口口口口口口口口口口"), 105.0f, 0.05f);

    ASSERT_TRUE(surface.CurrentY(10));
    ASSERT_TRUE(surface.Print("口", LineEnd::Without));
    ASSERT_TRUE(surface.CurrentX(0));
    ASSERT_TRUE(surface.CurrentY(40));
    ASSERT_TRUE(surface.Print("口口口口口口口口口口", LineEnd::Without));
    surface.end();
    // Nine advances from the first glyph to the last: 94.5 pixels, not 99.
    const Ink one = ink(image, false, QRect(0, 0, 240, 30));
    const Ink ten = ink(image, false, QRect(0, 30, 240, 40));
    EXPECT_NEAR(ten.right - one.right, 94.5, 1.0);
}

// Without a bold weight installed, bold strokes the regular outlines.
TEST(QtDrawSurfaceText, BoldIsDrawnBoldWithTheSameAdvance)
{
    text::FontService::shared().set_bold_faces(text::BoldFaces::Stroked);
    QImage plain = page(72), bold = page(72);
    float widths[2] = {};
    for (QImage* image : {&plain, &bold}) {
        QtDrawSurface surface(image);
        ASSERT_TRUE(surface.FontSize(20));
        ASSERT_TRUE(surface.FontBold(image == &bold));
        ASSERT_TRUE(surface.Print("山田 ABC", LineEnd::Without));
        widths[image == &bold] = surface.CurrentX();
    }
    text::FontService::shared().set_bold_faces(text::BoldFaces::Installed);
    EXPECT_GT(ink(bold).count, ink(plain).count * 5 / 4);
    EXPECT_EQ(widths[0], widths[1]);
}

TEST(QtDrawSurfaceState, InvalidValuesAreRejectedAndChangeNothing)
{
    QImage image = page(72);
    QtDrawSurface surface(&image);
    ASSERT_TRUE(surface.FontSize(12));
    for (float size : {0.0f, -1.0f, 2048.5f, NAN})
        EXPECT_TRUE(surface.FontSize(size).failure().is(ErrorNumber::InvalidPropertyValue)) << size;
    EXPECT_EQ(surface.FontSize(), 12.0f);
    EXPECT_TRUE(surface.DrawWidth(0).failure().is(ErrorNumber::InvalidPropertyValue));
    for (int16_t style : {-1, 7})
        EXPECT_TRUE(surface.DrawStyle(style).failure().is(ErrorNumber::InvalidPropertyValue)) << style;
    for (int16_t mode : {0, 17})
        EXPECT_TRUE(surface.DrawMode(mode).failure().is(ErrorNumber::InvalidPropertyValue)) << mode;
    ASSERT_TRUE(surface.Line(10, 20, 60, 20));
    surface.end();
    const Ink line = ink(image, true);
    EXPECT_EQ(line.height(), 1);
    EXPECT_EQ(line.count, 51);
}

// The renderer sets font, pen and position once and draws page after page.
TEST(QtDrawSurfaceState, SurvivesEndAndBeginOnAnotherDevice)
{
    QImage first = page(72), second = page(144);
    QtDrawSurface surface(&first);
    ASSERT_TRUE(surface.FontSize(20));
    ASSERT_TRUE(surface.DrawWidth(2));
    ASSERT_TRUE(surface.CurrentX(33));
    surface.end();
    EXPECT_TRUE(surface.Line(0, 0, 1, 1).failure().is(ErrorNumber::InvalidCall));
    ASSERT_TRUE(surface.begin(&second));
    EXPECT_EQ(surface.FontSize(), 20.0f);
    EXPECT_EQ(surface.CurrentX(), 33.0f);
    ASSERT_TRUE(surface.Line(10, 20, 60, 20));
    surface.end();
    EXPECT_EQ(ink(second, true).height(), 2);
}

}  // namespace
}  // namespace kt482

namespace kt482 {
namespace {

// The darkness-weighted centre of the ink in a band of rows, in pixels: where
// a text stands, to a fraction of a pixel, however its edges are smoothed.
double inkCentre(const QImage& image, int top, int bottom)
{
    double weight = 0, sum = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double dark = 255 - qGray(image.pixel(x, y));
            weight += dark;
            sum += dark * (x + 0.5);
        }
    return weight > 0 ? sum / weight : -1;
}

// Texts placed left, centred and right by their widths stand at the same
// point on the preview's image and on the PDF printer's page as a reader
// renders it.
TEST(QtDrawSurfaceText, StandsWhereThePdfPrinterPutsIt)
{
    if (!test::command_output("command -v pdftoppm"))
        GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
    struct Row {
        const char* face;
        float size;
        const char* text;
        float anchor;
        int align;  // 0 left, 1 centre, 2 right
        bool bold = false;
    };
    // Bold rows in the bold weights where they are installed, else stroked.
    const Row rows[] = {
        {"ＭＳ 明朝", 10.5f, "請求書 ABC", 13.3f, 0},     {"ＭＳ Ｐ明朝", 12, "Proportional 明朝", 120, 1},
        {"ＭＳ ゴシック", 9, "合計 1,234,567", 229.7f, 2}, {"MS PGothic", 10.5f, "iiiiWWWW 株式会社", 120.4f, 1},
        {"ＭＳ 明朝", 18, "右寄せ", 231, 2},               {"ＭＳ 明朝", 12, "御請求書 No.1", 20.2f, 0, true},
        {"ＭＳ ゴシック", 10.5f, "合計 ¥98,765", 230.3f, 2, true}, {"ＭＳ Ｐゴシック", 14, "株式会社 ABC", 120, 1, true},
    };
    constexpr int kDpi = 96;
    constexpr int kRowPitch = 19;  // points, as high as the largest size
    // The bold weights' heavy CFF outlines are rasterised differently by Qt
    // and by the readers (up to 0.75 pixel here), though their glyphs stand
    // at the same points: they agree within one device pixel.
    constexpr double kBoldTolerance = 1.0;
    QImage image = page(kDpi);
    test::TempFolder out;
    const std::string path = out.path() + "/agree.pdf";
    std::shared_ptr<PdfPrinter> printer = PdfPrinter::for_file(path);
    ASSERT_TRUE(printer->PaperSize(256).ok() && printer->PageWidth(240 * 20).ok() && printer->PageHeight(160 * 20).ok());
    {
        QtDrawSurface surface(&image);
        float y = 8;
        for (const Row& row : rows) {
            for (DrawSurface* target : {static_cast<DrawSurface*>(&surface), static_cast<DrawSurface*>(printer.get())}) {
                ASSERT_TRUE(target->FontName(row.face).ok() && target->FontSize(row.size).ok());
                ASSERT_TRUE(target->FontBold(row.bold).ok());
                const float width = target->TextWidth(row.text);
                ASSERT_TRUE(target->CurrentX(row.anchor - width * row.align / 2).ok() && target->CurrentY(y).ok());
                ASSERT_TRUE(target->Print(row.text, LineEnd::Without).ok());
            }
            y += kRowPitch;
        }
    }
    ASSERT_TRUE(printer->EndDoc().ok());
    ASSERT_TRUE(test::command_output("pdftoppm -r 96 -gray -singlefile '" + path + "' '" + out.path() + "/agree'"));
    QImage paper(QString::fromStdString(out.path() + "/agree.pgm"));
    ASSERT_FALSE(paper.isNull());
    ASSERT_EQ(paper.width(), image.width());
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
        const int top = (8 + kRowPitch * i) * kDpi / 72;
        const int bottom = (8 + kRowPitch * (i + 1)) * kDpi / 72;
        const double screen = inkCentre(image, top, bottom);
        const double onPaper = inkCentre(paper, top, bottom);
        ASSERT_GT(screen, 0) << rows[i].text;
        EXPECT_NEAR(screen, onPaper, rows[i].bold ? kBoldTolerance : 0.5) << rows[i].text;
    }
}

}  // namespace
}  // namespace kt482
