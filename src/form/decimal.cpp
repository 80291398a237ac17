#include "form/decimal.h"

#include <algorithm>
#include <charconv>

namespace kt482::form {
namespace {

// 10^38 is the largest power of ten below 2^127; keeping 10^36 leaves room
// for the carry of an addition.
constexpr int kMaxDigits = 36;

__int128 power_of_ten(int n)
{
    __int128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

const __int128 kLimit = power_of_ten(kMaxDigits);

__int128 magnitude(__int128 v) { return v < 0 ? -v : v; }

std::string digits_of(__int128 v)
{
    if (v == 0)
        return "0";
    std::string digits;
    while (v > 0) {
        digits.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    }
    std::reverse(digits.begin(), digits.end());
    return digits;
}

// Units at `to` places from units at `from` places (to >= from), or nullopt
// when they would not fit.
std::optional<__int128> widen(__int128 units, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (magnitude(units) >= kLimit / 10)
            return std::nullopt;
        units *= 10;
    }
    return units;
}

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    __int128 units = 0;
    int places = 0;
    int digits = 0;
    bool seen_digit = false;
    bool in_fraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !in_fraction) {
            in_fraction = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        seen_digit = true;
        if (units == 0 && c == '0' && !in_fraction)
            continue;
        if (++digits > 30)
            return std::nullopt;
        units = units * 10 + (c - '0');
        if (in_fraction)
            ++places;
    }
    if (!seen_digit)
        return std::nullopt;
    int exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::string_view rest = text.substr(i + 1);
        if (!rest.empty() && rest[0] == '+')
            rest.remove_prefix(1);
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
        if (ec != std::errc() || end != rest.data() + rest.size() || exponent < -40 || exponent > 40)
            return std::nullopt;
        i = text.size();
    }
    if (i != text.size())
        return std::nullopt;
    places -= exponent;
    if (places < 0) {
        const auto wide = widen(units, 0, -places);
        if (!wide)
            return std::nullopt;
        units = *wide;
        places = 0;
    }
    // Trailing zeros past the limit of places carry nothing.
    while (places > kMaxPlaces && units % 10 == 0) {
        units /= 10;
        --places;
    }
    if (places > kMaxPlaces)
        return std::nullopt;
    return Decimal(negative ? -units : units, places);
}

std::optional<Decimal> add(const Decimal& a, const Decimal& b)
{
    const int places = std::max(a.places_, b.places_);
    const auto x = widen(a.units_, a.places_, places);
    const auto y = widen(b.units_, b.places_, places);
    if (!x || !y)
        return std::nullopt;
    const __int128 sum = *x + *y;
    if (magnitude(sum) >= kLimit)
        return std::nullopt;
    return Decimal(sum, places);
}

std::optional<Decimal> multiply(const Decimal& a, const Decimal& b)
{
    __int128 x = a.units_, y = b.units_;
    int places = a.places_ + b.places_;
    // Shed trailing zeros first so that rates such as 0.10 cost no room.
    while (x != 0 && x % 10 == 0 && places > 0) {
        x /= 10;
        --places;
    }
    while (y != 0 && y % 10 == 0 && places > 0) {
        y /= 10;
        --places;
    }
    if (x != 0 && magnitude(y) > 0 && magnitude(x) > kLimit / magnitude(y))
        return std::nullopt;
    if (places > Decimal::kMaxPlaces)
        return Decimal(x * y, places).rounded(Decimal::kMaxPlaces, Rounding::HalfUp);
    return Decimal(x * y, places);
}

Decimal Decimal::rounded(int places, Rounding rule) const
{
    if (places >= places_)
        return *this;
    const __int128 divisor = power_of_ten(places_ - places);
    const __int128 whole = units_ / divisor;  // toward zero
    const __int128 rest = magnitude(units_ % divisor);
    const int sign = units_ < 0 ? -1 : 1;
    __int128 result = whole;
    if (rest != 0) {
        if (rule == Rounding::Up || (rule == Rounding::HalfUp && rest * 2 >= divisor))
            result += sign;
    }
    return Decimal(result, places);
}

std::string Decimal::text(int places) const
{
    Decimal shown = *this;
    if (places >= 0) {
        shown = rounded(places, Rounding::HalfUp);
        if (shown.places_ < places)
            shown = Decimal(*widen(shown.units_, shown.places_, places), places);
    } else {
        while (shown.places_ > 0 && shown.units_ % 10 == 0) {
            shown.units_ /= 10;
            --shown.places_;
        }
    }
    std::string digits = digits_of(magnitude(shown.units_));
    if (static_cast<int>(digits.size()) <= shown.places_)
        digits.insert(0, static_cast<std::size_t>(shown.places_ - static_cast<int>(digits.size()) + 1), '0');
    const std::size_t whole = digits.size() - static_cast<std::size_t>(shown.places_);
    std::string out;
    if (shown.units_ < 0)
        out.push_back('-');
    out.append(digits, 0, whole);
    if (shown.places_ > 0) {
        out.push_back('.');
        out.append(digits, whole, std::string::npos);
    }
    return out;
}

std::string Decimal::grouped_text(int places) const
{
    const std::string plain = text(places);
    const std::size_t sign = plain[0] == '-' ? 1 : 0;
    std::size_t point = plain.find('.');
    if (point == std::string::npos)
        point = plain.size();
    std::string out(plain, 0, sign);
    for (std::size_t i = sign; i < point; ++i) {
        if (i > sign && (point - i) % 3 == 0)
            out.push_back(',');
        out.push_back(plain[i]);
    }
    out.append(plain, point, std::string::npos);
    return out;
}

double Decimal::to_double() const
{
    // Through the text, so that the double is the nearest to the exact
    // value; from_chars ignores the locale.
    const std::string plain = text();
    double value = 0;
    std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return value;
}

bool Decimal::fits(int whole_digits, int places) const
{
    __int128 units = units_;
    int own = places_;
    while (own > places && units % 10 == 0) {
        units /= 10;
        --own;
    }
    return own <= places && magnitude(units) < power_of_ten(whole_digits + own);
}

bool operator==(const Decimal& a, const Decimal& b)
{
    const int places = std::max(a.places_, b.places_);
    const auto x = widen(a.units_, a.places_, places);
    const auto y = widen(b.units_, b.places_, places);
    return x && y && *x == *y;
}

std::optional<Rounding> rounding_named(std::string_view name)
{
    if (name == "down")
        return Rounding::Down;
    if (name == "half_up")
        return Rounding::HalfUp;
    if (name == "up")
        return Rounding::Up;
    return std::nullopt;
}

}  // namespace kt482::form
