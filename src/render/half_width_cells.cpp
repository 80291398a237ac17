#include "render/half_width_cells.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "base/utf8.h"

namespace kt482 {
namespace {

struct WideRange {
    char32_t first;
    char32_t last;
};

// Written by scripts/gen-half-width-cells.py from glibc's code page 932
// encoder and the Unicode East Asian Widths; regenerate it rather than edit.
constexpr WideRange kWideRanges[] = {
#include "render/half_width_cells_table.inc"
};

constexpr bool sorted_and_disjoint()
{
    for (std::size_t i = 0; i < std::size(kWideRanges); ++i) {
        if (kWideRanges[i].first > kWideRanges[i].last)
            return false;
        if (i > 0 && kWideRanges[i - 1].last >= kWideRanges[i].first)
            return false;
    }
    return true;
}
static_assert(sorted_and_disjoint(), "the binary search needs sorted, disjoint ranges");

// The character at the start of a non-empty text. Anything but a
// well-formed sequence (a stray continuation byte, an overlong form, a
// surrogate, a sequence cut short) is taken as a single byte, so that a
// damaged text still advances one byte at a time.
Utf8Char next_char(std::string_view text)
{
    const Utf8Char c = decode_utf8(text);
    return c.length != 0 ? c : Utf8Char{static_cast<unsigned char>(text[0]), 1};
}

// A single byte is ASCII or a byte that starts no valid sequence, which is
// taken as 1 cell although its value may look like a wide code point.
int cells_of(Utf8Char c)
{
    return c.length == 1 ? 1 : half_width_cells(c.code_point);
}

}  // namespace

int half_width_cells(char32_t code_point)
{
    // Everything below the first wide range, ASCII among it, is narrow.
    if (code_point < kWideRanges[0].first)
        return 1;
    // The first range that ends at or after the code point is the only one
    // that can hold it.
    const auto range = std::lower_bound(std::begin(kWideRanges), std::end(kWideRanges), code_point,
                                        [](const WideRange& r, char32_t cp) { return r.last < cp; });
    if (range == std::end(kWideRanges) || code_point < range->first)
        return 1;
    return 2;
}

std::size_t text_half_width_cells(std::string_view utf8)
{
    std::size_t cells = 0;
    while (!utf8.empty()) {
        const Utf8Char c = next_char(utf8);
        cells += cells_of(c);
        utf8.remove_prefix(c.length);
    }
    return cells;
}

std::string FitToCells(std::string_view utf8, int n)
{
    if (n <= 0)
        return {};
    // The characters are taken in order while they fit. The first one that
    // does not fit ends the text, even when a narrower one after it would
    // still have fitted; a text that fits as a whole comes out unchanged.
    const auto limit = static_cast<std::size_t>(n);
    std::size_t cells = 0;
    std::size_t fitting_bytes = 0;
    while (fitting_bytes < utf8.size()) {
        const Utf8Char c = next_char(utf8.substr(fitting_bytes));
        cells += cells_of(c);
        if (cells > limit)
            break;
        fitting_bytes += c.length;
    }
    return std::string(utf8.substr(0, fitting_bytes));
}

}  // namespace kt482
