// kt482::Variant, the automation value: empty, null, a boolean, a 16- or
// 32-bit integer, a 32- or 64-bit float, or a UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "kt482/export.h"

namespace kt482 {

class KT482_API Variant {
public:
    enum class Type { Empty, Null, Bool, I2, I4, R4, R8, Text };

    Variant() = default;
    static Variant null();

    Variant(bool v) : value_(v) {}
    Variant(short v) : value_(static_cast<int16_t>(v)) {}
    Variant(unsigned short v) : value_(static_cast<int32_t>(v)) {}
    Variant(int v) : value_(static_cast<int32_t>(v)) {}
    Variant(unsigned int v) { set_wide(static_cast<double>(v), v <= 0x7fffffffu); }
    Variant(long v) { set_wide(static_cast<double>(v), v >= INT32_MIN && v <= INT32_MAX); }
    Variant(unsigned long v) { set_wide(static_cast<double>(v), v <= 0x7fffffffu); }
    Variant(long long v) { set_wide(static_cast<double>(v), v >= INT32_MIN && v <= INT32_MAX); }
    Variant(unsigned long long v) { set_wide(static_cast<double>(v), v <= 0x7fffffffu); }
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(const char* text) : value_(std::string(text ? text : "")) {}
    Variant(std::string text) : value_(std::move(text)) {}
    Variant(std::string_view text) : value_(std::string(text)) {}

    Type type() const { return static_cast<Type>(value_.index()); }
    bool is_empty() const { return type() == Type::Empty; }
    bool is_null() const { return type() == Type::Null; }
    bool is_text() const { return type() == Type::Text; }
    // True for booleans, integers and floats.
    bool is_number() const;

    // The stored value; each requires the matching type.
    bool as_bool() const { return std::get<bool>(value_); }
    int16_t as_i2() const { return std::get<int16_t>(value_); }
    int32_t as_i4() const { return std::get<int32_t>(value_); }
    float as_r4() const { return std::get<float>(value_); }
    double as_r8() const { return std::get<double>(value_); }
    const std::string& as_text() const { return std::get<std::string>(value_); }

    // A number of any numeric type widened to double (true is -1).
    double number() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) { return true; }
    };
    void set_wide(double v, bool fits_i4)
    {
        if (fits_i4)
            value_ = static_cast<int32_t>(v);
        else
            value_ = v;
    }

    std::variant<std::monostate, NullTag, bool, int16_t, int32_t, float, double, std::string> value_;
};

}  // namespace kt482
