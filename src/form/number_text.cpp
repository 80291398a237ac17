#include "form/number_text.h"

namespace kt482::form {

std::string picture_text(std::string_view picture, const Decimal& value)
{
    const auto is_spec = [](char c) { return c == '#' || c == '0' || c == ',' || c == '.'; };
    std::size_t first = 0;
    while (first < picture.size() && !is_spec(picture[first]))
        ++first;
    std::size_t end = first;
    while (end < picture.size() && is_spec(picture[end]))
        ++end;
    const std::string_view digits = picture.substr(first, end - first);
    const std::size_t point = digits.find('.');
    const std::string_view decimals = point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
    const int places = static_cast<int>(decimals.size());
    const int fixed_places = static_cast<int>(decimals.find_last_of('0') + 1);  // npos + 1 is 0
    const bool grouped = digits.substr(0, point).find(',') != std::string_view::npos;
    const bool zero_shown = digits.find('0') != std::string_view::npos;
    if (value.rounded(places, Rounding::HalfUp).is_zero() && !zero_shown)
        return {};
    std::string number = grouped ? value.grouped_text(places) : value.text(places);
    // A '#' place shows its digit only when it is not a trailing zero.
    for (int shown = places; shown > fixed_places && number.back() == '0'; --shown)
        number.pop_back();
    if (!number.empty() && number.back() == '.')
        number.pop_back();
    return std::string(picture.substr(0, first)) + number + std::string(picture.substr(end));
}

}  // namespace kt482::form
