// A printer for the replay targets that keeps nothing of what is drawn: it
// checks each call's arguments as it comes (every coordinate and size a
// finite number, every picture's pixels as many as its size says) and
// measures texts as the recording surface of the tests does, so that a
// replay costs the renderer's work and little more.
#pragma once

#include <string>

#include "platform/printer.h"

namespace kt482::fuzz {

class CheckingSurface final : public Printer {
public:
    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override { return font_size_; }
    Status FontBold(bool) override { return {}; }
    Status FontUnderline(bool) override { return {}; }
    Status CurrentX(float x) override;
    float CurrentX() const override { return x_; }
    Status CurrentY(float y) override;
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override;
    Status DrawMode(int16_t) override { return {}; }
    Status DrawWidth(int16_t) override { return {}; }
    Status DrawStyle(int16_t) override { return {}; }
    Status Line(float x1, float y1, float x2, float y2) override;
    Status FillRect(float x, float y, float width, float height) override;
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;
    Status HorizontalScale(float ratio) override;

    std::string DeviceName() const override { return "Fuzz Printer"; }
    Status ScaleModePoints() override { return {}; }
    Status FillTransparent() override { return {}; }
    Status PaperSize(int16_t code) override;
    int16_t PaperSize() const override { return paper_size_; }
    Status PageHeight(int32_t) override { return {}; }
    Status PageWidth(int32_t) override { return {}; }
    Status Orientation(int16_t) override { return {}; }
    Status Copies(int16_t) override { return {}; }
    Status Duplex(int16_t) override { return {}; }
    Status PrintQuality(int16_t) override { return {}; }
    Status NewPage() override { return {}; }
    Status EndDoc() override { return {}; }
    Status AbortDoc() override { return {}; }
    std::string LastOutput() const override { return {}; }

private:
    float font_size_ = 10;
    float scale_ = 1;
    int16_t paper_size_ = 9;
    float x_ = 0;
    float y_ = 0;
};

}  // namespace kt482::fuzz
