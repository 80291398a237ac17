// Half-width cells: the width measure of Japanese business forms, which clip
// their texts to a number of cells. A character takes as many cells as it has
// bytes in code page 932, the common Japanese code page: 1 for ASCII and the
// half-width katakana, 2 for the full-width characters. A character that the
// code page cannot encode takes 2 cells if its East Asian Width is Wide or
// Fullwidth, else 1. Control characters take 1 cell.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kt482 {

// The cells of one code point: 1 or 2. Code points that are no Unicode
// scalar values (surrogates, beyond U+10FFFF) take 1 cell.
int half_width_cells(char32_t code_point);

// The cells of a UTF-8 text. A byte that does not start a valid sequence
// counts as a character of its own with 1 cell.
std::size_t text_half_width_cells(std::string_view utf8);

// The longest start of a UTF-8 text that fits in n cells, cut between
// characters: the whole text if it fits, else its characters in order until
// the cells are used up. A full-width character that would need the last
// cell and one more is left out, and the text ends before it, so the result
// may take n - 1 cells. Nothing fits in 0 or fewer cells.
std::string FitToCells(std::string_view utf8, int n);

}  // namespace kt482
