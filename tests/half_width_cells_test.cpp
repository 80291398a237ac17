#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "render/half_width_cells.h"

namespace kt482 {
namespace {

TEST(HalfWidthCells, CodePageBytesDecide)
{
    EXPECT_EQ(half_width_cells(U'A'), 1);
    EXPECT_EQ(half_width_cells(U'\t'), 1);
    EXPECT_EQ(half_width_cells(U'\u0085'), 1);  // a control character that code page 932 lacks
    EXPECT_EQ(half_width_cells(U'\uFF76'), 1);  // half-width katakana KA
    EXPECT_EQ(half_width_cells(U'\u3042'), 2);  // hiragana A
    EXPECT_EQ(half_width_cells(U'\u4E9C'), 2);
    EXPECT_EQ(half_width_cells(U'\u0391'), 2);  // Greek capital alpha is full-width in the code page
    EXPECT_EQ(half_width_cells(U'\u00D7'), 2);  // multiplication sign
    EXPECT_EQ(half_width_cells(U'\uE000'), 2);  // the first user-defined character
    // glibc encodes the yen sign and the overline as the single bytes of the
    // backslash and the tilde, and the em dash as the double byte of U+2015.
    EXPECT_EQ(half_width_cells(U'\u00A5'), 1);
    EXPECT_EQ(half_width_cells(U'\u203E'), 1);
    EXPECT_EQ(half_width_cells(U'\u2014'), 2);
}

TEST(HalfWidthCells, EastAsianWidthDecidesOutsideTheCodePage)
{
    EXPECT_EQ(half_width_cells(U'\U0001F600'), 2);  // an emoji: Wide
    EXPECT_EQ(half_width_cells(U'\uAC00'), 2);      // a Hangul syllable: Wide
    EXPECT_EQ(half_width_cells(U'\u00E9'), 1);      // e with acute: Ambiguous
    EXPECT_EQ(half_width_cells(U'\U00020B9F'), 2);  // an ideograph beyond the code page
    EXPECT_EQ(half_width_cells(U'\U0002FFF0'), 2);  // unassigned, but in the ideograph plane
    EXPECT_EQ(half_width_cells(U'\u0378'), 1);      // unassigned elsewhere
    EXPECT_EQ(half_width_cells(U'\U0010FFFF'), 1);
    EXPECT_EQ(half_width_cells(0x110000), 1);
    EXPECT_EQ(half_width_cells(0xFFFFFFFF), 1);
}

TEST(HalfWidthCells, TextsAddTheirCharacters)
{
    EXPECT_EQ(text_half_width_cells(""), 0u);
    EXPECT_EQ(text_half_width_cells("ABC"), 3u);
    EXPECT_EQ(text_half_width_cells("A\u3042\uFF76\U0001F600"), 6u);
    // Broken bytes are 1 cell each, even one whose value is a wide code point.
    EXPECT_EQ(text_half_width_cells("\xA2\x80"), 2u);
    EXPECT_EQ(text_half_width_cells("\xE3\x81"), 2u);  // a sequence cut short
    EXPECT_EQ(text_half_width_cells("\xED\xA0\x80"), 3u);  // an encoded surrogate
}

TEST(FitToCells, WholeTextWhenItFits)
{
    EXPECT_EQ(FitToCells("ABCDE", 5), "ABCDE");
    EXPECT_EQ(FitToCells("ABCDE", 100), "ABCDE");
    EXPECT_EQ(FitToCells("\u3042\u3044", 4), "\u3042\u3044");
    EXPECT_EQ(FitToCells("", 0), "");
    EXPECT_EQ(FitToCells("", -1), "");
}

TEST(FitToCells, CutsBetweenCharacters)
{
    EXPECT_EQ(FitToCells("ABCDE", 3), "ABC");
    EXPECT_EQ(FitToCells("\u3042\u3044\u3046", 5), "\u3042\u3044");
    EXPECT_EQ(FitToCells("\u3042\u3044\u3046", 4), "\u3042\u3044");
    EXPECT_EQ(FitToCells("\uFF76\uFF80\uFF76\uFF85\u6F22\u5B57", 5), "\uFF76\uFF80\uFF76\uFF85");
    EXPECT_EQ(FitToCells("\uFF76\uFF80\uFF76\uFF85\u6F22\u5B57", 6), "\uFF76\uFF80\uFF76\uFF85\u6F22");
    EXPECT_EQ(FitToCells("No\U0001F600!", 3), "No");
    EXPECT_EQ(FitToCells("\uAC00\u00E9", 2), "\uAC00");
}

TEST(FitToCells, AWideCharacterThatOverflowsEndsTheText)
{
    // The narrow B after the left-out character would fit, but is not taken.
    EXPECT_EQ(FitToCells("A\u3042B", 2), "A");
    EXPECT_EQ(FitToCells("\u3042", 1), "");
}

TEST(FitToCells, NothingFitsInNoCells)
{
    EXPECT_EQ(FitToCells("ABC", 0), "");
    EXPECT_EQ(FitToCells("ABC", -3), "");
}

TEST(FitToCells, BrokenBytesAreCopiedAsNarrowCharacters)
{
    EXPECT_EQ(FitToCells("A\xFF\xA2Z", 3), "A\xFF\xA2");
    EXPECT_EQ(FitToCells("AB\xE3\x81", 3), "AB\xE3");
    EXPECT_EQ(FitToCells("AB\xE3\x81", 4), "AB\xE3\x81");
}

// The number of bytes glibc's code page 932 encoder gives a code point, or 0
// if it refuses it. Strict: without //TRANSLIT nothing is approximated.
class Cp932Encoder {
public:
    Cp932Encoder() : cd_(iconv_open("CP932", "UTF-32LE")) {}
    ~Cp932Encoder()
    {
        if (ok())
            iconv_close(cd_);
    }
    Cp932Encoder(const Cp932Encoder&) = delete;
    Cp932Encoder& operator=(const Cp932Encoder&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::size_t bytes(char32_t code_point)
    {
        unsigned char in[4];
        for (int i = 0; i < 4; ++i)
            in[i] = static_cast<unsigned char>(code_point >> (8 * i));
        char out[8];
        char* in_ptr = reinterpret_cast<char*>(in);
        char* out_ptr = out;
        std::size_t in_left = sizeof in;
        std::size_t out_left = sizeof out;
        const std::size_t result = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (result == static_cast<std::size_t>(-1))
            return 0;
        return sizeof out - out_left;
    }

private:
    iconv_t cd_;
};

TEST(HalfWidthCells, TableAgreesWithTheSystemEncoder)
{
    Cp932Encoder encoder;
    ASSERT_TRUE(encoder.ok()) << std::strerror(errno);
    int encodable = 0;
    int mismatches = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::size_t bytes = encoder.bytes(cp);
        if (bytes == 0)
            continue;
        ++encodable;
        if (static_cast<std::size_t>(half_width_cells(cp)) != bytes && ++mismatches <= 10)
            ADD_FAILURE() << "U+" << std::hex << static_cast<std::uint32_t>(cp) << " encodes in " << bytes
                          << " bytes";
    }
    EXPECT_EQ(mismatches, 0);
    // A broken converter that refused everything would pass the loop above.
    EXPECT_GT(encodable, 9000);
}

}  // namespace
}  // namespace kt482
