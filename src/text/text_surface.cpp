#include "text/text_surface.h"

#include <algorithm>
#include <cmath>

#include "base/units.h"
#include "text/font_size_limit.h"

namespace kt482::text {

TextSurface::TextSurface() : face_(FontService::shared().face(face_name_)) {}

Status TextSurface::FontName(std::string_view face)
{
    if (face.empty())
        return {};
    face_name_ = std::string(face);
    face_ = FontService::shared().face(face);
    vertical_ = is_vertical_name(face);
    return {};
}

// Rounded as a float: a size asked as 10.525 is the 210.5 twips it reads as,
// not the 210.4999 of the float's exact value.
Status TextSurface::FontSize(float points)
{
    if (!(points > 0.0f) || points > kMaxFontPoints)
        return Failure(ErrorNumber::InvalidPropertyValue);
    twips_ = std::max(1, static_cast<int>(std::lround(points * 20.0f)));
    return {};
}

float TextSurface::FontSize() const
{
    return static_cast<float>(points());
}

double TextSurface::points() const
{
    return points_from_twips(twips_);
}

Status TextSurface::FontBold(bool bold)
{
    bold_ = bold;
    return {};
}

Status TextSurface::FontUnderline(bool underline)
{
    underline_ = underline;
    return {};
}

Status TextSurface::HorizontalScale(float ratio)
{
    if (vertical_ && ratio != 1.0f)
        return Failure(ErrorNumber::NotSupported);
    if (!(ratio > 0.0f) || ratio > 1.0f)
        return Failure(ErrorNumber::InvalidPropertyValue);
    horizontal_scale_ = ratio;
    return {};
}

Status TextSurface::CurrentX(float x)
{
    x_ = x;
    return {};
}

Status TextSurface::CurrentY(float y)
{
    y_ = y;
    return {};
}

float TextSurface::TextWidth(std::string_view text)
{
    if (!face_)
        return 0;
    const TextStyle measured = style(Unit::Points);
    return static_cast<float>(measure(face_, points(), measured.direction, text, measured.weight) * horizontal_scale_);
}

Status TextSurface::Print(std::string_view text, LineEnd end)
{
    if (!drawing())
        return Failure(ErrorNumber::InvalidCall, "Nothing is being drawn on");
    if (!face_)
        return {};
    if (!text.empty())
        print_text(text);
    if (end == LineEnd::With)
        end_line();
    return {};
}

TextStyle TextSurface::style(Unit unit) const
{
    return {.face = face_,
            .size = unit == Unit::Twips ? static_cast<double>(twips_) : points(),
            .direction = vertical_ ? Direction::Down : Direction::Across,
            .weight = bold_ ? Weight::Bold : Weight::Regular,
            .underline = underline_ ? Underline::With : Underline::Without,
            .horizontal_scale = horizontal_scale_};
}

const TextLayout& TextSurface::lay_out_at_pen(std::string_view text, Unit unit)
{
    if (unit == Unit::Twips)
        lay_out(layout_, text, style(unit), x_ * kTwipsPerPoint, y_ * kTwipsPerPoint);
    else
        lay_out(layout_, text, style(unit), x_, y_);
    return layout_;
}

// The advance in points whatever the layout's unit, as the font service
// measures, so that TextWidth and the pen's move agree to the last bit.
void TextSurface::advance_pen(const TextLayout& layout)
{
    const auto advance = static_cast<float>(layout.ems * points() * layout.horizontal_scale);
    if (vertical_)
        y_ += advance;
    else
        x_ += advance;
}

// The face's line spacing: ascent, descent and line gap.
void TextSurface::end_line()
{
    const auto spacing = static_cast<float>(line_spacing(*face_, points()));
    if (vertical_) {
        y_ = 0;
        x_ -= spacing;
        return;
    }
    x_ = 0;
    y_ += spacing;
}

}  // namespace kt482::text
