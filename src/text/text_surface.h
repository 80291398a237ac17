// The text state of a drawing surface, the same on every output: the face
// asked for and the face it resolves to, the size in whole twips, bold,
// underline, the horizontal scale and the current position in points. The
// interface's members that only set or read that state live here, as do the
// pen's moves after a text and at a line end, so that the preview and the
// PDF agree on them to the last bit; a surface draws the laid out text.
//
// A size is kept in whole twips (1/20 point), rounded from the points asked
// as a float, and refused outside (0, kMaxFontPoints]. A face named with "@"
// sets texts vertically: the pen then moves down a column, and a line end
// starts the next column to the left at the top. Columns are not condensed.
#pragma once

#include <string>
#include <string_view>

#include "kt482/draw_surface.h"
#include "text/font_service.h"
#include "text/text_layout.h"

namespace kt482::text {

class TextSurface : public DrawSurface {
public:
    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override;
    Status FontBold(bool bold) override;
    Status FontUnderline(bool underline) override;
    Status HorizontalScale(float ratio) override;
    Status CurrentX(float x) override;
    float CurrentX() const override { return x_; }
    Status CurrentY(float y) override;
    float TextWidth(std::string_view text) override;
    // Fails (InvalidCall) while nothing is drawn on; draws a text that is
    // not empty, then ends the line when asked.
    Status Print(std::string_view text, LineEnd end) override;

    // The state the interface sets but does not read back.
    const std::string& font_name() const { return face_name_; }
    bool font_bold() const { return bold_; }
    bool font_underline() const { return underline_; }
    float current_y() const { return y_; }

protected:
    TextSurface();

    // The unit a surface lays texts out in: points on paper, twips on a
    // painter scaled to twips.
    enum class Unit { Points, Twips };

    // Whether a page is being drawn on.
    virtual bool drawing() const = 0;
    // Draws text (not empty) at the pen and moves the pen past it.
    virtual void print_text(std::string_view text) = 0;

    const FontFace* face() const { return face_; }
    bool vertical() const { return vertical_; }
    int font_twips() const { return twips_; }
    double points() const;
    double horizontal_scale() const { return horizontal_scale_; }
    float pen_x() const { return x_; }
    float pen_y() const { return y_; }

    TextStyle style(Unit unit) const;
    // The text laid out at the pen, valid until the next call.
    const TextLayout& lay_out_at_pen(std::string_view text, Unit unit);
    // Moves the pen along the line by a text's advance at the current size.
    void advance_pen(const TextLayout& layout);
    // To the next line, or to the next column on the left.
    void end_line();

private:
    std::string face_name_ = "ＭＳ 明朝";
    const FontFace* face_ = nullptr;
    int twips_ = 210;  // 10.5 pt
    bool bold_ = false;
    double horizontal_scale_ = 1;
    bool underline_ = false;
    bool vertical_ = false;
    float x_ = 0;
    float y_ = 0;
    TextLayout layout_;  // the last text laid out, its storage kept for the next
};

}  // namespace kt482::text
