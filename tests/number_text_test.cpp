#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "job/number_text.h"

namespace kt482 {
namespace {

TEST(FixedPattern, GridPositionsWithThreeDecimals)
{
    EXPECT_EQ(format_fixed(15.0f, 3), "15.000");
    EXPECT_EQ(format_fixed(0.5f, 3), "0.500");
    EXPECT_EQ(format_fixed(-2.25f, 3), "-2.250");
    EXPECT_EQ(format_fixed(2.0f, 3), "2.000");
    EXPECT_EQ(format_fixed(0.0f, 3), "0.000");
    EXPECT_EQ(format_fixed(-0.0f, 3), "0.000");
    EXPECT_EQ(format_fixed(-0.0001f, 3), "0.000");
    EXPECT_EQ(format_fixed(12345.678f, 3), "12345.680");  // seven digits of a float
    EXPECT_EQ(format_fixed(1e9f, 3), "1000000000.000");
}

TEST(FixedPattern, HalvesRoundAwayFromZeroOnTheShownDigits)
{
    // 2.0005f is 2.000499963... in binary; its seven digits are 2.000500.
    EXPECT_EQ(format_fixed(2.0005f, 3), "2.001");
    EXPECT_EQ(format_fixed(-2.0005f, 3), "-2.001");
    EXPECT_EQ(format_fixed(0.0625f, 3), "0.063");
    EXPECT_EQ(format_fixed(9.9995f, 3), "10.000");
    EXPECT_EQ(format_fixed(2.675, 2), "2.68");
    EXPECT_EQ(format_fixed(12.5, 4), "12.5000");
    EXPECT_EQ(format_fixed(-1.0, 4), "-1.0000");
    EXPECT_EQ(format_fixed(2.5, 0), "3");
    EXPECT_EQ(format_fixed(-2.5, 0), "-3");
}

TEST(FixedPattern, FastSinglePathAgreesWithTheGeneralPath)
{
    std::mt19937 random(482);
    std::uniform_int_distribution<uint32_t> bits;
    for (int i = 0; i < 200000; ++i) {
        uint32_t b = bits(random);
        float f;
        std::memcpy(&f, &b, sizeof f);
        if (!std::isfinite(f))
            continue;
        // Spread over the magnitudes that matter: scale into 1e-8 .. 1e8.
        int exponent = 0;
        f = std::ldexp(std::frexp(f, &exponent), static_cast<int>(b % 54) - 27);
        for (int decimals : {3, 4}) {
            ASSERT_EQ(format_fixed(f, decimals), format_fixed(static_cast<double>(f), decimals, kSingleDigits))
                << "value " << f << " decimals " << decimals;
        }
    }
}

TEST(OrdinaryText, NumbersAsTheirPlainDecimalText)
{
    EXPECT_EQ(number_to_text(12.5), "12.5");
    EXPECT_EQ(number_to_text(0.5), "0.5");
    EXPECT_EQ(number_to_text(-3.0), "-3");
    EXPECT_EQ(number_to_text(1234567.0), "1234567");
    EXPECT_EQ(number_to_text(0.1f, kSingleDigits), "0.1");
    EXPECT_EQ(number_to_text(1e20), "1E+20");
    EXPECT_EQ(number_to_text(1.5e-7), "1.5E-07");
    EXPECT_EQ(*value_to_text(Variant(true)), "True");
    EXPECT_EQ(*value_to_text(Variant(int16_t{-7})), "-7");
    EXPECT_EQ(*value_to_text(Variant()), "");
    EXPECT_FALSE(value_to_text(Variant::null()).ok());
}

TEST(NumberTextReading, AcceptsBlanksSignPeriodAndExponent)
{
    EXPECT_EQ(*parse_number_text("  12.5 "), 12.5);
    EXPECT_EQ(*parse_number_text("-3"), -3.0);
    EXPECT_EQ(*parse_number_text("+.5"), 0.5);
    EXPECT_EQ(*parse_number_text("7."), 7.0);
    EXPECT_EQ(*parse_number_text("1,234.5"), 1234.5);
    EXPECT_EQ(*parse_number_text("1E3"), 1000.0);
    EXPECT_EQ(*parse_number_text("1e-400"), 0.0);
}

TEST(NumberTextReading, RejectsWhatIsNotANumber)
{
    for (const char* text : {"", "   ", "abc", "1.2.3", "--1", "1e", ",5", "1 2", ".", "-"}) {
        auto result = parse_number_text(text);
        ASSERT_FALSE(result.ok()) << text;
        EXPECT_TRUE(result.failure().is(ErrorNumber::TypeMismatch)) << text;
    }
    EXPECT_TRUE(parse_number_text("1e400").failure().is(ErrorNumber::Overflow));
}

TEST(IntegerConversion, HalvesToEvenAndSixteenBitRange)
{
    EXPECT_EQ(*to_i2(2.5), 2);
    EXPECT_EQ(*to_i2(3.5), 4);
    EXPECT_EQ(*to_i2(-2.5), -2);
    EXPECT_EQ(*to_i2(32767.4), 32767);
    EXPECT_EQ(*to_i2(-32768.0), -32768);
    EXPECT_TRUE(to_i2(32767.5).failure().is(ErrorNumber::Overflow));
    EXPECT_TRUE(to_i2(-32769.0).failure().is(ErrorNumber::Overflow));
    EXPECT_TRUE(to_i2(NAN).failure().is(ErrorNumber::Overflow));
    EXPECT_TRUE(variant_to_i2(Variant("x")).failure().is(ErrorNumber::TypeMismatch));
    EXPECT_EQ(*variant_to_i2(Variant(" 12 ")), 12);
    EXPECT_EQ(*variant_to_i2(Variant(true)), -1);
    EXPECT_TRUE(variant_to_r4(Variant(1e300)).failure().is(ErrorNumber::Overflow));
    EXPECT_EQ(*variant_to_bool(Variant("TRUE")), true);
    EXPECT_EQ(*variant_to_bool(Variant("0")), false);
}

TEST(Utf8, CountsCodePointsAndRepairsBadBytes)
{
    EXPECT_EQ(count_code_points("ABC"), 3u);
    EXPECT_EQ(count_code_points("請求書"), 3u);
    EXPECT_EQ(count_code_points("😀a"), 2u);
    EXPECT_TRUE(is_valid_utf8("請求書"));
    EXPECT_FALSE(is_valid_utf8("\xC0\x80"));      // overlong
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(is_valid_utf8("\xE8\xAB"));      // cut short
    EXPECT_EQ(to_valid_utf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace kt482
