// The record codes of the page spool, each four ASCII characters, with the
// number of fields its records carry. A reader skips a record whose code it
// does not know, so that spools with later codes stay readable.
//
// The host additions: "IMG " rows and columns of two corners, then the fit
// (0 or 1) followed at once by the picture's absolute path ("0/srv/logo.png");
// "FIL " two corners and the colour; "COL " the colour. Colours are six hex
// digits RRGGBB. "BAR " two corners, then the barcode's type with its
// options and its data, a blank between them ("QR;ecc=H DS-0001").
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kt482 {

#define KT482_RECORD_CODES(X)      \
    X(Pitch, "PT  ", 2)            \
    X(Font, "FT  ", 4)             \
    X(DrawStyle, "DR  ", 2)        \
    X(Line, "LN  ", 4)             \
    X(LineHor, "LNH ", 4)          \
    X(LineVrt, "LNV ", 4)          \
    X(Keisen, "KE  ", 4)           \
    X(String, "ST  ", 3)           \
    X(StringKin, "STK ", 4)        \
    X(StringCenter, "STC ", 4)     \
    X(StringRight, "STR ", 3)      \
    X(StringLeft, "STL ", 4)       \
    X(Numeric, "STN ", 4)          \
    X(Image, "IMG ", 5)            \
    X(Fill, "FIL ", 5)             \
    X(Color, "COL ", 1)            \
    X(Barcode, "BAR ", 5)

enum class RecordCode {
#define KT482_ENUM(name, text, fields) name,
    KT482_RECORD_CODES(KT482_ENUM)
#undef KT482_ENUM
};

struct RecordCodeInfo {
    RecordCode code;
    std::string_view text;
    int fields;
};

inline constexpr std::array kRecordCodes = {
#define KT482_INFO(name, text, fields) RecordCodeInfo{RecordCode::name, text, fields},
    KT482_RECORD_CODES(KT482_INFO)
#undef KT482_INFO
};

constexpr const RecordCodeInfo& record_code_info(RecordCode code)
{
    return kRecordCodes[static_cast<std::size_t>(code)];
}

// The code of a four-character text, exact (case and blanks count).
constexpr std::optional<RecordCode> record_code_of(std::string_view text)
{
    for (const auto& info : kRecordCodes) {
        if (info.text == text)
            return info.code;
    }
    return std::nullopt;
}

}  // namespace kt482
