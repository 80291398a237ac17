#include <gtest/gtest.h>

#include <string>

#include "base/utf8.h"

namespace kt482::test {
namespace {

std::string encode(char32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

TEST(Utf8, EveryScalarValueDecodesToItselfAndNothingReadsPastTheEnd)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::string bytes = encode(cp);
        const Utf8Char c = decode_utf8(bytes + "\x80");
        ASSERT_EQ(static_cast<uint32_t>(c.code_point), static_cast<uint32_t>(cp));
        ASSERT_EQ(c.length, bytes.size());
        for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
            const std::string_view prefix(bytes.data(), cut);
            ASSERT_EQ(decode_utf8(prefix).length, 0u) << std::hex << static_cast<uint32_t>(cp);
            ASSERT_TRUE(is_cut_utf8_sequence(prefix)) << std::hex << static_cast<uint32_t>(cp);
        }
    }
}

TEST(Utf8, IllFormedSequencesStartNoCharacter)
{
    struct Case {
        const char* name;
        std::string bytes;
        bool cut;  // could still become valid with more bytes
    };
    const Case cases[] = {
        {"empty", "", false},
        {"stray continuation", "\x80", false},
        {"overlong two-byte", "\xC0\x80", false},
        {"overlong two-byte C1", "\xC1\xBF", false},
        {"overlong three-byte", "\xE0\x80\x80", false},
        {"overlong three-byte, cut", "\xE0\x9F", false},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
        {"lead F5", "\xF5\x80\x80\x80", false},
        {"lead FF", "\xFF", false},
        {"continuation missing", "\xE3\x41\x81", false},
        {"three-byte cut after its lead", "\xE3", true},
        {"four-byte cut after three", "\xF0\x9F\x98", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode_utf8(c.bytes).length, 0u) << c.name;
        EXPECT_EQ(is_cut_utf8_sequence(c.bytes), c.cut) << c.name;
    }
    // Ordinary characters are never reported as cut.
    EXPECT_FALSE(is_cut_utf8_sequence("a"));
    EXPECT_FALSE(is_cut_utf8_sequence("\xE8\xAB\x8B"));
}

}  // namespace
}  // namespace kt482::test
