// The text layout, tested directly: where its glyphs stand, across and down,
// in a box, with a missing glyph, bold and underline.
#include <gtest/gtest.h>

#include <string>

#include "text/text_layout.h"

namespace kt482::text {
namespace {

constexpr double kSize = 10;

const FontFace* mincho()
{
    return FontService::shared().face("ＭＳ 明朝");
}

TextStyle style(Direction direction = Direction::Across)
{
    return {.face = mincho(), .size = kSize, .direction = direction};
}

double em_units(const PlacedGlyph& g)
{
    return static_cast<double>(g.advance) / g.face->units_per_em();
}

TEST(TextLayout, AcrossGlyphsFollowEachOtherOnTheBaseline)
{
    const TextLayout t = lay_out("Ab漢", style(), 5, 7);
    ASSERT_EQ(t.glyphs.size(), 3u);
    ASSERT_EQ(t.runs.size(), 1u);
    EXPECT_EQ(t.runs[0].orientation, Orientation::Across);
    EXPECT_DOUBLE_EQ(t.baseline, 7 + kSize * mincho()->ascender() / mincho()->units_per_em());
    double pen = 5;
    for (std::size_t i = 0; i < t.glyphs.size(); ++i) {
        EXPECT_EQ(t.glyphs[i].cluster, i);
        EXPECT_NE(t.glyphs[i].glyph, 0u);
        EXPECT_NEAR(t.glyphs[i].pen, pen, 1e-9);
        EXPECT_NEAR(t.glyphs[i].y, t.baseline, 1e-9);
        pen += em_units(t.glyphs[i]) * kSize;
    }
    EXPECT_NEAR(t.advance, pen - 5, 1e-9);
    EXPECT_DOUBLE_EQ(t.advance, measure(mincho(), kSize, Direction::Across, "Ab漢"));
}

// Ideographs stand upright on the centre line; a Latin run lies turned,
// its baseline left of the centre by half the em box, and the pen runs on
// down the column through it.
TEST(TextLayout, ColumnTurnsItsLatinRun)
{
    const TextLayout t = lay_out("縦AB書", style(Direction::Down), 20, 30);
    ASSERT_EQ(t.runs.size(), 3u);
    EXPECT_EQ(t.runs[0].orientation, Orientation::Upright);
    EXPECT_EQ(t.runs[1].orientation, Orientation::Turned);
    EXPECT_EQ(t.runs[2].orientation, Orientation::Upright);
    EXPECT_EQ(t.runs[1].count, 2u);
    const double centre = 20 + kSize / 2;
    EXPECT_DOUBLE_EQ(t.baseline, centre);
    EXPECT_DOUBLE_EQ(t.runs[0].x, centre);
    const FontFace& f = *t.runs[1].face;
    EXPECT_NEAR(t.runs[1].x, centre - (f.ascender() - f.descender()) * kSize / f.units_per_em() / 2, 1e-9);
    EXPECT_NEAR(t.glyphs[0].pen, 30, 1e-9);
    for (std::size_t i = 1; i < t.glyphs.size(); ++i)
        EXPECT_NEAR(t.glyphs[i].pen, t.glyphs[i - 1].pen + t.glyphs[i - 1].advance * kSize / t.glyphs[i - 1].face->units_per_em(), 1e-9);
    EXPECT_NEAR(t.runs[1].y, t.glyphs[1].pen, 1e-9);
    EXPECT_NEAR(t.glyphs[1].x, 0, 1e-9);  // at the turned run's start
    EXPECT_NEAR(t.glyphs[2].x, t.glyphs[2].pen - t.runs[1].y, 1e-9);
    EXPECT_DOUBLE_EQ(t.advance, measure(mincho(), kSize, Direction::Down, "縦AB書"));
}

struct BoxCase {
    const char* name;
    Direction direction;
    Align align;
    double first_pen;  // from the origin, in ems of kSize
    double advance;    // ems
};

class TextInABox : public testing::TestWithParam<BoxCase> {};

// "一二三" is three ems in either direction; the box is five.
TEST_P(TextInABox, PlacesTheTextAlongItsLine)
{
    const BoxCase& c = GetParam();
    const TextLayout t = lay_out("一二三", style(c.direction), 0, 0, TextBox{5 * kSize, c.align});
    ASSERT_EQ(t.glyphs.size(), 3u);
    EXPECT_NEAR(t.glyphs.front().pen, c.first_pen * kSize, 1e-9);
    EXPECT_NEAR(t.advance, c.advance * kSize, 1e-9);
    if (c.align == Align::Spread) {
        EXPECT_NEAR(t.glyphs[2].pen - t.glyphs[1].pen, 2 * kSize, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TextInABox,
    testing::Values(BoxCase{"StartAcross", Direction::Across, Align::Start, 0, 3},
                    BoxCase{"CentreAcross", Direction::Across, Align::Centre, 1, 4},
                    BoxCase{"EndAcross", Direction::Across, Align::End, 2, 5},
                    BoxCase{"SpreadAcross", Direction::Across, Align::Spread, 0, 5},
                    BoxCase{"CentreDown", Direction::Down, Align::Centre, 1, 4},
                    BoxCase{"SpreadDown", Direction::Down, Align::Spread, 0, 5}),
    [](const testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST(TextLayout, ClippingKeepsTheClustersThatEndInsideTheBox)
{
    const TextBox box{2.5 * kSize, Align::Start, Overflow::Clip};
    const TextLayout t = lay_out("一二三", style(), 0, 0, box);
    ASSERT_EQ(t.glyphs.size(), 2u);
    EXPECT_NEAR(t.advance, 2 * kSize, 1e-9);
    EXPECT_TRUE(lay_out("一二三", style(), 0, 0, TextBox{0.5 * kSize, Align::Start, Overflow::Clip}).glyphs.empty());
    EXPECT_EQ(lay_out("一二三", style(), 0, 0, TextBox{0.5 * kSize}).glyphs.size(), 3u);
}

// A character no face has keeps its place as glyph 0, one advance wide.
TEST(TextLayout, MissingGlyphKeepsItsPlace)
{
    const TextLayout t = lay_out("A\xF4\x8F\xBF\xBD" "B", style(), 0, 0);
    ASSERT_EQ(t.glyphs.size(), 3u);
    EXPECT_EQ(t.glyphs[1].glyph, 0u);
    EXPECT_GT(t.glyphs[2].pen, t.glyphs[1].pen);
    EXPECT_NEAR(t.glyphs[1].x, t.glyphs[1].pen, 1e-9);
}

TEST(TextLayout, BoldWithoutABoldFaceIsSynthetic)
{
    TextStyle bold = style();
    bold.weight = Weight::Bold;
    // As on a machine without the bold weights installed.
    FontService::shared().set_bold_faces(text::BoldFaces::Stroked);
    const TextLayout t = lay_out("漢", bold, 0, 0);
    FontService::shared().set_bold_faces(text::BoldFaces::Installed);
    EXPECT_EQ(t.synthetic_bold, !mincho()->is_bold());
    EXPECT_DOUBLE_EQ(t.bold_offset, kSize / 40);
    EXPECT_FALSE(lay_out("漢", style(), 0, 0).synthetic_bold);
}

TEST(TextLayout, UnderlineSpansTheTextBelowItOrBesideTheColumn)
{
    TextStyle across = style();
    across.underline = Underline::With;
    const TextLayout a = lay_out("一二", across, 3, 4);
    ASSERT_TRUE(a.underline);
    EXPECT_DOUBLE_EQ(a.underline->x, 3);
    EXPECT_NEAR(a.underline->width, 2 * kSize, 1e-9);
    EXPECT_GT(a.underline->y, a.baseline);

    TextStyle down = style(Direction::Down);
    down.underline = Underline::With;
    const TextLayout d = lay_out("一二", down, 3, 4);
    ASSERT_TRUE(d.underline);
    EXPECT_DOUBLE_EQ(d.underline->y, 4);
    EXPECT_NEAR(d.underline->height, 2 * kSize, 1e-9);
    EXPECT_GT(d.underline->x, 3 + kSize / 2);
    EXPECT_FALSE(lay_out("", across, 0, 0).underline);
}

TEST(TextLayout, HorizontalScaleCondensesAlongTheLine)
{
    TextStyle narrow = style();
    narrow.horizontal_scale = 0.5;
    EXPECT_NEAR(lay_out("一二", narrow, 0, 0).advance, kSize, 1e-9);
    EXPECT_NEAR(lay_out("一二", narrow, 0, 0).glyphs[1].pen, kSize / 2, 1e-9);
}

}  // namespace
}  // namespace kt482::text
