// A recorded page replayed by the renderer on the Qt surface: the grid
// position of a text and of a rule become the pixels they name.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <filesystem>
#include <memory>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "render/page_out.h"
#include "support/fake_server.h"

namespace kt482 {
namespace {

// The bounding box of the pixels darker than mid grey inside area.
QRect dark_pixels(const QImage& image, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

TEST(RenderOnQt, TextAndRulesLandWhereTheGridPutsThem)
{
    ensure_qt_application();
    test::TempFolder folder;
    KT482_Print job;
    job.P_Temp_Dir(folder.path());
    job.E_StartEdit();
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_String(2, 3, "ABC");
    job.E_DrawStyle(0, 1);
    job.E_Line_Hor(4, 1, "0", "0-10");  // row 4 from column 1 to 11: y 73, x 28 to 88
    job.E_EndEdit();

    // 72 dpi: one pixel is one point.
    QImage image(595, 842, QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(72 / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(72 / 0.0254)));
    image.fill(Qt::white);
    auto surface = std::make_shared<QtDrawSurface>(&image);
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Preview;
    s.PreviewCanvas = surface;
    s.OutStartP = 0;
    s.OutEndP = 9999;
    ObjectFields fields;
    ZZ100_Page_Out(fields, 1);
    surface->end();
    s.PreviewCanvas = nullptr;

    // The text's box starts at (40, 48); its glyphs sit a little inside it.
    const QRect text = dark_pixels(image, QRect(30, 40, 60, 25));
    ASSERT_FALSE(text.isNull());
    EXPECT_GE(text.left(), 40);
    EXPECT_LE(text.left(), 43);  // the side bearing of "A"
    EXPECT_GE(text.top(), 48);
    EXPECT_LE(text.top(), 48 + 4);
    EXPECT_LE(text.bottom(), 48 + 11);
    // Half-width "ABC" at 10.5 points advances 15.75 points; its ink is a
    // little narrower.
    EXPECT_FLOAT_EQ(surface->TextWidth("ABC"), 15.75f);
    EXPECT_GE(text.right() - text.left(), 10);
    EXPECT_LE(text.right(), 40 + 16);

    const QRect rule = dark_pixels(image, QRect(0, 66, 200, 14));
    EXPECT_EQ(rule.top(), 73);
    EXPECT_EQ(rule.bottom(), 73);
    EXPECT_EQ(rule.left(), 28);
    EXPECT_NEAR(rule.right(), 88, 1);
    EXPECT_EQ(fields.Answer, Variant());
}

}  // namespace
}  // namespace kt482
