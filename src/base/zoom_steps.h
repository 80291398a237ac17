// The preview's zoom, in percent: the steps its zoom list offers and the
// range a zoom typed into the box must keep to.
#pragma once

namespace kt482 {

inline constexpr int kZoomSteps[] = {50, 75, 80, 100, 150, 200};
inline constexpr int kMinimumZoom = 20;
inline constexpr int kMaximumZoom = 500;

}  // namespace kt482
