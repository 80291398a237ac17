#include "print/calibration_sheet.h"

#include <string>

#include "platform/printer.h"

namespace kt482 {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr double kCrossArmMm = 8.0;

// Draws on the printer in millimetres from the sheet's corner, whatever the
// printable area's origin is.
class SheetPen {
public:
    SheetPen(Printer& printer, Printer::SheetPoint origin) : printer_(printer), origin_(origin) {}

    Status line(double x1, double y1, double x2, double y2)
    {
        return printer_.Line(x(x1), y(y1), x(x2), y(y2));
    }
    Status text(double x_mm, double y_mm, const std::string& words)
    {
        if (Status moved = printer_.CurrentX(x(x_mm)); !moved)
            return moved;
        if (Status moved = printer_.CurrentY(y(y_mm)); !moved)
            return moved;
        return printer_.Print(words, LineEnd::Without);
    }

private:
    float x(double mm) const { return static_cast<float>(mm * kPointsPerMm - origin_.x); }
    float y(double mm) const { return static_cast<float>(mm * kPointsPerMm - origin_.y); }

    Printer& printer_;
    Printer::SheetPoint origin_;
};

Status crosshair(SheetPen& pen, double x, double y)
{
    if (Status s = pen.line(x - kCrossArmMm, y, x + kCrossArmMm, y); !s)
        return s;
    if (Status s = pen.line(x, y - kCrossArmMm, x, y + kCrossArmMm); !s)
        return s;
    return pen.text(x + 1.5, y + 1.5, std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
}

// A tick every millimetre, longer every 5 and labelled every 10 with its
// distance from the sheet's edge.
Status ruler(SheetPen& pen, bool across, double from, double to)
{
    const double at = kRulerLineMm;
    for (int mm = static_cast<int>(from); mm <= static_cast<int>(to); ++mm) {
        const double length = mm % 10 == 0 ? 4.0 : mm % 5 == 0 ? 2.5 : 1.5;
        Status drawn = across ? pen.line(mm, at, mm, at + length) : pen.line(at, mm, at + length, mm);
        if (drawn && mm % 10 == 0)
            drawn = across ? pen.text(mm - 1.5, at + 5, std::to_string(mm)) : pen.text(at + 5, mm - 1.5, std::to_string(mm));
        if (!drawn)
            return drawn;
    }
    return across ? pen.line(from, at, to, at) : pen.line(at, from, at, to);
}

}  // namespace

Status draw_calibration_sheet(Printer& printer, double width_mm, double height_mm, const std::string& title)
{
    // The sheet shows where the printer puts things as it stands.
    (void)printer.PrintOffset(0, 0);
    if (Status s = printer.FontName("ＭＳ ゴシック"); !s)
        return s;
    (void)printer.FontSize(9);
    // The first text starts the document, and with it the printable area's
    // origin is known; it stands where every printer can print.
    if (Status s = printer.Print("", LineEnd::Without); !s)
        return s;
    SheetPen pen(printer, printer.SheetOrigin());
    const double inset = kCrosshairInsetMm;
    const std::string lines[] = {
        "KT482 alignment sheet / 位置合わせシート: " + title,
        "十字の中心は用紙の左端・上端から数字の mm の位置です。",
        "Each cross is that many mm from the left and top edges.",
        "A cross 0.5 mm too far right and 1 mm too high:",
        "kt482 calibrate " + title + " --offset -0.5,1",
    };
    double y = kRulerLineMm + 15;
    for (const std::string& line : lines) {
        if (Status s = pen.text(kRulerLineMm + 12, y, line); !s)
            return s;
        y += 5;
    }
    for (double cx : {inset, width_mm - inset})
        for (double cy : {inset, height_mm - inset})
            if (Status s = crosshair(pen, cx, cy); !s)
                return s;
    if (Status s = ruler(pen, true, inset - 10, width_mm - inset + 10); !s)
        return s;
    return ruler(pen, false, inset - 10, height_mm - inset + 10);
}

}  // namespace kt482
