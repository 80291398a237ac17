// A drawing target that logs every operation with its arguments, one line
// each ("Line 40 43 40 73"), so that tests compare exact orders and points.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/draw_surface.h"

namespace kt482::test {

class RecordingSurface : public DrawSurface {
public:
    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override { return font_size_; }
    Status FontBold(bool bold) override;
    Status FontUnderline(bool underline) override;
    Status CurrentX(float x) override;
    float CurrentX() const override { return x_; }
    Status CurrentY(float y) override;
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override;
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override;

    // Only the lines whose text starts with prefix.
    std::vector<std::string> only(std::string_view prefix) const;

    std::vector<std::string> log;
    // Every character is this many points wide.
    float char_width = 6;
    // The size the target really uses for a size asked; exact by default.
    std::function<float(float)> size_used = [](float asked) { return asked; };
    // The operation (its log name) that fails with InvalidPropertyValue.
    std::string failing_operation;

private:
    Status record(const std::string& name, const std::string& arguments);

    float font_size_ = 10;
    float x_ = 0;
    float y_ = 0;
};

}  // namespace kt482::test
