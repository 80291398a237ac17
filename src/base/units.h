// Lengths in the units of forms, printers and screens: twips (1/1440 inch),
// points (1/72 inch), millimetres, inches, and the preview's logical pixels
// (96 per inch). Each conversion keeps the order of its arithmetic, so a
// value converted here is the value every caller had before.
#pragma once

#include <cstdint>

namespace kt482 {

inline constexpr double kTwipsPerPoint = 20.0;
inline constexpr double kPointsPerInch = 72.0;
inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr double kTwipsPerMillimetre = kTwipsPerInch / kMillimetresPerInch;

// The screen's logical resolution: 96 device-independent pixels per inch.
inline constexpr double kLogicalDpi = 96.0;
inline constexpr double kPixelsPerPoint = kLogicalDpi / kPointsPerInch;

constexpr double points_from_twips(double twips) noexcept
{
    return twips / 20.0;
}

constexpr double twips_from_points(double points) noexcept
{
    return points * 20.0;
}

constexpr double points_from_millimetres(double millimetres) noexcept
{
    return millimetres * 72.0 / 25.4;
}

constexpr double points_from_inches(double inches) noexcept
{
    return inches * 72.0;
}

constexpr double millimetres_from_inches(double inches) noexcept
{
    return inches * 25.4;
}

}  // namespace kt482
