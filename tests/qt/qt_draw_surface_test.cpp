#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"

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
    EXPECT_GT(surface.currentY(), 30 + 20.0f);
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

// The form fonts have no bold face of their own.
TEST(QtDrawSurfaceText, BoldIsDrawnBoldWithTheSameAdvance)
{
    QImage plain = page(72), bold = page(72);
    float widths[2] = {};
    for (QImage* image : {&plain, &bold}) {
        QtDrawSurface surface(image);
        ASSERT_TRUE(surface.FontSize(20));
        ASSERT_TRUE(surface.FontBold(image == &bold));
        ASSERT_TRUE(surface.Print("山田 ABC", LineEnd::Without));
        widths[image == &bold] = surface.CurrentX();
    }
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
