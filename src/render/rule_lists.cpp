#include "render/rule_lists.h"

#include "job/error_trap.h"
#include "job/number_text.h"

namespace kt482 {

float number_field(std::string_view text)
{
    return must(to_r4(must(parse_number_text(text))));
}

float offset_from(float base, std::string_view item)
{
    return static_cast<float>(static_cast<double>(number_field(item)) + base);
}

GridRange parse_range(std::string_view range, float base)
{
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos)
        return {};
    return {offset_from(base, range.substr(0, dash)), offset_from(base, range.substr(dash + 1))};
}

}  // namespace kt482
