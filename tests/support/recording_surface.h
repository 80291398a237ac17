// A drawing target, and a printer, that logs every operation with its
// arguments, one line each ("Line 40 43 40 73"), so that tests compare exact
// orders and points.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace kt482::test {

class RecordingSurface : public Printer {
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
    Status Color(uint32_t rgb) override;
    Status FillRect(float x, float y, float width, float height) override;
    // "Image x y w h WxH", the picture's size in pixels
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;

    std::string DeviceName() const override { return device_name; }
    Status ScaleModePoints() override;
    Status FillTransparent() override;
    Status PaperSize(int16_t code) override;
    int16_t PaperSize() const override { return paper_size_; }
    Status PageHeight(int32_t twips) override;
    Status PageWidth(int32_t twips) override;
    Status Orientation(int16_t orientation) override;
    Status Copies(int16_t copies) override;
    Status Duplex(int16_t duplex) override;
    Status PrintQuality(int16_t dpi) override;
    Status NewPage() override;
    Status EndDoc() override;
    Status AbortDoc() override;
    std::string LastOutput() const override { return last_output_; }
    void NextDocumentProperties(const DocumentProperties& properties) override;

    // Only the lines whose text starts with prefix.
    std::vector<std::string> only(std::string_view prefix) const;

    std::vector<std::string> log;
    // Each NextDocumentProperties: "title|author|subject|keywords[ archive]".
    std::vector<std::string> document_properties;
    // Every character is this many points wide.
    float char_width = 6;
    // The size the target really uses for a size asked; exact by default.
    std::function<float(float)> size_used = [](float asked) { return asked; };
    // The operation (its log name) that fails with InvalidPropertyValue.
    std::string failing_operation;
    std::string device_name = "Office Laser";
    // The paper codes the printer has paper for; others keep its own (9).
    std::vector<int16_t> papers{1, 8, 9, 11, 256};

private:
    Status record(const std::string& name, const std::string& arguments);

    float font_size_ = 10;
    int16_t paper_size_ = 9;
    std::string last_output_;
    int documents_ = 0;
    float x_ = 0;
    float y_ = 0;
};

}  // namespace kt482::test
