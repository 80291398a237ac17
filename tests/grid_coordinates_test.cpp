#include <gtest/gtest.h>

#include "render/grid_coordinates.h"

namespace kt482 {
namespace {

JobState default_grid()
{
    JobState s;
    set_fixed_defaults(s);
    s.FontScale = 1;
    s.FontSize = 10.5f;
    return s;
}

TEST(GridCoordinates, DefaultGrid)
{
    const JobState s = default_grid();
    EXPECT_EQ(ColToX(s, 1), 28);
    EXPECT_EQ(ColToX(s, 2), 34);
    EXPECT_EQ(ColToX(s, 0), 22);
    EXPECT_EQ(ColToX(s, 1.5f), 31);
    EXPECT_EQ(ColToX(s, 3), 40);
    EXPECT_EQ(RowToY(s, 1), 28);
    EXPECT_EQ(RowToY(s, 2), 43);
    EXPECT_EQ(RowToTextY(s, 2), 48);
}

TEST(GridCoordinates, MagnificationAndScrollRoundHalvesUp)
{
    JobState s = default_grid();
    s.FontScale = 1.25f;
    EXPECT_EQ(ColToX(s, 3), 43);
    EXPECT_EQ(ColToX(s, 4), 51);
    s.FontScale = 1;
    s.ScrollX = 100;
    EXPECT_EQ(ColToX(s, 1), -72);
    s.ScrollX = 28.5f;
    EXPECT_EQ(ColToX(s, 1), 0);
    s.ScrollX = 29.5f;  // -1.5 rounds up to -1
    EXPECT_EQ(ColToX(s, 1), -1);
}

TEST(GridCoordinates, TextSitsAboveTheRowMargin)
{
    JobState s = default_grid();
    s.RowMargin = 2;
    EXPECT_EQ(RowToTextY(s, 1), 31);
    s.RowMargin = 4.5f;  // no room for the margin: the text stands on the row's bottom
    EXPECT_EQ(RowToTextY(s, 1), 33);
    s.RowMargin = 0;
    for (float size : {15.0f, 20.0f}) {
        s.FontSize = size;
        EXPECT_EQ(RowToTextY(s, 3), RowToY(s, 3));
    }
}

TEST(GridCoordinates, UnmeasuredGridCollapsesOnTheMargin)
{
    JobState s = default_grid();
    s.FontScale = 0;
    EXPECT_EQ(ColToX(s, 50), 28);
    EXPECT_EQ(RowToY(s, 40), 28);
}

TEST(GridCoordinates, UnitConversions)
{
    EXPECT_EQ(MmToPoints(0), 0);
    EXPECT_EQ(MmToPoints(0.2f), 1);
    EXPECT_EQ(MmToPoints(0.1f), 0);
    EXPECT_EQ(MmToPoints(10), 28);
    EXPECT_FLOAT_EQ(InchToMm(8.5f), 215.9f);
    EXPECT_FLOAT_EQ(InchToMm(11), 279.4f);
}

}  // namespace
}  // namespace kt482
