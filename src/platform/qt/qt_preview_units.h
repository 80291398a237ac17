// The preview window's units: points for the controls, twips for the outer
// size, and Qt's device-independent pixels at 96/72 per point.
#pragma once

#include <QSize>

#include <algorithm>
#include <cmath>

#include "base/units.h"

namespace kt482::preview_window {

// 20 twips per point over 96/72 pixels per point.
inline constexpr int kTwipsPerPixel = 15;

// The frame the layout allows for: 8 points across, 20 down.
inline constexpr int kFrameWidthTwips = 160;
inline constexpr int kFrameHeightTwips = 400;

inline int pixels(double points)
{
    return static_cast<int>(std::lround(points * kPixelsPerPoint));
}

// The dialog's size for an outer size: the frame's allowance taken off.
inline QSize pixelSize(int widthTwips, int heightTwips)
{
    auto px = [](int twips) { return std::max(1, static_cast<int>(std::lround(twips / double(kTwipsPerPixel)))); };
    return {px(widthTwips - kFrameWidthTwips), px(heightTwips - kFrameHeightTwips)};
}

inline int outerWidthTwips(int pixels)
{
    return pixels * kTwipsPerPixel + kFrameWidthTwips;
}

inline int outerHeightTwips(int pixels)
{
    return pixels * kTwipsPerPixel + kFrameHeightTwips;
}

}  // namespace kt482::preview_window
