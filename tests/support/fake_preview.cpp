#include "support/fake_preview.h"

#include <sstream>

namespace kt482::test {
namespace {

std::string number(float value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

Status RecordingCanvas::DrawMode(int16_t mode)
{
    draw_mode = mode;
    return inner.DrawMode(mode);
}

Status RecordingCanvas::DrawWidth(int16_t pixels)
{
    draw_width = pixels;
    return inner.DrawWidth(pixels);
}

Status RecordingCanvas::DrawStyle(int16_t style)
{
    draw_style = style;
    return inner.DrawStyle(style);
}

Status RecordingCanvas::Cls()
{
    log().push_back("Cls");
    return {};
}

Status RecordingCanvas::ScaleWidth(float points)
{
    width = points;
    log().push_back("ScaleWidth " + number(points));
    return {};
}

Status RecordingCanvas::ScaleHeight(float points)
{
    height = points;
    log().push_back("ScaleHeight " + number(points));
    return {};
}

Status RecordingCanvas::ScaleMode(int16_t mode)
{
    scale_mode = mode;
    log().push_back("ScaleMode " + std::to_string(mode));
    return {};
}

Status RecordingCanvas::FillStyle(int16_t style)
{
    fill_style = style;
    log().push_back("FillStyle " + std::to_string(style));
    return {};
}

Status RecordingCanvas::ViewScale(double scale)
{
    view_scale = scale;
    log().push_back("ViewScale " + number(static_cast<float>(scale)));
    return {};
}

Status RecordingCanvas::ColoredLine(float x1, float y1, float x2, float y2, uint32_t rgb)
{
    std::ostringstream out;
    out << "ColoredLine " << x1 << " " << y1 << " " << x2 << " " << y2 << " " << std::hex << rgb;
    log().push_back(out.str());
    return {};
}

FakePreviewWindow::FakePreviewWindow(PreviewWindowEvents& events) : events(events)
{
    using C = PreviewControl;
    rects = {
        {C::CUR_PAGE, {45, 226, 25, 14}}, {C::VSCROL, {378, 24, 13, 201.6f}}, {C::Settings, {75, 0, 65.4f, 24.75f}},
        {C::HSCROL, {145, 226, 232.2f, 15}}, {C::DATA, {5.4f, 25, 370.8f, 200}}, {C::BOTOM, {125, 226, 20, 15}},
        {C::NEXT, {105, 226, 20, 15}}, {C::PREV, {25, 226, 20, 15}}, {C::TOP, {5, 226, 20, 15}},
        {C::ZOOM, {144, 5.4f, 38.4f, 13.8f}}, {C::Close, {201, 0, 63.6f, 24.75f}}, {C::Print, {6, 0, 65.4f, 24.75f}},
        {C::LAST_PAGE, {70, 226, 34.8f, 13.8f}}, {C::Label3, {183, 7.8f, 10.8f, 13.2f}},
        {C::VIEW, {270, 7.8f, 100, 13.2f}},
    };
    texts = {{C::CUR_PAGE, "ZZZ9"}, {C::ZOOM, "100"}, {C::LAST_PAGE, "/ ZZZ9"}, {C::VIEW, "表示 100%"}};
}

ControlRect FakePreviewWindow::geometry(PreviewControl control) const
{
    ControlRect rect = rects.at(control);
    if (control == PreviewControl::DATA) {
        rect.width = static_cast<float>(canvas_->width * canvas_->view_scale);
        rect.height = static_cast<float>(canvas_->height * canvas_->view_scale);
    }
    return rect;
}

void FakePreviewWindow::set_width(PreviewControl control, float points)
{
    rects[control].width = points;
    if (control == PreviewControl::DATA)
        canvas_->width = static_cast<float>(points / canvas_->view_scale);
}

void FakePreviewWindow::set_height(PreviewControl control, float points)
{
    rects[control].height = points;
    if (control == PreviewControl::DATA)
        canvas_->height = static_cast<float>(points / canvas_->view_scale);
}

void FakePreviewWindow::set_outer_width(int twips)
{
    outer_width_ = twips;
    events.Form_Resize();
}

void FakePreviewWindow::set_outer_height(int twips)
{
    outer_height_ = twips;
    events.Form_Resize();
}

std::string FakePreviewWindow::text(PreviewControl control) const
{
    auto it = texts.find(control);
    return it == texts.end() ? std::string() : it->second;
}

void FakePreviewWindow::set_focus(PreviewControl control)
{
    const PreviewControl left = focus;
    focus = control;
    if (left == control)
        return;
    if (left == PreviewControl::CUR_PAGE)
        events.CUR_PAGE_LostFocus();
    if (left == PreviewControl::ZOOM)
        events.ZOOM_LostFocus();
    if (control == PreviewControl::CUR_PAGE && focus == PreviewControl::CUR_PAGE)
        events.CUR_PAGE_GotFocus();
}

void FakePreviewWindow::set_scroll_range(PreviewControl bar, int minimum, int maximum, int small_change,
                                         int large_change)
{
    scroll_ranges.push_back(std::to_string(minimum) + " " + std::to_string(maximum) + " " +
                            std::to_string(small_change) + " " + std::to_string(large_change));
    scroll_values[bar] = 0;
}

int FakePreviewWindow::scroll_value(PreviewControl bar) const
{
    auto it = scroll_values.find(bar);
    return it == scroll_values.end() ? 0 : it->second;
}

Status FakePreviewWindow::show_modal()
{
    if (!modal_result)
        return modal_result;
    shown = true;
    if (user)
        user(*this);
    return {};
}

std::string FakePreviewWindow::choose_pdf_file(const std::string& suggested_name)
{
    file_requests.push_back(suggested_name);
    return pdf_file;
}

bool FakePreviewWindow::show_progress(int done, int total)
{
    progress_log.push_back(std::to_string(done) + "/" + std::to_string(total));
    return done != cancel_after;
}

void FakePreviewWindow::type_page(const std::string& text)
{
    set_focus(PreviewControl::CUR_PAGE);
    texts[PreviewControl::CUR_PAGE] = text;
    events.CUR_PAGE_KeyPress(kKeyEnter);
}

void FakePreviewWindow::type_zoom(const std::string& text)
{
    set_focus(PreviewControl::ZOOM);
    texts[PreviewControl::ZOOM] = text;
    set_focus(PreviewControl::Close);
}

void FakePreviewWindow::scroll(PreviewControl bar, int value)
{
    scroll_values[bar] = value;
    if (bar == PreviewControl::HSCROL)
        events.HSCROL_Change();
    else
        events.VSCROL_Change();
}

namespace {

class ForwardingWindow : public PreviewWindow {
public:
    explicit ForwardingWindow(std::shared_ptr<FakePreviewWindow> window) : w_(std::move(window)) {}

    ControlRect geometry(PreviewControl c) const override { return w_->geometry(c); }
    void set_left(PreviewControl c, float v) override { w_->set_left(c, v); }
    void set_top(PreviewControl c, float v) override { w_->set_top(c, v); }
    void set_width(PreviewControl c, float v) override { w_->set_width(c, v); }
    void set_height(PreviewControl c, float v) override { w_->set_height(c, v); }
    int outer_width() const override { return w_->outer_width(); }
    int outer_height() const override { return w_->outer_height(); }
    void set_outer_width(int t) override { w_->set_outer_width(t); }
    void set_outer_height(int t) override { w_->set_outer_height(t); }
    std::string text(PreviewControl c) const override { return w_->text(c); }
    void set_text(PreviewControl c, const std::string& t) override { w_->set_text(c, t); }
    void select_text(PreviewControl c, int start, int length) override { w_->select_text(c, start, length); }
    void set_focus(PreviewControl c) override { w_->set_focus(c); }
    void set_scroll_range(PreviewControl c, int a, int b, int s, int l) override { w_->set_scroll_range(c, a, b, s, l); }
    int scroll_value(PreviewControl c) const override { return w_->scroll_value(c); }
    void show_scroll_value(PreviewControl c, int v) override { w_->show_scroll_value(c, v); }
    OuterSize available_outer_size() const override { return w_->available_outer_size(); }
    std::string choose_pdf_file(const std::string& name) override { return w_->choose_pdf_file(name); }
    bool show_progress(int done, int total) override { return w_->show_progress(done, total); }
    void end_progress() override { w_->end_progress(); }
    std::shared_ptr<Canvas> canvas() override { return w_->canvas(); }
    void set_busy(bool busy) override { w_->set_busy(busy); }
    Status show_modal() override { return w_->show_modal(); }
    void close() override { w_->close(); }

private:
    std::shared_ptr<FakePreviewWindow> w_;
};

}  // namespace

Result<std::unique_ptr<PreviewWindow>> FakeToolkit::create_preview_window(PreviewWindowEvents& events)
{
    auto window = std::make_shared<FakePreviewWindow>(events);
    window->user = user;
    windows.push_back(window);
    last = window.get();
    ++created;
    auto handle = std::make_unique<ForwardingWindow>(window);
    events.Attach(*handle);
    events.Form_Load();
    return std::unique_ptr<PreviewWindow>(std::move(handle));
}

Result<PrintDialogResult> FakePrintDialog::run(const PrintDialogRequest& request)
{
    requests.push_back(request);
    return answer;
}

}  // namespace kt482::test
