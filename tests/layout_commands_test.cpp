#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "kt482/kt482.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

class LayoutCommandsTest : public SpoolTest {
protected:
    LayoutCommandsTest()
    {
        job.P_Temp_Dir(dir);
        job.E_StartEdit();
    }

    std::vector<ReadRecord> finish()
    {
        job.E_EndEdit();
        return read_page(1);
    }

    KT482_Print job;
};

using Fields = std::vector<std::string>;

TEST_F(LayoutCommandsTest, EveryCommandWritesItsCodeAndFields)
{
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", 10.5f, true, 1.25f);
    job.E_Font("ＭＳ ゴシック", 12, false, 0);
    job.E_DrawStyle(2, 3);
    job.E_Line(1, 2, 3.5f, 4);
    job.E_Line_Hor(5, 6, "0;2;;4;", "0-10");
    job.E_Line_Vrt(5, 6, "0-8", "any text at all");
    job.E_Keisen(1, 1, 10, 20);
    job.E_String(2, 3, 12.5);
    job.E_String_Kin(2, 3, "均等", 10);
    job.E_String_Center(2, 3, "中央", 20.5f);
    job.E_String_Right(2, 3, int16_t{42});
    job.E_String_Left(-1, 0, "", -2);
    job.E_Numeric(2, 3, 12.5, "#,##0.00");

    const std::vector<ReadRecord> expected = {
        {"PT  ", Fields{"15.000", "6.000", "", "", ""}},
        {"FT  ", Fields{"ＭＳ 明朝", "10.500", "-1", "1.250", ""}},
        {"FT  ", Fields{"ＭＳ ゴシック", "12.000", "0", "0.000", ""}},
        {"DR  ", Fields{"2", "3", "", "", ""}},
        {"LN  ", Fields{"1.000", "2.000", "3.500", "4.000", ""}},
        {"LNH ", Fields{"5.000", "6.000", "0;2;;4;", "0-10", ""}},
        {"LNV ", Fields{"5.000", "6.000", "0-8", "any text at all", ""}},
        {"KE  ", Fields{"1.000", "1.000", "10.000", "20.000", ""}},
        {"ST  ", Fields{"2.000", "3.000", "12.5", "", ""}},
        {"STK ", Fields{"2.000", "3.000", "均等", "10.000", ""}},
        {"STC ", Fields{"2.000", "3.000", "中央", "20.500", ""}},
        {"STR ", Fields{"2.000", "3.000", "42", "", ""}},
        {"STL ", Fields{"-1.000", "0.000", "", "-2.000", ""}},
        {"STN ", Fields{"2.000", "3.000", "12.5000", "#,##0.00", ""}},
    };
    const auto records = finish();
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(records[i].code, expected[i].code) << i;
        EXPECT_EQ(records[i].fields, expected[i].fields) << i;
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LayoutCommandsTest, NumericValuesOfEveryKind)
{
    job.E_Numeric(1, 1, true, "#0");
    job.E_Numeric(1, 1, 1234567, "#,##0");
    job.E_Numeric(1, 1, 0.00005f, "#0.0000");
    job.E_Numeric(1, 1, " 7.25 ", "#0.00");
    job.E_Numeric(1, 1, "not a number", "#0");
    job.E_Numeric(1, 1, Variant(), "#0");
    job.E_Numeric(1, 1, Variant::null(), "#0");
    const auto records = finish();
    std::vector<std::string> values;
    for (const auto& r : records)
        values.push_back(r.fields[2]);
    EXPECT_EQ(values, (std::vector<std::string>{"-1.0000", "1234567.0000", "0.0001", "7.2500", "not a number", ""}));
}

TEST_F(LayoutCommandsTest, TextsOfOtherTypesAndBadBytes)
{
    job.E_String(1, 1, true);
    job.E_String(1, 1, 0.1f);
    job.E_String(1, 1, 1e20);
    job.E_String(1, 1, std::string("a\xFFz"));
    const auto records = finish();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].fields[2], "True");
    EXPECT_EQ(records[1].fields[2], "0.1");
    EXPECT_EQ(records[2].fields[2], "1E+20");
    EXPECT_EQ(records[3].fields[2], "a\xEF\xBF\xBDz");
}

TEST_F(LayoutCommandsTest, NothingIsRecordedOutsideTheWindow)
{
    job.E_StartEdit(1, 1, 1);
    job.E_ChangePage();
    ASSERT_TRUE(job.P_CheckEnd());
    job.E_Pitch(1, 1);
    job.E_String(1, 1, "x");
    job.E_Numeric(1, 1, 1, "#0");
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(file_bytes(page_path(2)), "");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LayoutCommandsTest, FailureTitlesNameTheCommand)
{
    job.E_EndEdit();  // the page file is closed: every write fails
    job.E_Pitch(1, 1);
    job.E_Font("f", 1, false, 0);
    job.E_DrawStyle(1, 1);
    job.E_Line(1, 1, 1, 1);
    job.E_Line_Hor(1, 1, "", "");
    job.E_Line_Vrt(1, 1, "", "");
    job.E_Keisen(1, 1, 1, 1);
    job.E_String(1, 1, "x");
    job.E_String_Kin(1, 1, "x", 1);
    job.E_String_Center(1, 1, "x", 1);
    job.E_String_Right(1, 1, "x");
    job.E_String_Left(1, 1, "x", 1);
    job.E_Numeric(1, 1, 1, "#0");
    std::vector<std::string> expected;
    for (const char* name : {"E_Pitch", "E_Font", "E_DrawStyle", "E_Line", "E_Line_Hor", "E_Line_Vrt", "E_Keisen",
                             "E_String", "E_String_Kin", "E_String_Center", "E_String_Right", "E_String_Left",
                             "E_Numeric"})
        expected.push_back(std::string("KT482_Print : ") + name);
    EXPECT_EQ(message_titles(), expected);
}

// Every number a layout command records, given as NaN or an infinity, is
// refused: the command reports it, appends nothing and leaves the page's
// flags alone, and the page records on.
TEST_F(LayoutCommandsTest, NonFiniteNumbersAreRefusedAndThePageStaysIntact)
{
    using Call = std::function<void(KT482_Print&, float)>;
    const std::vector<std::pair<std::string, Call>> calls = {
        {"E_Pitch", [](KT482_Print& j, float x) { j.E_Pitch(x, 6); }},
        {"E_Pitch", [](KT482_Print& j, float x) { j.E_Pitch(15, x); }},
        {"E_Font", [](KT482_Print& j, float x) { j.E_Font("f", x, false, 0); }},
        {"E_Font", [](KT482_Print& j, float x) { j.E_Font("f", 10, false, x); }},
        {"E_Line", [](KT482_Print& j, float x) { j.E_Line(x, 1, 1, 1); }},
        {"E_Line", [](KT482_Print& j, float x) { j.E_Line(1, 1, 1, x); }},
        {"E_Line_Hor", [](KT482_Print& j, float x) { j.E_Line_Hor(x, 1, "0", "0-1"); }},
        {"E_Line_Vrt", [](KT482_Print& j, float x) { j.E_Line_Vrt(1, x, "0-1", "0"); }},
        {"E_Keisen", [](KT482_Print& j, float x) { j.E_Keisen(1, x, 1, 1); }},
        {"E_Keisen", [](KT482_Print& j, float x) { j.E_Keisen(1, 1, x, 1); }},
        {"E_String", [](KT482_Print& j, float x) { j.E_String(x, 1, "x"); }},
        {"E_String", [](KT482_Print& j, float x) { j.E_String(1, x, "x"); }},
        {"E_String", [](KT482_Print& j, float x) { j.E_String(1, 1, x); }},
        {"E_String", [](KT482_Print& j, float x) { j.E_String(1, 1, static_cast<double>(x)); }},
        {"E_String_Kin", [](KT482_Print& j, float x) { j.E_String_Kin(1, 1, "x", x); }},
        {"E_String_Kin", [](KT482_Print& j, float x) { j.E_String_Kin(1, 1, static_cast<double>(x), 2); }},
        {"E_String_Center", [](KT482_Print& j, float x) { j.E_String_Center(x, 1, "x", 2); }},
        {"E_String_Center", [](KT482_Print& j, float x) { j.E_String_Center(1, 1, "x", x); }},
        {"E_String_Right", [](KT482_Print& j, float x) { j.E_String_Right(1, x, "x"); }},
        {"E_String_Right", [](KT482_Print& j, float x) { j.E_String_Right(1, 1, x); }},
        {"E_String_Left", [](KT482_Print& j, float x) { j.E_String_Left(1, 1, "x", x); }},
        {"E_String_Left", [](KT482_Print& j, float x) { j.E_String_Left(x, 1, "x", 2); }},
        {"E_Numeric", [](KT482_Print& j, float x) { j.E_Numeric(x, 1, 1, "#0"); }},
        {"E_Numeric", [](KT482_Print& j, float x) { j.E_Numeric(1, x, 1, "#0"); }},
        {"E_Numeric", [](KT482_Print& j, float x) { j.E_Numeric(1, 1, x, "#0"); }},
        {"E_Numeric", [](KT482_Print& j, float x) { j.E_Numeric(1, 1, static_cast<double>(x), "#0"); }},
        {"E_String", [](KT482_Print& j, float x) { j.Invoke("E_String", MemberKind::Method, {1, x, "x"}); }},
    };
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), kInfinity, -kInfinity}) {
        for (std::size_t i = 0; i < calls.size(); ++i) {
            sink.messages.clear();
            calls[i].second(job, bad);
            ASSERT_EQ(sink.messages.size(), 1u) << "case " << i << " with " << bad;
            EXPECT_EQ(sink.messages[0].title, "KT482_Print : " + calls[i].first) << i;
            EXPECT_EQ(sink.messages[0].text, "Invalid procedure call or argument") << i;
        }
    }
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(file_bytes(page_path(1)), "");

    sink.messages.clear();
    job.E_StartEdit();
    job.E_String(1, 1, 1e30);
    job.E_String(1, 1, "after");
    EXPECT_TRUE(sink.messages.empty());
    const std::vector<ReadRecord> records = finish();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[2], "after");
}

}  // namespace
}  // namespace kt482::test
