// Breaking a text into the lines of a box, by the line-breaking rules of
// Japanese text as ICU's line BreakIterator applies them: no line starts
// with closing brackets, 、。, small kana or ー, none ends with an opening
// bracket, and Latin words stay whole. Explicit line ends (LF, CR LF, CR)
// are kept. A word longer than a line on its own is broken between
// characters, as there is no better place.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kt482::text {

// The length of a piece of text along its line, in the unit of the limit.
using MeasureText = std::function<double(std::string_view)>;

// The lines of text (UTF-8), each no longer than limit as measure finds it
// (but for a single character longer than the limit, which stands alone).
// Blanks where a line is broken are dropped from its end; nothing else is
// added or lost. An empty text is one empty line.
std::vector<std::string> break_lines(std::string_view text, double limit, const MeasureText& measure);

}  // namespace kt482::text
