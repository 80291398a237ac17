// Comparing names: member names, printer names, truth words. Letter case is
// folded for ASCII letters only, as the names are.
#pragma once

#include <string>
#include <string_view>

namespace kt482 {

char ascii_upper(char c);
std::string ascii_upper_case(std::string text);
bool equal_ignoring_case(std::string_view a, std::string_view b);
std::string_view without_trailing_blanks(std::string_view text);

}  // namespace kt482
