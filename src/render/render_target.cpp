#include "render/render_target.h"

#include <cmath>

#include "job/error_trap.h"
#include "job/number_text.h"
#include "platform/printer.h"

namespace kt482 {

bool printer_is_target()
{
    return job().OutputTarget == OutputTarget::Printer;
}

namespace {

bool drawable(float points)
{
    // Written so that NaN is not drawable.
    return std::fabs(points) <= kMaxDrawablePoints;
}

bool usable_font_size(float points)
{
    return std::isfinite(points) && points <= kRunawayFontPoints;
}

// Passes every operation on to the target except those that would hand it a
// position or a size out of range. The position and size asked are kept, so
// that the renderer reads back what it set, and texts are skipped until a
// usable position and size are set again.
class GuardedTarget final : public DrawSurface {
public:
    void bind(DrawSurface& target)
    {
        if (&target == target_)
            return;
        target_ = &target;
        x_usable_ = y_usable_ = font_usable_ = true;
    }

    Status FontName(std::string_view face) override { return target_->FontName(face); }
    Status FontSize(float points) override
    {
        font_usable_ = usable_font_size(points);
        asked_size_ = points;
        return font_usable_ ? target_->FontSize(points) : Status{};
    }
    float FontSize() const override { return font_usable_ ? target_->FontSize() : asked_size_; }
    Status FontBold(bool bold) override { return target_->FontBold(bold); }
    Status FontUnderline(bool underline) override { return target_->FontUnderline(underline); }

    Status CurrentX(float x) override
    {
        x_usable_ = drawable(x);
        asked_x_ = x;
        return x_usable_ ? target_->CurrentX(x) : Status{};
    }
    float CurrentX() const override { return x_usable_ ? target_->CurrentX() : asked_x_; }
    Status CurrentY(float y) override
    {
        y_usable_ = drawable(y);
        return y_usable_ ? target_->CurrentY(y) : Status{};
    }

    Status Print(std::string_view text, LineEnd end) override
    {
        if (!x_usable_ || !y_usable_ || !font_usable_)
            return {};
        return target_->Print(text, end);
    }
    float TextWidth(std::string_view text) override { return target_->TextWidth(text); }

    Status DrawMode(int16_t mode) override { return target_->DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return target_->DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override { return target_->DrawStyle(style); }
    Status Line(float x1, float y1, float x2, float y2) override
    {
        if (!drawable(x1) || !drawable(y1) || !drawable(x2) || !drawable(y2))
            return {};
        return target_->Line(x1, y1, x2, y2);
    }
    Status BeginSpreadText(std::string_view text) override { return target_->BeginSpreadText(text); }
    Status EndSpreadText() override { return target_->EndSpreadText(); }
    Status Color(uint32_t rgb) override { return target_->Color(rgb); }
    Status FillRect(float x, float y, float width, float height) override
    {
        if (!drawable(x) || !drawable(y) || !drawable(width) || !drawable(height))
            return {};
        return target_->FillRect(x, y, width, height);
    }
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override
    {
        if (!drawable(x) || !drawable(y) || !drawable(width) || !drawable(height))
            return {};
        return target_->Image(x, y, width, height, picture);
    }

private:
    DrawSurface* target_ = nullptr;
    bool x_usable_ = true;
    bool y_usable_ = true;
    bool font_usable_ = true;
    float asked_x_ = 0;
    float asked_size_ = 0;
};

}  // namespace

DrawSurface& current_target()
{
    JobState& s = job();
    DrawSurface* target = printer_is_target() ? static_cast<DrawSurface*>(s.PrinterObject.get()) : s.PreviewCanvas.get();
    if (!target)
        raise(Failure(ErrorNumber::ObjectNotSet));
    thread_local GuardedTarget guard;
    guard.bind(*target);
    return guard;
}

bool InOutputRange()
{
    JobState& s = job();
    if (s.OutPage < s.OutStartP || s.OutPage > s.OutEndP)
        return false;
    s.PageStarted = true;
    return true;
}

void on_target(const Status& status)
{
    check(status);
}

void leave_out(Failure failure)
{
    throw ItemLeftOut(std::move(failure));
}

int16_t whole_points_or_leave_out(double value)
{
    Result<int16_t> points = to_i2(value);
    if (!points)
        leave_out(points.failure());
    return points.value();
}

}  // namespace kt482
