#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "job/number_picture.h"

namespace kt482 {
namespace {

std::string fmt(double value, std::string_view picture)
{
    return format_picture(parse_picture(picture), value);
}

TEST(NumberPicture, RequiredAndOptionalDigits)
{
    EXPECT_EQ(format_number_text("3.5000", "#0.000"), "3.500");
    EXPECT_EQ(format_number_text("0.0000", "#0.000"), "0.000");
    EXPECT_EQ(format_number_text("-12.0000", "#0"), "-12");
    EXPECT_EQ(format_number_text("2.6", "#0"), "3");
    EXPECT_EQ(format_number_text("1234567", "#0"), "1234567");
    EXPECT_EQ(fmt(5, "000"), "005");
    EXPECT_EQ(fmt(0.5, "#.00"), ".50");
    EXPECT_EQ(fmt(0, "#"), "");
    EXPECT_EQ(fmt(12.5, ".00"), "12.50");
}

TEST(NumberPicture, DecimalsRoundHalvesAwayFromZeroOnFifteenDigits)
{
    EXPECT_EQ(fmt(2.675, "0.00"), "2.68");
    EXPECT_EQ(fmt(-2.5, "0"), "-3");
    EXPECT_EQ(fmt(9.9995, "0.000"), "10.000");
    EXPECT_EQ(fmt(1.5, "#0.0#"), "1.5");
    EXPECT_EQ(fmt(1.25, "#0.0#"), "1.25");
    EXPECT_EQ(fmt(1.255, "#0.0#"), "1.26");
    EXPECT_EQ(fmt(1.2, "0.#0"), "1.20");  // a "0" keeps the "#" before it
    EXPECT_EQ(fmt(-0.4, "#0"), "0");      // rounds to zero: no minus
}

std::string reference_grouping(const std::string& digits)
{
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i)
        out += (i > 0 && (digits.size() - i) % 3 == 0 ? "," : "") + std::string(1, digits[i]);
    return out;
}

TEST(NumberPicture, ThousandsGroupingAndScaling)
{
    EXPECT_EQ(format_number_text("1234.0000", "#,##0"), "1,234");
    EXPECT_EQ(fmt(-1234567, "#,##0"), "-1,234,567");
    EXPECT_EQ(fmt(1234.567, "#,##0.00"), "1,234.57");
    EXPECT_EQ(fmt(5, "0,000"), "0,005");
    EXPECT_EQ(fmt(999999.5, "#,##0"), "1,000,000");
    EXPECT_EQ(fmt(12, ",0"), ",12");  // no digit before it: plain text
    EXPECT_EQ(fmt(1234567, "#,##0,"), "1,235");
    EXPECT_EQ(fmt(1500, "0,.0"), "1.5");
    EXPECT_EQ(fmt(12345, "#,##0,\"K\""), "12K");
    for (int k = 1; k <= 15; ++k) {
        const std::string nines(k, '9');
        const std::string power = "1" + std::string(k, '0');
        EXPECT_EQ(format_number_text(nines, "#,##0"), reference_grouping(nines)) << k;
        EXPECT_EQ(format_number_text("-" + power, "#,##0"), "-" + reference_grouping(power)) << k;
    }
}

TEST(NumberPicture, PercentLiteralsAndQuoting)
{
    EXPECT_EQ(fmt(0.125, "0.0%"), "12.5%");
    EXPECT_EQ(fmt(0.0115, "0.0%"), "1.2%");
    EXPECT_EQ(fmt(0.5, "\"%\"0"), "%1");  // quoted: text only
    EXPECT_EQ(fmt(1234, "#,##0円"), "1,234円");
    EXPECT_EQ(fmt(-5, "¥#,##0"), "-¥5");
    EXPECT_EQ(fmt(20240131, "0000/00/00"), "2024/01/31");
    EXPECT_EQ(fmt(3, "\\#0\\円"), "#3円");
    EXPECT_EQ(fmt(3, "0\"a;b\""), "3a;b");
    EXPECT_EQ(fmt(1.5, "0.0.0"), "1.5.0");  // later periods are text
    EXPECT_EQ(fmt(3, "0\"open"), "3open");
    EXPECT_EQ(fmt(3, "0\\"), "3");
    EXPECT_EQ(fmt(3, "Exe"), "Exe");
}

TEST(NumberPicture, Sections)
{
    EXPECT_EQ(fmt(-1234, "#,##0;(#,##0)"), "(1,234)");
    EXPECT_EQ(fmt(0, "#,##0;(#,##0)"), "0");
    EXPECT_EQ(fmt(-0.4, "0;(0)"), "(0)");
    EXPECT_EQ(fmt(-0.0, "0;-0;\"zero\""), "zero");
    EXPECT_EQ(fmt(0.2, "0;-0;\"zero\""), "0");  // chosen before rounding
    EXPECT_EQ(fmt(-5, "0.0;;\"z\""), "-5.0");
    EXPECT_EQ(fmt(0, "0.0;(0);"), "0.0");
    EXPECT_EQ(fmt(-3, ";"), "-3");  // nothing to fall back to: the ordinary text
    EXPECT_EQ(fmt(7, "0;0;0;\"text\""), "7");
}

// Pictures as Japanese books write them: sections, blank zeros, triangles,
// quoted literals, yen signs and full-width text.
struct PictureCase {
    const char* name;
    double value;
    const char* picture;
    const char* expected;
};

class JapanesePictures : public testing::TestWithParam<PictureCase> {};

TEST_P(JapanesePictures, Format)
{
    EXPECT_EQ(fmt(GetParam().value, GetParam().picture), GetParam().expected) << GetParam().picture;
}

INSTANTIATE_TEST_SUITE_P(
    NumberPicture, JapanesePictures,
    testing::Values(PictureCase{"ThreeSectionsPositive", 1200, "#,##0;-#,##0;\"\"", "1,200"},
                    PictureCase{"ThreeSectionsNegative", -1200, "#,##0;-#,##0;\"\"", "-1,200"},
                    PictureCase{"BlankZero", 0, "#,##0;-#,##0;\"\"", ""},
                    PictureCase{"BlankNegative", -3, "0;\"\"", ""},
                    PictureCase{"EmptyZeroSectionStillFallsBack", 0, "#,##0;-#,##0;", "0"},
                    PictureCase{"WhiteTriangle", -1200, "△#,##0", "△1,200"},
                    PictureCase{"WhiteTrianglePositive", 1200, "△#,##0", "1,200"},
                    PictureCase{"TriangleRoundingToZero", -0.4, "△0", "0"},
                    PictureCase{"BlackTriangleInNegativeSection", -5, "#,##0;▲#,##0", "▲5"},
                    PictureCase{"TriangleAfterYen", -1234, "¥△#,##0", "¥△1,234"},
                    PictureCase{"QuotedTriangleIsText", 5, "\"△\"0", "△5"},
                    PictureCase{"TriangleAndBlankZero", 0, "#,##0;△#,##0;\"\"", ""},
                    PictureCase{"Parentheses", -1234, "#,##0;(#,##0)", "(1,234)"},
                    PictureCase{"QuotedYenText", 1234, "#,##0\"円\"", "1,234円"},
                    PictureCase{"QuotedZeroText", 0, "#,##0;-#,##0;\"－\"", "－"},
                    PictureCase{"HalfWidthYen", 1234, "¥#,##0", "¥1,234"},
                    PictureCase{"FullWidthYen", -1234, "￥#,##0", "-￥1,234"},
                    PictureCase{"FullWidthText", 12, "第0期", "第12期"}),
    [](const testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST(PictureParser, FaultsNameTooManySectionsAndOpenQuotes)
{
    EXPECT_EQ(picture_fault(parse_picture("#,##0;-#,##0;\"\"")), "");
    EXPECT_EQ(picture_fault(parse_picture("")), "");
    EXPECT_NE(picture_fault(parse_picture("0;0;0;0")), "");
    EXPECT_NE(picture_fault(parse_picture("0\"円")), "");
    EXPECT_EQ(picture_fault(parse_picture("0;0;\"a;b;c\"")), "");  // quoted semicolons
    EXPECT_EQ(parse_picture("0;0;0;0").sections.size(), 3u);
}

TEST(NumberPicture, ScientificNotation)
{
    EXPECT_EQ(fmt(12345, "0.00E+00"), "1.23E+04");
    EXPECT_EQ(fmt(-0.00012345, "0.00E+00"), "-1.23E-04");
    EXPECT_EQ(fmt(12345, "0.00E-0"), "1.23E4");
    EXPECT_EQ(fmt(0, "0.00E+00"), "0.00E+00");
    EXPECT_EQ(fmt(9.996, "0.00E+00"), "1.00E+01");
    EXPECT_EQ(fmt(5e-324, "0.0E+000"), "4.9E-324");
    EXPECT_EQ(fmt(1.5, "0.0#e+00"), "1.5e+00");
    EXPECT_EQ(fmt(123456, "#,##0.0E+0"), "1234.6E+2");  // no grouping in a mantissa
}

TEST(NumberPicture, EmptyPicturesNonFiniteValuesAndNonNumbers)
{
    EXPECT_EQ(format_number_text(" -12.0000 ", ""), "-12");
    EXPECT_EQ(fmt(std::numeric_limits<double>::quiet_NaN(), "#,##0"), "NaN");
    EXPECT_EQ(fmt(-std::numeric_limits<double>::infinity(), "0;(0)"), "-Infinity");
    EXPECT_EQ(fmt(1e300, "0%%%%%%%%"), "1E+300");  // scaling overflows
    EXPECT_EQ(format_number_text("abc", "#,##0"), "abc");
    EXPECT_EQ(format_number_text("", "#,##0"), "");
    EXPECT_EQ(format_number_text("12abc", "0"), "12abc");
    EXPECT_EQ(format_number_text("1,234.5", "#,##0.00"), "1,234.50");
}

TEST(PictureParser, RecordsDigitsPointGroupingAndScaling)
{
    const PictureSection s = parse_picture("#,##0.0#,").sections.at(0);
    EXPECT_EQ(s.integer_digits, 4u);
    EXPECT_EQ(s.min_integer_digits, 1u);
    EXPECT_EQ(s.fraction_digits, 2u);
    EXPECT_EQ(s.required_fraction_digits, 1u);
    EXPECT_TRUE(s.grouping);
    EXPECT_EQ(s.thousands_scale, 0);  // after the point a comma is text
    EXPECT_EQ(s.tokens.back().text, ",");
    const PictureSection scaled = parse_picture("0,,%").sections.at(0);
    EXPECT_FALSE(scaled.grouping);
    EXPECT_EQ(scaled.thousands_scale, 2);
    EXPECT_EQ(scaled.percent, 1);
}

TEST(PictureParser, MergesLiteralsAndKeepsMultiByteCharacters)
{
    const PictureSection s = parse_picture("¥ \"a\"\\円0 円").sections.at(0);
    ASSERT_EQ(s.tokens.size(), 3u);
    EXPECT_EQ(s.tokens[0].text, "¥ a円");
    EXPECT_EQ(s.tokens[1].kind, PictureTokenKind::IntegerDigit);
    EXPECT_EQ(s.tokens[2].text, " 円");
}

TEST(PictureParser, SplitsSectionsOutsideQuotes)
{
    EXPECT_TRUE(parse_picture("").sections.empty());
    EXPECT_EQ(parse_picture("0;").sections.size(), 2u);
    EXPECT_EQ(parse_picture("0;0;0;0;0").sections.size(), 3u);
    EXPECT_EQ(parse_picture("\"a;b\";\\;").sections.size(), 2u);
    EXPECT_EQ(parse_picture("\"a;b;c").sections.size(), 1u);
}

TEST(PictureParser, RecordsOnlyTheFirstExponent)
{
    const PictureSection s = parse_picture("0.00E+000 E-0").sections.at(0);
    EXPECT_TRUE(s.scientific);
    EXPECT_EQ(s.tokens[4].kind, PictureTokenKind::Exponent);
    EXPECT_EQ(s.tokens[4].exponent_digits, 3u);
    EXPECT_EQ(s.tokens.back().text, " E-0");
    EXPECT_FALSE(parse_picture("0E+").sections.at(0).scientific);
    EXPECT_FALSE(parse_picture("0E0").sections.at(0).scientific);
}

TEST(NumberPicture, LargePicturesAndValuesStayBounded)
{
    const std::string zeros(5000, '0');
    EXPECT_EQ(fmt(7, zeros).size(), 5000u);
    // The smallest double, 4.94065645841247e-324, then zeros to the end.
    EXPECT_EQ(fmt(5e-324, "0." + zeros), "0." + std::string(323, '0') + "494065645841247" + std::string(4662, '0'));
    EXPECT_EQ(fmt(1e308, "#,##0").size(), 309u + 102u);
    EXPECT_EQ(fmt(-1e308, "0." + std::string(3000, '#')), "-1" + std::string(308, '0') + ".");
}

TEST(NumberPicture, RandomPicturesAlwaysFormat)
{
    // Only that some text comes back: the sanitizer build checks the rest.
    const std::string alphabet[] = {"0", "#", ".", ",", ";", "%", "E", "+", "-", "\"", "\\", " ", "¥", "円", "a"};
    const double values[] = {0.0, -0.0, -0.4, 1234.5678, 1e308, -1e308, 5e-324, 999999.9995,
                             std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    std::mt19937 random(482);
    std::uniform_int_distribution<std::size_t> letter(0, std::size(alphabet) - 1), pick(0, std::size(values) - 1);
    std::uniform_real_distribution<double> exponent(-320, 308);
    for (int i = 0; i < 20000; ++i) {
        std::string picture;
        for (auto n = random() % 41; n > 0; --n)
            picture += alphabet[letter(random)];
        const double value = i % 2 ? values[pick(random)] : std::pow(10.0, exponent(random)) * (i % 4 ? 1 : -1);
        ASSERT_LE(fmt(value, picture).size(), 1000u) << picture << " " << value;
    }
}

}  // namespace
}  // namespace kt482
