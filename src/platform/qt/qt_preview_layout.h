// The preview window's controls: where each sits in points, its first
// text, and its place in the tab order.
#pragma once

#include "platform/qt/qt_preview_units.h"
#include "platform/window_toolkit.h"

namespace kt482::preview_window {

// The client area the window opens with: 397.2 × 246 points.
inline constexpr int kInitialWidthTwips = 7944 + kFrameWidthTwips;
inline constexpr int kInitialHeightTwips = 4920 + kFrameHeightTwips;

// 9 points at 96/72 pixels per point.
inline constexpr int kControlFontPixels = 12;

struct ControlLayout {
    PreviewControl control;
    const char* text;
    ControlRect rect;
    int tabIndex;  // -1: takes no focus
};

// In creation order.
inline constexpr ControlLayout kControls[] = {
    {PreviewControl::CUR_PAGE, "ZZZ9", {45, 226, 25, 14}, 13},
    {PreviewControl::VSCROL, "", {378, 24, 13, 201.6f}, 11},
    {PreviewControl::Settings, "プリンタ設定", {75, 0, 65.4f, 24.75f}, 1},
    {PreviewControl::HSCROL, "", {145, 226, 232.2f, 15}, 10},
    {PreviewControl::DATA, "", {5.4f, 25, 370.8f, 200}, 9},
    {PreviewControl::BOTOM, "＞|", {125, 226, 20, 15}, 8},
    {PreviewControl::NEXT, "＞", {105, 226, 20, 15}, 7},
    {PreviewControl::PREV, "＜", {25, 226, 20, 15}, 6},
    {PreviewControl::TOP, "|＜", {5, 226, 20, 15}, 5},
    {PreviewControl::ZOOM, "100", {144, 5.4f, 38.4f, 13.8f}, 2},
    {PreviewControl::Close, "終 了", {201, 0, 63.6f, 24.75f}, 3},
    {PreviewControl::Print, "印\u3000刷", {6, 0, 65.4f, 24.75f}, 0},
    {PreviewControl::LAST_PAGE, "/ ZZZ9", {70, 226, 34.8f, 13.8f}, -1},
    {PreviewControl::Label3, "％", {183, 7.8f, 10.8f, 13.2f}, -1},
    {PreviewControl::VIEW, "表示 100%", {270, 7.8f, 100, 13.2f}, -1},
};

}  // namespace kt482::preview_window
