// A preview window without a screen: controls as plain values, focus moves
// and resizes that call the handlers as a toolkit would, a recording canvas,
// and a modal show that runs a script of user actions.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/print_dialog.h"
#include "platform/window_toolkit.h"
#include "support/recording_surface.h"

namespace kt482::test {

class RecordingCanvas : public Canvas {
public:
    Status FontName(std::string_view face) override { return inner.FontName(face); }
    Status FontSize(float points) override { return inner.FontSize(points); }
    float FontSize() const override { return inner.FontSize(); }
    Status FontBold(bool bold) override { return inner.FontBold(bold); }
    Status FontUnderline(bool underline) override { return inner.FontUnderline(underline); }
    Status CurrentX(float x) override { return inner.CurrentX(x); }
    float CurrentX() const override { return inner.CurrentX(); }
    Status CurrentY(float y) override { return inner.CurrentY(y); }
    Status Print(std::string_view text, LineEnd end) override { return inner.Print(text, end); }
    float TextWidth(std::string_view text) override { return inner.TextWidth(text); }
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override { return inner.Line(x1, y1, x2, y2); }
    Status Color(uint32_t rgb) override { return inner.Color(rgb); }
    Status FillRect(float x, float y, float w, float h) override { return inner.FillRect(x, y, w, h); }
    Status Image(float x, float y, float w, float h, const ImagePixels& p) override { return inner.Image(x, y, w, h, p); }

    Status Cls() override;
    float ScaleWidth() const override { return width; }
    float ScaleHeight() const override { return height; }
    Status ScaleWidth(float points) override;
    Status ScaleHeight(float points) override;
    int16_t ScaleMode() const override { return scale_mode; }
    Status ScaleMode(int16_t mode) override;
    int16_t FillStyle() const override { return fill_style; }
    Status FillStyle(int16_t style) override;
    int16_t DrawMode() const override { return draw_mode; }
    int16_t DrawWidth() const override { return draw_width; }
    int16_t DrawStyle() const override { return draw_style; }
    Status ColoredLine(float x1, float y1, float x2, float y2, uint32_t rgb) override;
    double ViewScale() const override { return view_scale; }
    Status ViewScale(double scale) override;

    std::vector<std::string>& log() { return inner.log; }

    RecordingSurface inner;
    float width = 370.8f;
    float height = 200;
    int16_t scale_mode = 1;  // twips, as a new control has
    int16_t fill_style = 0;
    int16_t draw_mode = 13;
    int16_t draw_width = 1;
    int16_t draw_style = 0;
    double view_scale = 1;
};

class FakePreviewWindow : public PreviewWindow {
public:
    explicit FakePreviewWindow(PreviewWindowEvents& events);

    // The canvas control's size is the canvas's extent at its view scale.
    ControlRect geometry(PreviewControl control) const override;
    void set_left(PreviewControl control, float points) override { rects[control].left = points; }
    void set_top(PreviewControl control, float points) override { rects[control].top = points; }
    void set_width(PreviewControl control, float points) override;
    void set_height(PreviewControl control, float points) override;
    int outer_width() const override { return outer_width_; }
    int outer_height() const override { return outer_height_; }
    void set_outer_width(int twips) override;
    void set_outer_height(int twips) override;
    std::string text(PreviewControl control) const override;
    void set_text(PreviewControl control, const std::string& text) override { texts[control] = text; }
    void select_text(PreviewControl, int, int) override {}
    void set_focus(PreviewControl control) override;
    void set_scroll_range(PreviewControl bar, int minimum, int maximum, int small_change, int large_change) override;
    int scroll_value(PreviewControl bar) const override;
    void show_scroll_value(PreviewControl bar, int value) override { scroll_values[bar] = value; }
    OuterSize available_outer_size() const override { return available; }
    std::string choose_pdf_file(const std::string& suggested_name) override;
    bool show_progress(int done, int total) override;
    void end_progress() override { progress_log.push_back("end"); }
    std::shared_ptr<Canvas> canvas() override { return canvas_; }
    void set_busy(bool busy) override { busy_log.push_back(busy); }
    Status show_modal() override;
    void close() override { closed = true; }

    // User actions.
    void type_page(const std::string& text);  // focus, text, Enter
    void type_zoom(const std::string& text);  // focus, text, leave
    void scroll(PreviewControl bar, int value);

    PreviewWindowEvents& events;
    std::map<PreviewControl, ControlRect> rects;
    std::map<PreviewControl, std::string> texts;
    std::map<PreviewControl, int> scroll_values;
    std::vector<std::string> scroll_ranges;
    std::vector<bool> busy_log;
    PreviewControl focus = PreviewControl::Print;
    std::shared_ptr<RecordingCanvas> canvas_ = std::make_shared<RecordingCanvas>();
    std::function<void(FakePreviewWindow&)> user;  // what the user does while the window is shown
    bool closed = false;
    bool shown = false;
    Status modal_result;  // what show_modal returns
    // The screen: by default no larger than the window's first size.
    OuterSize available{7944, 4920};
    std::string pdf_file;  // what the user picks; empty: cancels
    std::vector<std::string> file_requests;
    std::vector<std::string> progress_log;  // "1/3", ..., "end"
    int cancel_after = -1;                  // the page count at which the user cancels

private:
    int outer_width_ = 7944;   // 397.2 points
    int outer_height_ = 4920;  // 246 points
};

class FakeToolkit : public WindowToolkit {
public:
    // The window handed out forwards to a FakePreviewWindow that the toolkit
    // keeps, so tests can look at a window after the preview destroyed it.
    Result<std::unique_ptr<PreviewWindow>> create_preview_window(PreviewWindowEvents& events) override;

    std::vector<std::shared_ptr<FakePreviewWindow>> windows;
    FakePreviewWindow* last = nullptr;
    int created = 0;
    std::function<void(FakePreviewWindow&)> user;  // handed to each window
};

class FakePrintDialog : public PrintDialog {
public:
    Result<PrintDialogResult> run(const PrintDialogRequest& request) override;

    std::vector<PrintDialogRequest> requests;
    PrintDialogResult answer;  // confirmed = false: cancelled
};

}  // namespace kt482::test
