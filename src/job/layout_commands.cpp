#include "job/layout_commands.h"

#include <cmath>
#include <initializer_list>
#include <string_view>

#include "job/editing_session.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/number_picture.h"
#include "job/number_text.h"
#include "job/page_writer.h"
#include "image/picture_cache.h"
#include "image/picture_file.h"
#include "platform/services.h"

namespace kt482 {
namespace {

constexpr int kGridDecimals = 3;  // "#0.000"
constexpr int kValueDecimals = 4;  // "#0.0000"

std::string grid(float value)
{
    return format_fixed(value, kGridDecimals);
}

void append(RecordCode code, std::initializer_list<std::string_view> fields)
{
    JobState& s = job();
    check(append_record(files(), s.FileNo, s.RecordHeader, code, fields));
}

// A number that is not finite would be written as "NaN" or "Infinity", which
// the page reader refuses: the record and every later one of its page would
// be lost. Such a number is refused when it is recorded instead.
bool finite(std::initializer_list<float> numbers)
{
    for (float number : numbers) {
        if (!std::isfinite(number))
            return false;
    }
    return true;
}

bool finite(std::initializer_list<float> numbers, const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::R4:
    case Variant::Type::R8:
        return finite(numbers) && std::isfinite(value.number());
    default:
        return finite(numbers);
    }
}

void refuse_unless(bool arguments_finite)
{
    if (!arguments_finite)
        raise(Failure(ErrorNumber::InvalidCall));
}

// Setting commands record on any page inside the window and do not count as
// drawing. A refused argument leaves the page and its flags as they were.
template <class Body>
void setting_command(ObjectFields& self, std::string_view name, bool arguments_finite, Body&& body)
{
    run_trapped(self, name, [&] {
        if (!page_inside_window(job()))
            return;
        refuse_unless(arguments_finite);
        body();
    });
}

template <class Body>
void drawing_command(ObjectFields& self, std::string_view name, bool arguments_finite, Body&& body)
{
    run_trapped(self, name, [&] {
        if (!page_inside_window(job()))
            return;
        refuse_unless(arguments_finite);
        if (!CheckEditPage(self))
            return;
        body();
    });
}

// The string commands: a null value writes nothing, yet the page counts as
// holding data.
void string_command(ObjectFields& self, std::string_view name, RecordCode code, float row, float col,
                    const Variant& value, const float* out_length)
{
    const bool arguments_finite = out_length ? finite({row, col, *out_length}, value) : finite({row, col}, value);
    drawing_command(self, name, arguments_finite, [&] {
        if (value.is_null())
            return;
        std::string converted;
        std::string scratch;
        const std::string& raw = value.is_text() ? value.as_text() : (converted = must(value_to_text(value)));
        const std::string_view text = valid_utf8_view(raw, scratch);
        if (out_length)
            append(code, {grid(row), grid(col), text, grid(*out_length)});
        else
            append(code, {grid(row), grid(col), text});
    });
}

void line_command(ObjectFields& self, std::string_view name, RecordCode code, float r1, float c1, float r2,
                  float c2)
{
    drawing_command(self, name, finite({r1, c1, r2, c2}),
                    [&] { append(code, {grid(r1), grid(c1), grid(r2), grid(c2)}); });
}

void rule_command(ObjectFields& self, std::string_view name, RecordCode code, float row, float col,
                  const std::string& rows, const std::string& cols)
{
    drawing_command(self, name, finite({row, col}), [&] {
        std::string scratch_rows;
        std::string scratch_cols;
        append(code, {grid(row), grid(col), valid_utf8_view(rows, scratch_rows), valid_utf8_view(cols, scratch_cols)});
    });
}

bool is_color(int32_t value)
{
    return value >= 0 && value <= 0xFFFFFF;
}

}  // namespace

std::string color_field(uint32_t rgb)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(6, '0');
    for (int i = 5; i >= 0; --i, rgb >>= 4)
        out[static_cast<std::size_t>(i)] = kHex[rgb & 0xF];
    return out;
}

std::string numeric_value_text(const Variant& value)
{
    switch (value.type()) {
    case Variant::Type::R4:
        return format_fixed(value.as_r4(), kValueDecimals);
    case Variant::Type::Bool:
    case Variant::Type::I2:
    case Variant::Type::I4:
    case Variant::Type::R8:
        return format_fixed(value.number(), kValueDecimals);
    case Variant::Type::Text: {
        auto number = parse_number_text(value.as_text());
        return number ? format_fixed(*number, kValueDecimals) : value.as_text();
    }
    default:
        return std::string();
    }
}

void E_Pitch(ObjectFields& self, float P_Row_Pitch, float P_Col_Pitch)
{
    setting_command(self, "E_Pitch", finite({P_Row_Pitch, P_Col_Pitch}),
                    [&] { append(RecordCode::Pitch, {grid(P_Row_Pitch), grid(P_Col_Pitch)}); });
}

void E_Font(ObjectFields& self, const std::string& P_Font_Name, float P_Font_Size, bool P_Font_Bold,
            float P_Row_Margin)
{
    setting_command(self, "E_Font", finite({P_Font_Size, P_Row_Margin}), [&] {
        append(RecordCode::Font,
               {to_valid_utf8(P_Font_Name), grid(P_Font_Size), P_Font_Bold ? "-1" : "0", grid(P_Row_Margin)});

    });
}

void E_DrawStyle(ObjectFields& self, int16_t P_Line_Style, int16_t P_Line_Width)
{
    setting_command(self, "E_DrawStyle", finite({}), [&] {
        append(RecordCode::DrawStyle, {std::to_string(P_Line_Style), std::to_string(P_Line_Width)});
    });
}

void E_Line(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol)
{
    line_command(self, "E_Line", RecordCode::Line, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol);
}

void E_Line_Hor(ObjectFields& self, float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                const std::string& P_CLine_Col)
{
    rule_command(self, "E_Line_Hor", RecordCode::LineHor, P_SBase_Row, P_SBase_Col, P_CLine_Row, P_CLine_Col);
}

void E_Line_Vrt(ObjectFields& self, float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                const std::string& P_CLine_Col)
{
    rule_command(self, "E_Line_Vrt", RecordCode::LineVrt, P_SBase_Row, P_SBase_Col, P_CLine_Row, P_CLine_Col);
}

void E_Keisen(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol)
{
    line_command(self, "E_Keisen", RecordCode::Keisen, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol);
}

void E_String(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str)
{
    string_command(self, "E_String", RecordCode::String, P_Data_Srow, P_Data_Scol, P_Data_str, nullptr);
}

void E_String_Kin(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                  float P_Out_Length)
{
    string_command(self, "E_String_Kin", RecordCode::StringKin, P_Data_Srow, P_Data_Scol, P_Data_str, &P_Out_Length);
}

void E_String_Center(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                     float P_Out_Length)
{
    string_command(self, "E_String_Center", RecordCode::StringCenter, P_Data_Srow, P_Data_Scol, P_Data_str,
                   &P_Out_Length);
}

void E_String_Right(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str)
{
    string_command(self, "E_String_Right", RecordCode::StringRight, P_Data_Srow, P_Data_Scol, P_Data_str, nullptr);
}

void E_String_Left(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                   float P_Out_Length)
{
    string_command(self, "E_String_Left", RecordCode::StringLeft, P_Data_Srow, P_Data_Scol, P_Data_str,
                   &P_Out_Length);
}

void E_Numeric(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_Num,
               const std::string& P_Data_Format)
{
    drawing_command(self, "E_Numeric", finite({P_Data_Srow, P_Data_Scol}, P_Data_Num), [&] {
        if (P_Data_Num.is_null())
            return;
        const std::string value = to_valid_utf8(numeric_value_text(P_Data_Num));
        std::string scratch;
        append(RecordCode::Numeric,
               {grid(P_Data_Srow), grid(P_Data_Scol), value, valid_utf8_view(P_Data_Format, scratch)});
    });
}

// The picture must be there and decode whole when it is recorded; a failure
// leaves the page and its flags as they were.
void E_Image(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
             const std::string& P_File, int16_t P_Fit)
{
    run_trapped(self, "E_Image", [&] {
        if (!page_inside_window(job()))
            return;
        refuse_unless(finite({P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol}) && (P_Fit == 0 || P_Fit == 1));
        // The spool holds texts in UTF-8: a name that is not could not be
        // read back as the same file.
        if (!is_valid_utf8(P_File))
            raise(Failure(ErrorNumber::BadFileNameOrNumber));
        const std::string path = absolute_picture_path(P_File);
        (void)must(load_picture(path));
        if (!CheckEditPage(self))
            return;
        append(RecordCode::Image, {grid(P_Start_Srow), grid(P_Start_Scol), grid(P_End_Srow), grid(P_End_Scol),
                                   std::to_string(P_Fit) + path});
    });
}

void E_Fill(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
            int32_t P_Color)
{
    drawing_command(self, "E_Fill", finite({P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol}) && is_color(P_Color),
                    [&] {
                        append(RecordCode::Fill, {grid(P_Start_Srow), grid(P_Start_Scol), grid(P_End_Srow),
                                                  grid(P_End_Scol), color_field(static_cast<uint32_t>(P_Color))});
                    });
}

void E_Color(ObjectFields& self, int32_t P_Color)
{
    setting_command(self, "E_Color", is_color(P_Color),
                    [&] { append(RecordCode::Color, {color_field(static_cast<uint32_t>(P_Color))}); });
}

void E_Numeric_Right(ObjectFields& self, float P_Data_Srow, float P_End_Scol, const Variant& P_Data_Num,
                     const std::string& P_Data_Format)
{
    drawing_command(self, "E_Numeric_Right", finite({P_Data_Srow, P_End_Scol}, P_Data_Num), [&] {
        std::string scratch;
        const std::string_view picture = valid_utf8_view(P_Data_Format, scratch);
        if (const std::string_view fault = picture_fault(parse_picture(picture)); !fault.empty())
            raise(Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: " + std::string(fault)));
        if (P_Data_Num.is_null())
            return;
        const std::string value = to_valid_utf8(numeric_value_text(P_Data_Num));
        append(RecordCode::NumericRight, {grid(P_Data_Srow), grid(P_End_Scol), value, picture});
    });
}

namespace {

// The text of a string command's value, valid UTF-8.
std::string value_text(const Variant& value)
{
    std::string converted;
    std::string scratch;
    const std::string& raw = value.is_text() ? value.as_text() : (converted = must(value_to_text(value)));
    return std::string(valid_utf8_view(raw, scratch));
}

void refuse(std::string_view reason)
{
    raise(Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: " + std::string(reason)));
}

}  // namespace

void E_String_Fit(ObjectFields& self, float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                  float P_Out_Length, int16_t P_Mode)
{
    drawing_command(self, "E_String_Fit", finite({P_Data_Srow, P_Data_Scol, P_Out_Length}, P_Data_str), [&] {
        const std::string length = grid(P_Out_Length);
        if (!(P_Out_Length > 0) || length == grid(0))
            refuse("the length is not above 0");
        if (P_Mode < 0 || P_Mode > 2)
            refuse("the mode is not 0 (shrink), 1 (condense) or 2 (clip with an ellipsis)");
        if (P_Data_str.is_null())
            return;
        append(RecordCode::StringFit,
               {grid(P_Data_Srow), grid(P_Data_Scol), value_text(P_Data_str), length, std::to_string(P_Mode)});
    });
}

void E_String_Box(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                  const Variant& P_Data_str, int16_t P_Align)
{
    drawing_command(self, "E_String_Box", finite({P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol}, P_Data_str),
                    [&] {
                        const std::string rows[] = {grid(P_Start_Srow), grid(P_End_Srow)};
                        const std::string cols[] = {grid(P_Start_Scol), grid(P_End_Scol)};
                        if (rows[0] == rows[1] || cols[0] == cols[1])
                            refuse("the box has no width or no height");
                        if (P_Align < 0 || P_Align > 2)
                            refuse("the alignment is not 0 (start), 1 (centre) or 2 (end)");
                        if (P_Data_str.is_null())
                            return;
                        append(RecordCode::StringBox, {rows[0], cols[0], rows[1], cols[1],
                                                       std::to_string(P_Align) + value_text(P_Data_str)});
                    });
}

}  // namespace kt482
