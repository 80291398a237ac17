// A barcode encoded: its bars and modules as rectangles and its
// human-readable line, in the encoder's own units (y downwards).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/barcode_request.h"
#include "kt482/failure.h"

namespace kt482 {

struct BarcodeRect {
    float x, y, width, height;
};

// Horizontal alignment of a label on its x.
enum class LabelAlign { Centre, Left, Right };

struct BarcodeLabel {
    float x;
    float baseline;
    float size;
    LabelAlign align;
    std::string text;
};

struct BarcodeShape {
    // The whole symbol with its quiet zones and human-readable line.
    float width = 0;
    float height = 0;
    // Where the ordinary bars of a linear code end; the human-readable line
    // (and the longer guard bars of a JAN code) lie below. The height when
    // there is no line.
    float bar_bottom = 0;
    std::vector<BarcodeRect> rects;
    std::vector<BarcodeLabel> labels;
};

// More data than any of the symbologies holds (a QR code takes at most 7089
// digits), in bytes.
inline constexpr std::size_t kMaxBarcodeData = 7200;

// Encodes data (UTF-8) as spec says. JAN codes take their digits without
// (12, 7) or with (13, 8) the check digit, which is computed or verified.
// Empty data, data longer than kMaxBarcodeData and data the symbology cannot
// hold are a failure (5) that gives the encoder's reason.
Result<BarcodeShape> encode_barcode(const BarcodeSpec& spec, std::string_view data);

}  // namespace kt482
