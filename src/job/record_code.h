// The record codes of the page spool, each four ASCII characters, with the
// number of fields its records carry and the name of the handler that draws
// them (the name a failure in that handler is reported under). A reader
// skips a record whose code it does not know, so that spools with later
// codes stay readable.
//
// The host additions: "IMG " rows and columns of two corners, then the fit
// (0 or 1) followed at once by the picture's absolute path ("0/srv/logo.png");
// "FIL " two corners and the colour; "COL " the colour. Colours are six hex
// digits RRGGBB. "BAR " two corners, then the barcode's type with its
// options and its data, a blank between them ("QR;ecc=H DS-0001"). "NUMR"
// as "STN ", but its column is where the amount ends. "FIT " row, column,
// text, length and the mode (0, 1 or 2). "BOX " two corners, then the
// alignment (0, 1 or 2) followed at once by the text ("1請求書の宛先").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kt482 {

#define KT482_RECORD_CODES(X)                         \
    X(Pitch, "PT  ", 2, "ZZ100_Pitch")                \
    X(Font, "FT  ", 4, "ZZ100_Font")                  \
    X(DrawStyle, "DR  ", 2, "ZZ100_DrawStyle")        \
    X(Line, "LN  ", 4, "ZZ100_Line")                  \
    X(LineHor, "LNH ", 4, "ZZ100_Line_Hor")           \
    X(LineVrt, "LNV ", 4, "ZZ100_Line_Vrt")           \
    X(Keisen, "KE  ", 4, "ZZ100_Keisen")              \
    X(String, "ST  ", 3, "ZZ100_String")              \
    X(StringKin, "STK ", 4, "ZZ100_String_Kin")       \
    X(StringCenter, "STC ", 4, "ZZ100_String_Center") \
    X(StringRight, "STR ", 3, "ZZ100_String_Right")   \
    X(StringLeft, "STL ", 4, "ZZ100_String_Left")     \
    X(Numeric, "STN ", 4, "ZZ100_Numeric")            \
    X(Image, "IMG ", 5, "ZZ100_Image")                \
    X(Fill, "FIL ", 5, "ZZ100_Fill")                  \
    X(Color, "COL ", 1, "ZZ100_Color")                \
    X(Barcode, "BAR ", 5, "ZZ100_Barcode")            \
    X(NumericRight, "NUMR", 4, "ZZ100_Numeric_Right") \
    X(StringFit, "FIT ", 5, "ZZ100_String_Fit")       \
    X(StringBox, "BOX ", 5, "ZZ100_String_Box")

enum class RecordCode {
#define KT482_ENUM(name, text, fields, handler) name,
    KT482_RECORD_CODES(KT482_ENUM)
#undef KT482_ENUM
};

struct RecordCodeInfo {
    RecordCode code;
    std::string_view text;
    int fields;
    std::string_view handler;
};

inline constexpr std::array kRecordCodes = {
#define KT482_INFO(name, text, fields, handler) RecordCodeInfo{RecordCode::name, text, fields, handler},
    KT482_RECORD_CODES(KT482_INFO)
#undef KT482_INFO
};

constexpr const RecordCodeInfo& record_code_info(RecordCode code)
{
    return kRecordCodes[static_cast<std::size_t>(code)];
}

// Four characters as one number, for comparing a code in one step.
constexpr uint32_t packed_record_code(std::string_view text)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

inline constexpr auto kPackedRecordCodes = [] {
    std::array<uint32_t, kRecordCodes.size()> packed{};
    for (std::size_t i = 0; i < kRecordCodes.size(); ++i)
        packed[i] = packed_record_code(kRecordCodes[i].text);
    return packed;
}();

// The code of a four-character text, exact (case and blanks count). Every
// record is looked up, so the codes are compared as numbers.
constexpr std::optional<RecordCode> record_code_of(std::string_view text)
{
    if (text.size() != 4)
        return std::nullopt;
    const uint32_t packed = packed_record_code(text);
    for (std::size_t i = 0; i < kPackedRecordCodes.size(); ++i) {
        if (kPackedRecordCodes[i] == packed)
            return kRecordCodes[i].code;
    }
    return std::nullopt;
}

}  // namespace kt482
