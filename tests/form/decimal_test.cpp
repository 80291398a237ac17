// Exact decimals as forms use them: read as written, summed and multiplied
// without loss, rounded only by the stated rule, and shown through a number
// picture.
#include <gtest/gtest.h>

#include <string>

#include "form/decimal.h"
#include "form/number_text.h"

namespace {

using kt482::form::Decimal;
using kt482::form::Rounding;

Decimal dec(const std::string& text)
{
    const auto d = Decimal::parse(text);
    EXPECT_TRUE(d) << text;
    return d.value_or(Decimal());
}

TEST(Decimal, ReadsJsonNumbersAsWritten)
{
    EXPECT_EQ(dec("12").text(), "12");
    EXPECT_EQ(dec("-0.50").text(), "-0.5");
    EXPECT_EQ(dec("1.25e3").text(), "1250");
    EXPECT_EQ(dec("125E-4").text(), "0.0125");
    EXPECT_EQ(dec("0.000").text(), "0");
    EXPECT_EQ(dec("123456789012345678901234.5").text(), "123456789012345678901234.5");
    for (const char* bad : {"", "-", ".", "1.2.3", "12,000", "1e", "abc", "1e99", "0.0000000000000000001"})
        EXPECT_FALSE(Decimal::parse(bad)) << bad;
}

TEST(Decimal, SumsHaveNoBinaryError)
{
    // 0.1 added ten times is 1 exactly, and 0.1 + 0.2 is 0.3.
    Decimal sum;
    for (int i = 0; i < 10; ++i)
        sum = *add(sum, dec("0.1"));
    EXPECT_EQ(sum, dec("1"));
    EXPECT_EQ(*add(dec("0.1"), dec("0.2")), dec("0.3"));
    EXPECT_EQ(multiply(dec("12345.67"), dec("0.08"))->text(), "987.6536");
    EXPECT_EQ(multiply(dec("1.15"), dec("100"))->text(), "115");
    EXPECT_FALSE(multiply(dec("1e30"), dec("1e10")));
}

struct RoundingCase {
    const char* value;
    Rounding rule;
    int places;
    const char* expected;
};

class DecimalRounding : public testing::TestWithParam<RoundingCase> {};

TEST_P(DecimalRounding, FollowsTheStatedRule)
{
    const RoundingCase& c = GetParam();
    EXPECT_EQ(dec(c.value).rounded(c.places, c.rule).text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, DecimalRounding,
                         testing::Values(RoundingCase{"88893.9", Rounding::Down, 0, "88893"},
                                         RoundingCase{"88893.5", Rounding::HalfUp, 0, "88894"},
                                         RoundingCase{"88893.4999", Rounding::HalfUp, 0, "88893"},
                                         RoundingCase{"88893.01", Rounding::Up, 0, "88894"},
                                         RoundingCase{"88893", Rounding::Up, 0, "88893"},
                                         RoundingCase{"-10.5", Rounding::Down, 0, "-10"},
                                         RoundingCase{"-10.5", Rounding::HalfUp, 0, "-11"},
                                         RoundingCase{"-10.1", Rounding::Up, 0, "-11"},
                                         RoundingCase{"2.345", Rounding::HalfUp, 2, "2.35"},
                                         RoundingCase{"2.345", Rounding::Down, 2, "2.34"}));

TEST(PictureText, ShowsTheDigitsThePictureAsksFor)
{
    using kt482::form::picture_text;
    EXPECT_EQ(picture_text("#,##0", dec("1176165")), "1,176,165");
    EXPECT_EQ(picture_text("￥#,##0", dec("999")), "￥999");
    EXPECT_EQ(picture_text("#,##0", dec("-1234")), "-1,234");
    EXPECT_EQ(picture_text("#,##0.00", dec("1234.5")), "1,234.50");
    EXPECT_EQ(picture_text("#,##0.#", dec("47")), "47");
    EXPECT_EQ(picture_text("#,##0.#", dec("10.5")), "10.5");
    EXPECT_EQ(picture_text("0", dec("12.5")), "13");
    EXPECT_EQ(picture_text("#,###", dec("0")), "");
    EXPECT_EQ(picture_text("#,##0円", dec("0")), "0円");
    // The grouping boundaries: 10^k - 1 and 10^k.
    for (const auto& [value, shown] : {std::pair{"999", "999"}, {"1000", "1,000"}, {"999999", "999,999"},
                                       {"1000000", "1,000,000"}})
        EXPECT_EQ(picture_text("#,##0", dec(value)), shown);
}

}  // namespace
