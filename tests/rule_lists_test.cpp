#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "job/error_trap.h"
#include "render/rule_lists.h"

namespace kt482 {
namespace {

std::vector<float> items(std::string_view list, float base)
{
    std::vector<float> out;
    for_each_list_item(list, base, [&](float v) { out.push_back(v); });
    return out;
}

TEST(RuleLists, ItemsAreOffsetsFromTheBase)
{
    EXPECT_EQ(items("0;2;4", 5), (std::vector<float>{5, 7, 9}));
    EXPECT_EQ(items("1;", 5), (std::vector<float>{6}));
    EXPECT_EQ(items("", 5), (std::vector<float>{}));
    EXPECT_EQ(items(" 0.5 ;-1", 2), (std::vector<float>{2.5f, 1}));
}

TEST(RuleLists, EmptyItemsFailWhereTheyStand)
{
    std::vector<float> drawn;
    EXPECT_THROW(for_each_list_item("1;;2", 5, [&](float v) { drawn.push_back(v); }), RaisedFailure);
    EXPECT_EQ(drawn, (std::vector<float>{6}));
    EXPECT_THROW(items(";", 0), RaisedFailure);
    EXPECT_THROW(items("1;x", 0), RaisedFailure);
}

TEST(RuleLists, RangesSplitAtTheFirstDash)
{
    const GridRange r = parse_range("1-10", 2);
    EXPECT_EQ(r.first, 3);
    EXPECT_EQ(r.last, 12);
    const GridRange negative_end = parse_range("1--3", 0);
    EXPECT_EQ(negative_end.last, -3);
    const GridRange none = parse_range("5", 7);
    EXPECT_EQ(none.first, 0);
    EXPECT_EQ(none.last, 0);
    EXPECT_THROW(parse_range("-3", 0), RaisedFailure);
    EXPECT_THROW(parse_range("3-", 0), RaisedFailure);
}

TEST(RuleLists, RandomTextsNeverCrash)
{
    std::mt19937 random(9);
    const std::string alphabet = "0123456789;-. eE+x";
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 24, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        try {
            (void)items(text, 1);
            (void)parse_range(text, 1);
        } catch (const RaisedFailure& e) {
            EXPECT_TRUE(e.failure().is(ErrorNumber::TypeMismatch) || e.failure().is(ErrorNumber::Overflow));
        }
    }
}

}  // namespace
}  // namespace kt482
