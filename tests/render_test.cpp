#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <random>

#include "job/page_record.h"
#include "job/page_writer.h"
#include "kt482/kt482.h"
#include "render/page_out.h"
#include "support/recording_surface.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using Lines = std::vector<std::string>;

class RenderTest : public SpoolTest {
protected:
    RenderTest()
    {
        job.P_Temp_Dir(dir);
        // The measured magnification outlives objects on a thread; each test
        // starts from a fresh thread's values.
        kt482::job().FontScale = 0;
        kt482::job().MeasuredFontSize = 0;
        job.E_StartEdit();
    }

    void render(int16_t page, OutputTarget target = OutputTarget::Printer)
    {
        JobState& s = kt482::job();
        s.OutputTarget = target;
        s.PrinterObject = target == OutputTarget::Printer ? surface : nullptr;
        s.PreviewCanvas = target == OutputTarget::Preview ? surface : nullptr;
        ZZ100_Page_Out(fields, page);
    }

    // Ends the recording and renders page 1 on a fresh log.
    Lines render_page(OutputTarget target = OutputTarget::Printer)
    {
        job.E_EndEdit();
        render(1, target);
        return surface->log;
    }

    KT482_Print job;
    ObjectFields fields;
    std::shared_ptr<RecordingSurface> surface = std::make_shared<RecordingSurface>();
};

TEST_F(RenderTest, OneStringFromTheHostToThePrinter)
{
    job.E_Pitch(15, 6);
    job.E_Font("IPAexMincho", 10.5f, false, 0);
    job.E_String(2, 3, "ABC");
    EXPECT_EQ(render_page(), (Lines{
                                 "FontUnderline 0", "FontName ＭＳ 明朝", "FontSize 8", "CurrentX 0", "CurrentY 0",
                                 "Print \" \"", "CurrentX 0", "CurrentY 0", "FontName IPAexMincho", "FontSize 10.5",
                                 "FontBold 0", "CurrentX 40", "CurrentY 48", "Print \"ABC\" nl",
                             }));
    EXPECT_TRUE(kt482::job().PageStarted);
    EXPECT_EQ(kt482::job().FontScale, 1.0f);
    EXPECT_EQ(job.P_CurrPage(), 1);
    EXPECT_EQ(kt482::job().CurrentProc, "ZZ100_String");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(RenderTest, FontResetSkipsFaceAndSizeWhenTheRecordKeepsThem)
{
    job.E_Pitch(15, 6);
    job.E_Font("", 0, true, 2);
    job.E_String(1, 1, Variant::null());  // keeps a page of settings
    EXPECT_EQ(render_page(), (Lines{"FontUnderline 0", "CurrentX 0", "CurrentY 0", "Print \" \"", "CurrentX 0",
                                    "CurrentY 0", "FontName ＭＳ 明朝", "FontSize 10.5", "FontBold 1"}));
    EXPECT_EQ(kt482::job().RowMargin, 2.0f);
}

TEST_F(RenderTest, PreviewGetsNoPrinterResets)
{
    job.E_Pitch(15, 6);
    job.E_Font("G", 12, false, 0);
    job.E_DrawStyle(2, 3);
    job.E_String(1, 1, Variant::null());
    EXPECT_EQ(render_page(OutputTarget::Preview),
              (Lines{"FontName G", "FontSize 12", "FontBold 0", "DrawMode 1", "DrawWidth 3", "DrawStyle 2"}));
}

TEST_F(RenderTest, PenResetOnThePrinter)
{
    job.E_DrawStyle(2, 1);
    job.E_Line(1, 1, 1, 2);
    const Lines log = render_page();
    EXPECT_EQ(log, (Lines{"DrawMode 16", "DrawWidth 100", "DrawStyle 5", "DrawMode 1", "DrawWidth 1", "DrawStyle 2",
                          "Line 28 28 28 28"}));  // the grid is not measured yet: everything at the margin
}

TEST_F(RenderTest, FontScaleIsMeasuredOnceAfterAPitch)
{
    job.P_Bairitu(1.5f);
    surface->size_used = [](float asked) { return asked == 15.0f ? 15.5f : asked; };
    job.E_Pitch(15, 6);
    job.E_Font("A", 10, false, 0);
    job.E_Font("A", 12, false, 0);
    job.E_String(1, 1, Variant::null());
    render_page(OutputTarget::Preview);
    EXPECT_EQ(kt482::job().FontScale, 1.55f);
    EXPECT_EQ(kt482::job().MeasuredFontSize, 10.0f);
    EXPECT_EQ(surface->only("FontSize"), (Lines{"FontSize 15", "FontSize 18"}));
}

TEST_F(RenderTest, SpreadTextSharesTheFreeSpace)
{
    job.E_Pitch(15, 6);
    job.E_String_Kin(1, 1, "ABC", 10);     // box 60, text 18: gaps of 21
    job.E_String_Kin(2, 1, "ABC", 8.167f); // box 49: gaps of 16 and 15
    job.E_String_Kin(3, 1, "W", 2);        // one character: centred
    job.E_String_Kin(4, 1, "ABCDEFGHIJK", 10);  // too wide: drawn whole from the left edge
    job.E_String_Kin(5, 1, "", 10);
    job.E_String_Kin(6, 1, "ABCDEFGHIJ", 10);   // fills the box exactly: the same
    render_page(OutputTarget::Preview);
    const Lines x = surface->only("CurrentX");
    EXPECT_EQ(x, (Lines{"CurrentX 28", "CurrentX 28", "CurrentX 55", "CurrentX 82", "CurrentX 109",  //
                        "CurrentX 28", "CurrentX 28", "CurrentX 50", "CurrentX 71", "CurrentX 92",   //
                        "CurrentX 28", "CurrentX 31",                                                //
                        "CurrentX 28", "CurrentX 28"}));
    const Lines printed = surface->only("Print");
    ASSERT_EQ(printed.size(), 9u);
    EXPECT_EQ(printed[7], "Print \"ABCDEFGHIJK\" nl");
    EXPECT_EQ(printed[8], "Print \"ABCDEFGHIJ\" nl");
}

TEST_F(RenderTest, CentredRightAlignedClippedAndNumericTexts)
{
    job.E_Pitch(15, 6);
    job.E_String_Center(1, 1, "ABCDE", 7.5f);  // w 30 in a box of 45: x + 7
    job.E_String_Center(2, 1, "ABCDE", 2.5f);  // free -15: x - 8
    job.E_String_Right(3, 11, "ABC");           // ends at column 11
    job.E_String_Left(4, 1, "ABCDE", 3);
    job.E_String_Left(5, 1, "請求書", 5);
    job.E_String_Left(6, 1, "ABC", 2.5f);      // 2.5 cells round to 2
    job.E_Numeric(7, 1, 12.5, "#0.000");
    job.E_Numeric(8, 1, 3, "#0.000");
    job.E_Numeric(9, 1, 1234.5, "#0.000");
    job.E_Numeric(10, 1, 1234, "#,##0");
    job.E_Numeric(11, 1, 1, "");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"),
              (Lines{"Print \"ABCDE\"", "Print \"ABCDE\"", "Print \"ABC\"", "Print \"ABC\" nl", "Print \"請求\" nl",
                     "Print \"AB\" nl", "Print \"12.500\" nl", "Print \" 3.000\" nl", "Print \"1234.500\" nl",
                     "Print \"1,234\" nl", "Print \"\" nl"}));
    const Lines x = surface->only("CurrentX");
    EXPECT_EQ(x[0], "CurrentX 35");
    EXPECT_EQ(x[1], "CurrentX 20");
    EXPECT_EQ(x[2], "CurrentX 70");  // ColToX(11) = 88, minus 18
    EXPECT_EQ(x[8], "CurrentX 16");  // eight characters ending where a field of six ends
    EXPECT_EQ(kt482::job().CurrentProc, "ZZ100_String");
}

// An amount longer than its picture is drawn whole and ends where its field
// ends (column 1 at 28 points, 6 points a character); one that fits is drawn
// as a right-aligned field from the column.
TEST_F(RenderTest, NumbersLongerThanTheirFieldAreNeverCut)
{
    struct Row {
        double value;
        const char* format;
        const char* drawn;
        const char* x;
    };
    const Row rows[] = {
        {1234567.891, "#,##0.00", "1,234,567.89", "CurrentX 4"},
        {-12, "#0", "-12", "CurrentX 22"},
        {0.1234, "0.0%", "12.3%", "CurrentX 22"},
        {-1234.5, "#,##0.0;(#,##0.0)", "        (1,234.5)", "CurrentX 28"},
        {99.5, "#0.0", "99.5", "CurrentX 28"},
        {7, "#0.0", " 7.0", "CurrentX 28"},
    };
    job.E_Pitch(15, 6);
    for (const Row& row : rows)
        job.E_Numeric(1, 1, row.value, row.format);
    render_page(OutputTarget::Preview);
    const Lines printed = surface->only("Print");
    const Lines x = surface->only("CurrentX");
    ASSERT_EQ(printed.size(), std::size(rows));
    ASSERT_EQ(x.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(printed[i], "Print \"" + std::string(rows[i].drawn) + "\" nl") << rows[i].format;
        EXPECT_EQ(x[i], rows[i].x) << rows[i].format;
    }
}

// With an "@" face the texts run down from their cell's top left corner and
// are placed along rows: pitch 15 points a row, every character 6 points
// long, the first cell at (28, 28).
TEST_F(RenderTest, VerticalTextsArePlacedAlongRows)
{
    struct Case {
        std::function<void(KT482_Print&)> record;
        Lines printed;
        Lines at;  // "x y" before each Print
    };
    const Case cases[] = {
        {[](KT482_Print& j) { j.E_String(2, 3, "ABC"); }, {"\"ABC\" nl"}, {"40 43"}},
        // Four rows of 60 points, text 18: gaps of 21.
        {[](KT482_Print& j) { j.E_String_Kin(1, 1, "ABC", 4); }, {"\"A\"", "\"B\"", "\"C\""},
         {"28 28", "28 55", "28 82"}},
        // 50 points (3.333 rows), text 18: gaps of 16.
        {[](KT482_Print& j) { j.E_String_Kin(1, 1, "ABC", 3.333f); }, {"\"A\"", "\"B\"", "\"C\""},
         {"28 28", "28 50", "28 72"}},
        {[](KT482_Print& j) { j.E_String_Kin(1, 1, "W", 2); }, {"\"W\" nl"}, {"28 40"}},
        {[](KT482_Print& j) { j.E_String_Center(1, 1, "ABCDE", 3); }, {"\"ABCDE\""}, {"28 35"}},
        {[](KT482_Print& j) { j.E_String_Right(5, 1, "ABC"); }, {"\"ABC\""}, {"28 70"}},
        {[](KT482_Print& j) { j.E_String_Left(1, 1, "ABCDEFG", 2); }, {"\"ABCDE\" nl"}, {"28 28"}},
        // Twelve characters ending where a field of eight ends.
        {[](KT482_Print& j) { j.E_Numeric(3, 1, 1234567.891, "#,##0.00"); }, {"\"1,234,567.89\" nl"},
         {"28 34"}},
    };
    for (const Case& c : cases) {
        surface->log.clear();
        kt482::job().FontScale = 0;
        kt482::job().MeasuredFontSize = 0;
        job.E_StartEdit();
        job.E_Pitch(15, 6);
        job.E_Font("@ＭＳ 明朝", 10, false, 0);
        c.record(job);
        job.E_EndEdit();
        render(1, OutputTarget::Preview);
        Lines printed, at;
        std::string x, y;
        for (const std::string& line : surface->log) {
            if (line.rfind("CurrentX ", 0) == 0)
                x = line.substr(9);
            else if (line.rfind("CurrentY ", 0) == 0)
                y = line.substr(9);
            else if (line.rfind("Print ", 0) == 0) {
                printed.push_back(line.substr(6));
                at.push_back(x + " " + y);
            }
        }
        EXPECT_EQ(printed, c.printed) << c.printed[0];
        EXPECT_EQ(at, c.at) << c.printed[0];
    }
}

TEST_F(RenderTest, RuledBoxAndRuleSets)
{
    job.E_Pitch(15, 6);
    job.E_Keisen(2, 3, 4, 8);
    job.E_Keisen(4, 8, 2, 3);
    job.E_Line_Hor(5, 2, "0;2;4", "1-10");
    job.E_Line_Hor(5, 2, "1;", "1-10");
    job.E_Line_Hor(5, 2, "", "1-10");
    job.E_Line_Hor(5, 2, "0.5", "5");
    job.E_Line_Vrt(1, 1, "0-3", "0;10");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Line"), (Lines{
                                         "Line 40 43 40 73", "Line 40 43 70 43", "Line 40 73 70 73", "Line 70 43 70 73",
                                         "Line 70 73 70 43", "Line 70 73 40 73", "Line 70 43 40 43", "Line 40 73 40 43",
                                         "Line 40 88 94 88", "Line 40 118 94 118", "Line 40 148 94 148",
                                         "Line 40 103 94 103",
                                         "Line 22 96 22 96",  // no "-": column 0 at both ends
                                         "Line 28 28 28 73", "Line 88 28 88 73",
                                     }));
}

TEST_F(RenderTest, EmptyItemOfARuleListEndsThePage)
{
    job.E_Pitch(15, 6);
    job.E_Line_Hor(5, 2, "1;;2", "1-10");
    job.E_String(1, 1, "never");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Line"), (Lines{"Line 40 103 94 103"}));
    EXPECT_TRUE(surface->only("Print").empty());
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_Line"}));
    EXPECT_EQ(sink.messages[0].text, "Type mismatch");
}

TEST_F(RenderTest, RangeStartingWithAMinusFailsInTheRuleSet)
{
    job.E_Pitch(15, 6);
    job.E_Line_Vrt(1, 1, "-3", "0");
    render_page(OutputTarget::Preview);
    EXPECT_TRUE(surface->only("Line").empty());
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_Line_Vrt"}));
}

TEST_F(RenderTest, LongRuleListsDrawEveryRule)
{
    std::string list;
    for (int i = 0; i < 20000; ++i)
        list += std::to_string(i % 50) + ";";
    job.E_Pitch(15, 6);
    job.E_Line_Hor(1, 1, list.substr(0, 30000), "0-10");
    render_page(OutputTarget::Preview);
    EXPECT_GT(surface->only("Line").size(), 9000u);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(RenderTest, ScrollAndMagnificationMoveTheGridNotTheMargins)
{
    job.P_Bairitu(1.25f);
    job.E_Pitch(15, 6);
    job.E_Line(1, 3, 1, 4);
    job.E_EndEdit();
    kt482::job().ScrollX = 28.5f;
    kt482::job().ScrollY = 100;
    render(1, OutputTarget::Preview);
    kt482::job().ScrollX = 0;
    kt482::job().ScrollY = 0;
    EXPECT_EQ(surface->only("Line"), (Lines{"Line 15 -72 22 -72"}));
}

// Huge but finite numbers put an item beyond any drawable range: that item is
// skipped on the target, and everything else on the page is drawn.
TEST_F(RenderTest, ItemsBeyondTheDrawableRangeAreSkippedAndTheRestDrawn)
{
    job.E_Pitch(15, 6);
    job.E_Font("f", 10, false, 0);
    job.E_String(1, 1, "before");
    job.E_String(1, 1e16f, "far right");
    job.E_String_Right(-1e16f, 5, "far up");
    job.E_String_Kin(2, 1e16f, "spread", 4);
    job.E_String_Center(2, -1e16f, "centred", 4);
    job.E_Line(1, 1, 1, 1e16f);
    job.E_Keisen(1e16f, 1, 2, 2);
    job.E_Line_Hor(1, 1, "0;1e16", "1-2");
    job.E_Line(1, 1, 2, 2);
    job.E_Font("f", 1e30f, false, 0);
    job.E_String(3, 1, "huge font");
    job.E_Font("f", 12, false, 0);
    job.E_String(4, 1, "after");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"), (Lines{"Print \"before\" nl", "Print \"after\" nl"}));
    // Of the box only its bottom side lies in range.
    EXPECT_EQ(surface->only("Line"), (Lines{"Line 28 43 34 43", "Line 34 28 40 28", "Line 28 28 34 43"}));
    EXPECT_EQ(surface->only("FontSize"), (Lines{"FontSize 10", "FontSize 12"}));
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
}

TEST_F(RenderTest, MarginsBeyondTheDrawableRangeDrawNothing)
{
    job.E_String(1, 1, "text");
    job.E_Keisen(1, 1, 2, 2);
    job.P_TopMargin(1e17f);
    job.P_LeftMargin(1e17f);
    render_page(OutputTarget::Printer);
    EXPECT_TRUE(surface->only("Print \"text").empty());
    EXPECT_TRUE(surface->only("Line").empty());
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
}

// A text or box wider than the 16-bit width counts hold is wider than any
// paper: that item is left out and reported once for the run, twice on the
// page or not, and every item after it on the page is drawn.
struct OversizedText {
    const char* name;
    std::function<void(KT482_Print&)> record;
    const char* handler;
};

class OversizedTextTest : public RenderTest, public testing::WithParamInterface<OversizedText> {};

TEST_P(OversizedTextTest, IsLeftOutOnceAndTheRestOfThePageDraws)
{
    surface->char_width = 10.5f;
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_String(2, 3, "FIRST");
    GetParam().record(job);
    job.E_String(8, 3, "MIDDLE");
    GetParam().record(job);
    job.E_String(10, 10, "LATER");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"), (Lines{"Print \"FIRST\" nl", "Print \"MIDDLE\" nl", "Print \"LATER\" nl"}));
    EXPECT_EQ(message_titles(), (Lines{std::string("KT482_Print : ") + GetParam().handler}));
    EXPECT_EQ(sink.messages.at(0).text, "Overflow");

    // A new run of pages reports it again.
    sink.messages.clear();
    render(1, OutputTarget::Preview);
    EXPECT_EQ(sink.messages.size(), 1u);
}

std::string kanji(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "漢";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    RenderTest, OversizedTextTest,
    testing::Values(
        OversizedText{"RightAlignedKanji", [](KT482_Print& j) { j.E_String_Right(5, 80, kanji(3200)); },
                      "ZZ100_String_Right"},
        OversizedText{"CentredInAHugeBox", [](KT482_Print& j) { j.E_String_Center(5, 5, "ab", 1e4f); },
                      "ZZ100_String_Center"},
        OversizedText{"ClippedToTooManyCells", [](KT482_Print& j) { j.E_String_Left(5, 5, "ab", 40000); },
                      "ZZ100_String_Left"},
        OversizedText{"SpreadOverAHugeBox", [](KT482_Print& j) { j.E_String_Kin(5, 5, "ab", 1e4f); },
                      "ZZ100_String_Kin"},
        OversizedText{"SpreadKanjiWiderThanItsBox", [](KT482_Print& j) { j.E_String_Kin(5, 5, kanji(3200), 4); },
                      "ZZ100_String_Kin"}),
    [](const testing::TestParamInfo<OversizedText>& info) { return std::string(info.param.name); });

// A box taller than any paper, or for vertical text wider, places its
// text's lines and no more: the rows beyond them are neither counted in
// integers nor given a place, and the page goes on.
struct FarBox {
    const char* name;
    const char* font;
    float end_row;
    float end_col;
    Lines printed;
};

class FarBoxTest : public RenderTest, public testing::WithParamInterface<FarBox> {};

TEST_P(FarBoxTest, PlacesOnlyTheLinesOfItsText)
{
    job.E_Pitch(15, 6);
    job.E_Font(GetParam().font, 10.5f, false, 0);
    job.E_String_Box(2, 3, GetParam().end_row, GetParam().end_col, "ab cd", 0);
    job.E_String(20, 3, "AFTER");
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"), GetParam().printed);
    EXPECT_EQ(fields.LastFailure.number, 0) << fields.LastFailure.description;
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
}

INSTANTIATE_TEST_SUITE_P(
    RenderTest, FarBoxTest,
    testing::Values(FarBox{"MillionsOfRows", "ＭＳ 明朝", 4e6f, 40, {"Print \"ab cd\"", "Print \"AFTER\" nl"}},
                    FarBox{"RowsBeyondAnyInteger", "ＭＳ 明朝", 1e30f, 40, {"Print \"ab cd\"", "Print \"AFTER\" nl"}},
                    // Its first column, at the right edge, is off the paper.
                    FarBox{"ColumnsBeyondAnyInteger", "@ＭＳ 明朝", 10, 1e32f, {"Print \"AFTER\" nl"}}),
    [](const testing::TestParamInfo<FarBox>& info) { return std::string(info.param.name); });

// A shrunk text is measured at a few sizes at most, even where its width
// does not follow the size (as on a surface asked for a size beyond its
// largest; the recording surface's widths never follow it): stepping down
// a twentieth of a point at a time to half of 200 points would measure it
// 2,000 times.
TEST_F(RenderTest, ShrinkingMeasuresAFewSizesWhereTheWidthDoesNotFollow)
{
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", 200, false, 0);
    job.E_String_Fit(2, 3, "abcdefghij", 7, 0);
    job.E_String(20, 3, "AFTER");
    render_page(OutputTarget::Preview);
    EXPECT_LE(surface->only("FontSize").size(), 45u);
    EXPECT_EQ(surface->only("Print").back(), "Print \"AFTER\" nl");
}

class RenderFailureTest : public RenderTest {
protected:
    void append_raw(const char* code, std::initializer_list<std::string_view> fields)
    {
        JobState& s = kt482::job();
        PageRecordHeader header;
        auto code_of = record_code_of(code);
        ASSERT_TRUE(code_of);
        ASSERT_TRUE(append_record(files(), s.FileNo, header, *code_of, fields).ok());
        job.E_String(1, 1, Variant::null());  // keeps the page without a record
    }
};

TEST_F(RenderFailureTest, ConversionFailuresAreReportedByTheRecordsHandler)
{
    job.E_String(1, 1, "kept");  // marks the page as holding data
    append_raw("PT  ", {"abc", "6"});
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"), (Lines{"Print \"kept\" nl"}));
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_Pitch"}));

    sink.messages.clear();
    surface->log.clear();
    job.E_StartEdit();
    append_raw("PT  ", {"abc", "6"});
    job.E_String(1, 1, "never");
    render_page(OutputTarget::Preview);
    EXPECT_TRUE(surface->log.empty());
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_Pitch"}));
}

TEST_F(RenderFailureTest, IntegerFieldsRoundHalvesToEvenAndOverflow)
{
    append_raw("DR  ", {"2.5", "3.5"});
    append_raw("DR  ", {"1", "40000"});
    render_page(OutputTarget::Preview);
    EXPECT_EQ(surface->log, (Lines{"DrawMode 1", "DrawWidth 4", "DrawStyle 2"}));
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_DrawStyle"}));
    EXPECT_EQ(sink.messages[0].text, "Overflow");
}

TEST_F(RenderTest, TargetFailuresAreReportedByTheirHandler)
{
    job.E_Pitch(15, 6);
    job.E_Font("A", 10, false, 0);
    job.E_String(1, 1, "x");
    surface->failing_operation = "Print";
    render_page(OutputTarget::Preview);
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_String"}));
    EXPECT_EQ(sink.messages[0].text, "Invalid property value");
    EXPECT_EQ(sink.messages[0].buttons, 48);
}

TEST_F(RenderTest, UnknownAndLowerCaseCodesAreSkipped)
{
    job.E_String(1, 1, "one");
    PageRecordHeader header;
    ASSERT_TRUE(append_record(files(), kt482::job().FileNo, header, RecordCode::String, {"1", "1", "odd"}).ok());
    job.E_String(2, 1, "two");
    job.E_EndEdit();
    // Turn the middle record's code into lower case and into nonsense.
    std::string bytes = file_bytes(page_path(1));
    const std::size_t second = 20 + 13 + 4;
    bytes.replace(second, 4, "st  ");
    std::ofstream(page_path(1), std::ios::binary) << bytes;
    render(1, OutputTarget::Preview);
    EXPECT_EQ(surface->only("Print"), (Lines{"Print \"one\" nl", "Print \"two\" nl"}));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(RenderTest, PagesOutsideTheBoundsOrTheOutputRange)
{
    job.E_String(1, 1, "one");
    job.E_ChangePage();
    job.E_Pitch(20, 6);
    job.E_String(1, 1, "two");
    job.E_ChangePage();
    job.E_Font("", 10, false, 0);
    job.E_String(2, 1, "three");
    job.E_EndEdit();

    render(4, OutputTarget::Preview);  // beyond Max_Page
    EXPECT_TRUE(surface->log.empty());
    EXPECT_EQ(job.P_CurrPage(), 3);

    JobState& s = kt482::job();
    s.OutStartP = 3;
    s.OutEndP = 3;
    s.PageStarted = false;
    render(2, OutputTarget::Preview);  // outside the output range: only its pitch applies
    EXPECT_TRUE(surface->only("Print").empty());
    EXPECT_FALSE(s.PageStarted);
    EXPECT_EQ(s.RowPitch, 20.0f);
    render(3, OutputTarget::Preview);
    s.OutStartP = 0;
    s.OutEndP = 9999;
    EXPECT_TRUE(s.PageStarted);
    // Row 2 with the row pitch of page 2: 28 + 20 + (20 - 10).
    EXPECT_EQ(surface->only("CurrentY"), (Lines{"CurrentY 58"}));
}

TEST_F(RenderTest, MissingPageFileDrawsNothingSilently)
{
    job.E_String(1, 1, "one");
    job.E_ChangePage();
    job.E_ChangePage();
    job.E_String(1, 1, "three");
    job.E_EndEdit();
    ASSERT_FALSE(page_exists(2));
    render(2, OutputTarget::Preview);
    EXPECT_TRUE(surface->log.empty());
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_TRUE(page_exists(2));
}

TEST_F(RenderTest, WithoutATargetOnlyTheFirstTouchFails)
{
    job.E_Pitch(15, 6);
    job.E_Font("A", 10, false, 0);
    job.E_String(1, 1, Variant::null());
    job.E_EndEdit();
    kt482::job().OutputTarget = OutputTarget::None;
    kt482::job().PreviewCanvas = nullptr;
    ZZ100_Page_Out(fields, 1);
    EXPECT_EQ(message_titles(), (Lines{"KT482_Print : ZZ100_Font"}));
    EXPECT_EQ(sink.messages[0].text, "Object variable or With block variable not set");
    EXPECT_EQ(kt482::job().RowPitch, 15.0f);
}

// A field that is not a number is reported by the handler of its record,
// not by the one that ran before it.
TEST_F(RenderTest, ABadFieldIsReportedByItsOwnRecordsHandler)
{
    struct Case {
        std::function<void(KT482_Print&)> record;
        std::string field;  // as recorded, replaced by blanks and "NaN"
        const char* title;
    };
    const Case cases[] = {
        {[](KT482_Print& j) { j.E_Line(7, 2, 3, 4); }, "7.000", "KT482_Print : ZZ100_Line"},
        {[](KT482_Print& j) { j.E_Keisen(7, 2, 3, 4); }, "7.000", "KT482_Print : ZZ100_Keisen"},
        {[](KT482_Print& j) { j.E_Pitch(17, 6); }, "17.000", "KT482_Print : ZZ100_Pitch"},
        {[](KT482_Print& j) { j.E_DrawStyle(1, 777); }, "777", "KT482_Print : ZZ100_DrawStyle"},
        {[](KT482_Print& j) { j.E_String_Kin(1, 1, "ab", 9.5f); }, "9.500", "KT482_Print : ZZ100_String_Kin"},
        {[](KT482_Print& j) { j.E_Line_Hor(7, 2, "0", "1"); }, "7.000", "KT482_Print : ZZ100_Line_Hor"},
    };
    for (const Case& c : cases) {
        job.E_StartEdit();
        job.E_String(1, 1, "a");
        c.record(job);
        job.E_EndEdit();
        std::string bytes = file_bytes(page_path(1));
        const std::size_t at = bytes.rfind(c.field);
        ASSERT_NE(at, std::string::npos) << c.title;
        bytes.replace(at, c.field.size(), std::string(c.field.size() - 3, ' ') + "NaN");
        std::ofstream(page_path(1), std::ios::binary | std::ios::trunc) << bytes;
        sink.messages.clear();
        render(1, OutputTarget::Preview);
        ASSERT_EQ(sink.messages.size(), 1u) << c.title;
        EXPECT_EQ(sink.messages[0].title, c.title);
        EXPECT_EQ(sink.messages[0].text, "Type mismatch") << c.title;
    }
}

TEST_F(RenderTest, RandomSpoolBytesEndInAReportNeverACrash)
{
    job.E_Pitch(15, 6);
    job.E_Font("A", 10, true, 1);
    job.E_Line_Hor(5, 2, "0;2;4", "1-10");
    job.E_String_Kin(2, 1, "請求書", 10);
    job.E_Numeric(3, 1, 1234.5, "#,##0.00;(#,##0.00)");
    job.E_EndEdit();
    const std::string valid = file_bytes(page_path(1));
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = valid;
        for (int e = 0; e < 4; ++e) {
            const std::size_t at = random() % bytes.size();
            if (random() % 4 == 0)
                bytes.resize(at + 1);
            else
                bytes[at] = static_cast<char>(random());
        }
        std::ofstream(page_path(1), std::ios::binary | std::ios::trunc) << bytes;
        render(1, random() % 2 ? OutputTarget::Printer : OutputTarget::Preview);
    }
    EXPECT_FALSE(surface->log.empty());
}

}  // namespace
}  // namespace kt482::test
