#include "job/number_text.h"

#include "job/name_text.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kt482 {
namespace {

// A finite value as sign, significant digits and the decimal exponent of
// the first digit: value = 0.d1d2d3... x 10^(point).
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int point = 0;
};

DecimalDigits decimal_digits(double value, int significant)
{
    // to_chars rounds the exact binary value and ignores the C locale.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1);
    DecimalDigits d;
    const char* p = buffer;
    if (p < result.ptr && *p == '-') {
        d.negative = true;
        ++p;
    }
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits += *p;
    }
    int exponent = 0;
    if (p < result.ptr && *p == 'e') {
        ++p;
        if (p < result.ptr && *p == '+')
            ++p;
        std::from_chars(p, result.ptr, exponent);
    }
    d.point = exponent + 1;
    return d;
}

bool all_zero(const std::string& digits)
{
    return digits.find_first_not_of('0') == std::string::npos;
}

// Rounds the digits to `keep` digits, halves away from zero; a carry out of
// the first digit moves the point.
void round_digits(DecimalDigits& d, int keep)
{
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits = "0";
        d.point = 1;
        return;
    }
    bool up = d.digits[keep] >= '5';
    d.digits.resize(keep);
    if (!up)
        return;
    int i = keep - 1;
    for (; i >= 0; --i) {
        if (d.digits[i] != '9') {
            ++d.digits[i];
            break;
        }
        d.digits[i] = '0';
    }
    if (i < 0) {
        d.digits.insert(d.digits.begin(), '1');
        d.point += 1;
    }
}

char digit_at(const DecimalDigits& d, int index)
{
    return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0';
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::string format_fixed_single(float value, int decimals)
{
    // A float times a power of ten up to 10^12 is exact in a double (24
    // mantissa bits and at most 28 bits of 5^k), so both roundings can be
    // done in integers. Magnitudes of 10^7 and more take the general path.
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
    static constexpr int64_t kIntPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                                             1000000000, 10000000000, 100000000000, 1000000000000};
    const double a = std::fabs(static_cast<double>(value));
    if (!(a < 1e7) || decimals < 0 || decimals > 5)
        return format_fixed(static_cast<double>(value), decimals, kSingleDigits);

    int64_t q = 0;  // the result in units of 10^-decimals
    int k = 0;      // a * 10^k gets seven integer digits
    while (k <= 12 && a * kPowers[k] < 1e6)
        ++k;
    // Below 10^-6 nothing can round up to a shown digit.
    if (k <= 12) {
        const int64_t r = static_cast<int64_t>(std::nearbyint(a * kPowers[k]));
        if (k > decimals) {
            const int64_t divisor = kIntPowers[k - decimals];
            q = r / divisor;
            if ((r % divisor) * 2 >= divisor)
                ++q;
        } else {
            q = r * kIntPowers[decimals - k];
        }
    }

    char buffer[48];
    char* p = buffer;
    if (std::signbit(value) && q != 0)
        *p++ = '-';
    const int64_t scale = kIntPowers[decimals];
    p = std::to_chars(p, buffer + sizeof buffer, q / scale).ptr;
    if (decimals > 0) {
        *p++ = '.';
        int64_t fraction = q % scale;
        for (int i = decimals - 1; i >= 0; --i) {
            p[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        p += decimals;
    }
    return std::string(buffer, p);
}

std::string format_fixed(double value, int decimals, int significant_digits)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value < 0 ? "-Infinity" : "Infinity");
    DecimalDigits d = decimal_digits(value, significant_digits);
    round_digits(d, d.point + decimals);

    std::string integer;
    for (int i = 0; i < d.point; ++i)
        integer += digit_at(d, i);
    if (integer.empty())
        integer = "0";
    std::string fraction;
    for (int i = 0; i < decimals; ++i)
        fraction += digit_at(d, d.point + i);

    std::string text;
    if (d.negative && !all_zero(d.digits))
        text += '-';
    text += integer;
    if (decimals > 0)
        text += '.' + fraction;
    return text;
}

std::string number_to_text(double value, int significant_digits)
{
    if (!std::isfinite(value))
        return format_fixed(value, 0);
    if (value == 0)
        return "0";
    DecimalDigits d = decimal_digits(value, significant_digits);
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    const int digits = static_cast<int>(d.digits.size());
    std::string text = d.negative ? "-" : "";

    // Very large and very small magnitudes take the exponent form.
    const int exponent = d.point - 1;
    if (exponent >= significant_digits || exponent < -5) {
        text += d.digits[0];
        if (digits > 1)
            text += '.' + d.digits.substr(1);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return text + buffer;
    }
    if (d.point <= 0)
        return text + "0." + std::string(-d.point, '0') + d.digits;
    if (d.point >= digits)
        return text + d.digits + std::string(d.point - digits, '0');
    return text + d.digits.substr(0, d.point) + '.' + d.digits.substr(d.point);
}

Result<std::string> value_to_text(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return std::string();
    case Variant::Type::Null: return Failure(ErrorNumber::InvalidUseOfNull);
    case Variant::Type::Bool: return std::string(value.as_bool() ? "True" : "False");
    case Variant::Type::I2: return std::to_string(value.as_i2());
    case Variant::Type::I4: return std::to_string(value.as_i4());
    case Variant::Type::R4: return number_to_text(value.as_r4(), kSingleDigits);
    case Variant::Type::R8: return number_to_text(value.as_r8(), kDoubleDigits);
    case Variant::Type::Text: return value.as_text();
    }
    return std::string();
}

Result<double> parse_number_text(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;

    std::string plain;
    std::size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            plain += '-';
        ++i;
    }
    int digits = 0;
    // Grouping commas may stand between integer digits only.
    for (; i < end && ((text[i] >= '0' && text[i] <= '9') || (text[i] == ',' && digits > 0)); ++i) {
        if (text[i] != ',') {
            plain += text[i];
            ++digits;
        }
    }
    if (i < end && text[i] == '.') {
        plain += text[i++];
        for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
            plain += text[i];
    }
    if (digits == 0)
        return Failure(ErrorNumber::TypeMismatch);
    if (i < end && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        plain += 'e';
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-'))
            plain += text[i++];
        int exponent_digits = 0;
        for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i, ++exponent_digits)
            plain += text[i];
        if (exponent_digits == 0)
            return Failure(ErrorNumber::TypeMismatch);
    }
    if (i != end)
        return Failure(ErrorNumber::TypeMismatch);

    double value = 0;
    auto [end_of_number, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    (void)end_of_number;
    if (error == std::errc::result_out_of_range) {
        // Too small underflows to zero; too large is an overflow.
        std::size_t e = plain.find('e');
        if (e != std::string::npos && plain.find('-', e) != std::string::npos)
            return 0.0;
        return Failure(ErrorNumber::Overflow);
    }
    if (error != std::errc())
        return Failure(ErrorNumber::TypeMismatch);
    return value;
}

Result<int16_t> to_i2(double value)
{
    if (std::isnan(value))
        return Failure(ErrorNumber::Overflow);
    double whole = std::nearbyint(value);  // halves to even in the default mode
    if (whole < -32768.0 || whole > 32767.0)
        return Failure(ErrorNumber::Overflow);
    return static_cast<int16_t>(whole);
}

Result<int32_t> to_i4(double value)
{
    if (std::isnan(value))
        return Failure(ErrorNumber::Overflow);
    double whole = std::nearbyint(value);
    if (whole < -2147483648.0 || whole > 2147483647.0)
        return Failure(ErrorNumber::Overflow);
    return static_cast<int32_t>(whole);
}

Result<float> to_r4(double value)
{
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
        return Failure(ErrorNumber::Overflow);
    return static_cast<float>(value);
}

Result<int16_t> variant_to_i2(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return int16_t{0};
    case Variant::Type::Null: return Failure(ErrorNumber::InvalidUseOfNull);
    case Variant::Type::Text: {
        auto number = parse_number_text(value.as_text());
        if (!number)
            return number.failure();
        return to_i2(*number);
    }
    default: return to_i2(value.number());
    }
}

Result<int32_t> variant_to_i4(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return int32_t{0};
    case Variant::Type::Null: return Failure(ErrorNumber::InvalidUseOfNull);
    case Variant::Type::Text: {
        auto number = parse_number_text(value.as_text());
        if (!number)
            return number.failure();
        return to_i4(*number);
    }
    default: return to_i4(value.number());
    }
}

Result<float> variant_to_r4(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return 0.0f;
    case Variant::Type::Null: return Failure(ErrorNumber::InvalidUseOfNull);
    case Variant::Type::R4: return value.as_r4();
    case Variant::Type::Text: {
        auto number = parse_number_text(value.as_text());
        if (!number)
            return number.failure();
        return to_r4(*number);
    }
    default: return to_r4(value.number());
    }
}

Result<bool> variant_to_bool(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::Empty: return false;
    case Variant::Type::Null: return Failure(ErrorNumber::InvalidUseOfNull);
    case Variant::Type::Text: {
        std::string_view text = value.as_text();
        while (!text.empty() && is_blank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && is_blank(text.back()))
            text.remove_suffix(1);
        if (equal_ignoring_case(text, "true"))
            return true;
        if (equal_ignoring_case(text, "false"))
            return false;
        auto number = parse_number_text(text);
        if (!number)
            return number.failure();
        return *number != 0;
    }
    default: return value.number() != 0;
    }
}

Result<std::string> variant_to_text(const Variant& value)
{
    return value_to_text(value);
}

std::size_t count_code_points(std::string_view text)
{
    // Every byte but a continuation byte starts a character; written without
    // a branch so that the compiler can vectorise it.
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

bool is_valid_utf8(std::string_view text)
{
    while (!text.empty()) {
        // Runs of ASCII are skipped eight bytes at a time.
        while (text.size() >= 8) {
            uint64_t word;
            std::memcpy(&word, text.data(), sizeof word);
            if (word & 0x8080808080808080ull)
                break;
            text.remove_prefix(8);
        }
        if (text.empty())
            break;
        if (static_cast<unsigned char>(text.front()) < 0x80) {
            text.remove_prefix(1);
            continue;
        }
        const std::size_t length = utf8_sequence_length(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string to_valid_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = utf8_sequence_length(text);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            length = 1;
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace kt482
