// The texts of rule sets: a list of offsets ("0;2;4", a ";" at the very end
// allowed) and a range ("1-10", split at the first "-"). Each number is read
// as a 32-bit float and added to a base row or column.
#pragma once

#include <string_view>

namespace kt482 {

// A number text as a 32-bit float; raises TypeMismatch or Overflow.
float number_field(std::string_view text);

// The offset plus base, as a 32-bit float.
float offset_from(float base, std::string_view item);

struct GridRange {
    float first = 0;
    float last = 0;
};

// Special case: a range without a "-" is 0 to 0, whatever the base.
GridRange parse_range(std::string_view range, float base);

// Calls draw(position) for each item of the list in order, in one pass. An
// empty item other than a final one raises TypeMismatch when it is reached,
// after the items before it were drawn.
template <class Draw>
void for_each_list_item(std::string_view list, float base, Draw&& draw)
{
    std::size_t i = 0;
    while (i < list.size()) {
        std::size_t j = list.find(';', i);
        if (j == std::string_view::npos)
            j = list.size();
        draw(offset_from(base, list.substr(i, j - i)));
        i = j + 1;
    }
}

}  // namespace kt482
