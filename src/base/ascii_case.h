// Letter case folded for ASCII letters only, as in member names, printer
// names, truth words and barcode options; other bytes compare as they are.
#pragma once

#include <string>
#include <string_view>

namespace kt482 {

constexpr char ascii_upper(char c) noexcept
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string ascii_upper_case(std::string text)
{
    for (char& c : text)
        c = ascii_upper(c);
    return text;
}

constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_upper(a[i]) != ascii_upper(b[i]))
            return false;
    }
    return true;
}

}  // namespace kt482
