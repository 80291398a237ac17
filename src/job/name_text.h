// Comparing names: member names, printer names, truth words. Letter case is
// folded for ASCII letters only, as the names are.
#pragma once

#include <string_view>

#include "base/ascii_case.h"

namespace kt482 {

std::string_view without_trailing_blanks(std::string_view text);

}  // namespace kt482
