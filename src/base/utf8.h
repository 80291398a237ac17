// The one UTF-8 decoder of the library. Only well-formed sequences count:
// no overlong forms, no surrogates, nothing beyond U+10FFFF, nothing cut
// short. Callers decide what a byte that starts no valid sequence means
// (a failure, one cell, a replacement character); nothing is ever read
// beyond the text.
#pragma once

#include <cstddef>
#include <string_view>

namespace kt482 {

struct Utf8Char {
    char32_t code_point = 0;
    std::size_t length = 0;  // bytes; 0 when the text does not start with a valid sequence
};

namespace utf8_detail {

// The sequence a lead byte announces: its length, the bits it carries and
// the range allowed for the second byte (which rules out overlong forms,
// surrogates and code points beyond U+10FFFF). Length 0: not a lead byte.
struct Lead {
    std::size_t length;
    char32_t bits;
    unsigned char low;
    unsigned char high;
};

constexpr Lead lead_of(unsigned char lead) noexcept
{
    if (lead < 0x80)
        return {1, lead, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, static_cast<char32_t>(lead & 0x1F), 0x80, 0xBF};
    if (lead >= 0xE0 && lead <= 0xEF)
        return {3, static_cast<char32_t>(lead & 0x0F), static_cast<unsigned char>(lead == 0xE0 ? 0xA0 : 0x80),
                static_cast<unsigned char>(lead == 0xED ? 0x9F : 0xBF)};
    if (lead >= 0xF0 && lead <= 0xF4)
        return {4, static_cast<char32_t>(lead & 0x07), static_cast<unsigned char>(lead == 0xF0 ? 0x90 : 0x80),
                static_cast<unsigned char>(lead == 0xF4 ? 0x8F : 0xBF)};
    return {0, 0, 0, 0};
}

constexpr bool byte_fits(const Lead& lead, std::size_t index, unsigned char byte) noexcept
{
    return index == 1 ? byte >= lead.low && byte <= lead.high : byte >= 0x80 && byte <= 0xBF;
}

}  // namespace utf8_detail

// The character at the start of text; length 0 when text is empty or does
// not start with a well-formed sequence.
constexpr Utf8Char decode_utf8(std::string_view text) noexcept
{
    if (text.empty())
        return {};
    const auto lead = utf8_detail::lead_of(static_cast<unsigned char>(text[0]));
    if (lead.length == 0 || text.size() < lead.length)
        return {};
    char32_t code_point = lead.bits;
    for (std::size_t i = 1; i < lead.length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!utf8_detail::byte_fits(lead, i, byte))
            return {};
        code_point = (code_point << 6) | (byte & 0x3F);
    }
    return {code_point, lead.length};
}

// The byte length of the valid sequence at the start of text, or 0.
constexpr std::size_t utf8_sequence_length(std::string_view text) noexcept
{
    return decode_utf8(text).length;
}

// True when text is not empty and is the beginning of a valid sequence
// that goes on beyond its end: a sequence cut short, not a wrong one.
constexpr bool is_cut_utf8_sequence(std::string_view text) noexcept
{
    if (text.empty())
        return false;
    const auto lead = utf8_detail::lead_of(static_cast<unsigned char>(text[0]));
    if (lead.length <= text.size())
        return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (!utf8_detail::byte_fits(lead, i, static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

}  // namespace kt482
