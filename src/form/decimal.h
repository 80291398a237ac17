// Exact decimal numbers for amounts, quantities and rates: a 128-bit integer
// of units and the number of decimal places those units have. Sums and
// products are exact; only an explicit rounding drops digits, so yen
// amounts and tax never suffer from binary floating point.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kt482::form {

// How a value loses its digits past a number of places. Down and Up are
// toward and away from zero (切り捨て, 切り上げ); HalfUp rounds a half away
// from zero (四捨五入).
enum class Rounding { Down, HalfUp, Up };

class Decimal {
public:
    static constexpr int kMaxPlaces = 18;

    Decimal() = default;
    static Decimal from_int(long long value) { return Decimal(value, 0); }
    // "12", "-0.5", "1.25e3" (JSON's number grammar); nullopt when it is not
    // such a number or needs more than 18 places or 30 digits.
    static std::optional<Decimal> parse(std::string_view text);

    // nullopt when the result would not fit.
    friend std::optional<Decimal> add(const Decimal& a, const Decimal& b);
    friend std::optional<Decimal> multiply(const Decimal& a, const Decimal& b);
    Decimal rounded(int places, Rounding rule) const;

    // The plain decimal text, with exactly `places` decimals when places >= 0
    // (rounded half up) or with no trailing zeros when places < 0.
    std::string text(int places = -1) const;
    // The same with a comma every three digits of the whole part.
    std::string grouped_text(int places) const;
    double to_double() const;

    friend bool operator==(const Decimal& a, const Decimal& b);
    bool is_zero() const { return units_ == 0; }
    // Whether it has at most that many digits before the point and places
    // after it (trailing zeros not counted).
    bool fits(int whole_digits, int places) const;

private:
    Decimal(__int128 units, int places) : units_(units), places_(places) {}
    __int128 units_ = 0;
    int places_ = 0;
};

std::optional<Rounding> rounding_named(std::string_view name);

}  // namespace kt482::form
