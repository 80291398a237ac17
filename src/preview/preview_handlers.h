// The handlers of the preview window: paging, the page box, zoom,
// scrolling, resizing, printing and the printer settings.
//
// Two magnifications, kept apart: the zoom box is the print magnification
// (P_Bairitu), which the printed page has too; the keys, Ctrl and the wheel,
// and the fits of the context menu set the view scale, which only enlarges
// or reduces the page on the screen (see Canvas::ViewScale). Scroll offsets
// are in points of the page; the canvas control shows its size divided by
// the view scale of them.
#pragma once

#include <string>
#include <string_view>

#include "platform/window_toolkit.h"

namespace kt482 {

inline constexpr std::string_view kPreviewTitlePrefix = "KT482_Print : ZZ010_PREV : ";
inline constexpr const char* kNotANumberMessage = "数値を入力して下さい。";
inline constexpr const char* kNoSuchPageMessage = "該当する頁のプレビュ・データは有りません。";
inline constexpr const char* kZoomTooLargeMessage = "拡大率には、５００％以下の値を指定して下さい。";
inline constexpr const char* kZoomTooSmallMessage = "縮小率には、２０％以上の値を指定して下さい。";
inline constexpr const char* kPageBoxTitle = "印刷プレビュー";
inline constexpr const char* kZoomTitle = "KT482_Print : ZZ010_PREV";
inline constexpr const char* kSuggestedPdfName = "KT482_Print.pdf";

class PreviewHandlers final : public PreviewWindowEvents {
public:
    void Attach(PreviewWindow& window) noexcept override { window_ = &window; }
    void Form_Load() noexcept override;
    void Form_Resize() noexcept override;
    void TOP_Click() noexcept override;
    void PREV_Click() noexcept override;
    void NEXT_Click() noexcept override;
    void BOTOM_Click() noexcept override;
    void Print_Click() noexcept override;
    void Close_Click() noexcept override;
    void Settings_Click() noexcept override;
    void CUR_PAGE_GotFocus() noexcept override;
    void CUR_PAGE_KeyPress(int key) noexcept override;
    void CUR_PAGE_LostFocus() noexcept override;
    void HSCROL_Change() noexcept override;
    void VSCROL_Change() noexcept override;
    void ZOOM_Click() noexcept override;
    void ZOOM_KeyPress(int key) noexcept override;
    void ZOOM_LostFocus() noexcept override;
    void Command(PreviewCommand command) noexcept override;
    void DATA_Wheel(int delta_x, int delta_y, bool zoom) noexcept override;

private:
    PreviewWindow& window();
    void view_at(double percent);
    enum class Fit { Width, WholePage };
    void fit(Fit to);
    double view_scale();
    // The part of the page the canvas shows across and down, in points of
    // the page.
    float shown_width();
    float shown_height();
    // Shows the page at a view scale: lays the canvas out, keeps the
    // offsets within reach, moves the bars and redraws.
    void show_at_scale(double scale);
    // Moves the view by points; false when it was already at that end.
    bool scroll_by(double dx, double dy);

    PreviewWindow* window_ = nullptr;
    // The text of the page box when it last got the focus.
    std::string SavedPageText;
    // Wheel turns not yet worth a zoom step, in eighths of a degree.
    int zoomWheel_ = 0;
};

}  // namespace kt482
