// The one paper table that preview and printing share, checked code by code
// against the paper sizes the forms were laid out for, and the matching of
// a printer's sizes to codes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/paper_table.h"

namespace kt482 {
namespace {

struct Paper {
    int16_t code;
    PaperUnit unit;
    double width;
    double height;
};

using enum PaperUnit;

// Every code with dimensions, portrait width x height in its unit.
constexpr std::array kExpected{
    Paper{1, Inch, 8.5, 11},       Paper{2, Inch, 8.5, 11},         Paper{3, Inch, 11, 17},
    Paper{4, Inch, 17, 11},        Paper{5, Inch, 8.5, 14},         Paper{6, Inch, 5.5, 8.5},
    Paper{7, Inch, 7.5, 10.5},     Paper{8, Millimetre, 297, 420},  Paper{9, Millimetre, 210, 297},
    Paper{10, Millimetre, 210, 297}, Paper{11, Millimetre, 148, 210}, Paper{12, Millimetre, 250, 354},
    Paper{13, Millimetre, 182, 257}, Paper{14, Inch, 8.5, 13},      Paper{15, Millimetre, 215, 275},
    Paper{16, Inch, 10, 14},       Paper{17, Inch, 11, 17},         Paper{18, Inch, 8.5, 11},
    Paper{19, Inch, 3.875, 8.875}, Paper{20, Inch, 4.125, 9.5},     Paper{21, Inch, 4.5, 10.375},
    Paper{22, Inch, 4.5, 11},      Paper{23, Inch, 5, 11.5},        Paper{27, Millimetre, 110, 220},
    Paper{28, Millimetre, 162, 229}, Paper{29, Millimetre, 324, 458}, Paper{30, Millimetre, 229, 324},
    Paper{31, Millimetre, 114, 162}, Paper{32, Millimetre, 114, 229}, Paper{33, Millimetre, 250, 353},
    Paper{34, Millimetre, 176, 250}, Paper{35, Millimetre, 176, 125}, Paper{36, Millimetre, 110, 230},
    Paper{37, Inch, 3.875, 7.5},   Paper{38, Inch, 3.625, 6.5},     Paper{39, Inch, 14.875, 11},
    Paper{40, Inch, 8.5, 12},      Paper{41, Inch, 8.5, 13},
};

// Codes that only repeat the paper of a lower code.
int16_t lowest_code_of_its_size(int16_t code)
{
    switch (code) {
    case 2:
    case 18:
        return 1;
    case 10:
        return 9;
    case 17:
        return 3;
    case 41:
        return 14;
    default:
        return code;
    }
}

TEST(PaperTable, EveryCodeHasItsSizeAndComesBackFromIt)
{
    std::vector<int16_t> listed;
    for (const PaperEntry& entry : paper_table())
        listed.push_back(entry.code);
    std::vector<int16_t> expected;
    for (const Paper& paper : kExpected)
        expected.push_back(paper.code);
    ASSERT_EQ(listed, expected);

    for (const Paper& paper : kExpected) {
        SCOPED_TRACE("code " + std::to_string(paper.code));
        const auto entry = paper_entry(paper.code);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->unit, paper.unit);
        EXPECT_EQ(entry->width, paper.width);
        EXPECT_EQ(entry->height, paper.height);
        const PaperSizeMm mm = paper_size_mm(*entry);
        const double scale = paper.unit == Inch ? 25.4 : 1.0;
        EXPECT_DOUBLE_EQ(mm.width, paper.width * scale);
        EXPECT_DOUBLE_EQ(mm.height, paper.height * scale);
        EXPECT_EQ(paper_code_for_size(mm), lowest_code_of_its_size(paper.code));
    }
    for (int16_t none : {0, 24, 25, 26, 42, 256, -1, 32767})
        EXPECT_FALSE(paper_entry(none)) << none;
}

struct SizeCase {
    const char* name;
    PaperSizeMm size;
    int16_t code;
};

class PaperCodeForSize : public testing::TestWithParam<SizeCase> {};

TEST_P(PaperCodeForSize, NearestWithinOneMillimetreUprightFirst)
{
    EXPECT_EQ(paper_code_for_size(GetParam().size), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PaperCodeForSize,
    testing::Values(SizeCase{"A4Measured", {210.8, 296.3}, 9}, SizeCase{"A4Turned", {297, 210}, 9},
                    SizeCase{"LedgerStaysLedger", {431.8, 279.4}, 4}, SizeCase{"Tabloid", {279.4, 431.8}, 3},
                    SizeCase{"IsoB4IsTheEnvelope", {250, 353}, 33}, SizeCase{"B4", {250, 354}, 12},
                    SizeCase{"ExecutiveOfTheForms", {190.5, 266.7}, 7},
                    SizeCase{"OtherExecutive", {184.15, 266.7}, kPaperUserDefined},
                    SizeCase{"JustOutside", {212, 297}, kPaperUserDefined},
                    SizeCase{"Square", {100, 100}, kPaperUserDefined},
                    SizeCase{"Empty", {0, 0}, kPaperUserDefined}),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

// A queue's list of sizes, portrait as drivers list them.
constexpr PaperSizeMm kA4{210, 297};
constexpr PaperSizeMm kTabloid{279.4, 431.8};
constexpr PaperSizeMm kLetter{215.9, 279.4};

TEST(MatchPaper, UprightBeforeTurnedAndNearestFirst)
{
    const std::vector<PaperSizeMm> queue{kLetter, kA4, {210.5, 297.5}, kTabloid};
    const PaperSizeMm ledger{431.8, 279.4};

    auto a4 = match_paper({210.4, 297.4}, queue);
    ASSERT_TRUE(a4);
    EXPECT_EQ(a4->index, 2u);  // the nearer of two within a millimetre
    EXPECT_FALSE(a4->turned);

    // Ledger is Tabloid turned: the page keeps its shape, it is not Tabloid.
    auto turned = match_paper(ledger, queue);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->index, 3u);
    EXPECT_TRUE(turned->turned);

    // A queue that lists Ledger itself gives it upright.
    const std::vector<PaperSizeMm> with_ledger{kTabloid, ledger};
    auto upright = match_paper(ledger, with_ledger);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->index, 1u);
    EXPECT_FALSE(upright->turned);

    EXPECT_FALSE(match_paper({100, 100}, queue));
    EXPECT_FALSE(match_paper(kA4, {}));
}

}  // namespace
}  // namespace kt482
