// Number texts: the fixed patterns of the spool ("#0.000", "#0.0000", "#0"),
// the ordinary decimal text of a value, reading number texts, and the
// conversions of automation values with their rounding and overflow rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "kt482/failure.h"
#include "kt482/variant.h"

namespace kt482 {

// A 32-bit float carries 7 significant decimal digits, a 64-bit one 15: a
// value is first taken to that many digits, as its ordinary text shows it,
// and then rounded to the pattern's decimals with halves away from zero, so
// 2.675 gives 2.68 although its binary value lies just below.
inline constexpr int kSingleDigits = 7;
inline constexpr int kDoubleDigits = 15;

// The value with exactly `decimals` decimals ("#0.000" is 3, "#0" is 0), at
// least one integer digit, a period, no grouping. A result that rounds to
// zero has no minus sign.
std::string format_fixed(double value, int decimals, int significant_digits = kDoubleDigits);
// The same for a 32-bit float, with its 7 digits (a fast path of the above).
std::string format_fixed_single(float value, int decimals);
inline std::string format_fixed(float value, int decimals)
{
    return format_fixed_single(value, decimals);
}

// The ordinary decimal text of a number: no leading zeros or blanks, no
// grouping, trailing decimal zeros dropped ("12.5", "0.5", "-3", "1E+20").
std::string number_to_text(double value, int significant_digits = kDoubleDigits);

// A value as text: a text unchanged, a number in its ordinary text, a
// boolean "True" or "False", empty as the empty text. Null is a failure.
Result<std::string> value_to_text(const Variant& value);

// Reads a number text: blanks around it, a leading sign, digits with
// optional grouping commas, a period, an exponent. Empty or anything else
// is a type mismatch; beyond the double range an overflow.
Result<double> parse_number_text(std::string_view text);

// Whole numbers round halves to the even neighbour; outside the 16-bit
// range, or not a number, is an overflow.
Result<int16_t> to_i2(double value);
// Whole numbers as to_i2 does, within the 32-bit range.
Result<int32_t> to_i4(double value);
// Outside the 32-bit float range is an overflow.
Result<float> to_r4(double value);

// Conversions of automation values to parameter types.
Result<int16_t> variant_to_i2(const Variant& value);
Result<float> variant_to_r4(const Variant& value);
Result<int32_t> variant_to_i4(const Variant& value);
Result<bool> variant_to_bool(const Variant& value);
Result<std::string> variant_to_text(const Variant& value);

// Unicode code points in a valid UTF-8 text.
std::size_t count_code_points(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD, so that a recorded text always reads back.
std::string to_valid_utf8(std::string_view text);
bool is_valid_utf8(std::string_view text);

// text itself when it is valid UTF-8, else its repaired copy in scratch.
inline std::string_view valid_utf8_view(const std::string& text, std::string& scratch)
{
    if (is_valid_utf8(text))
        return text;
    scratch = to_valid_utf8(text);
    return scratch;
}

}  // namespace kt482
