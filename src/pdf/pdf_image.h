// Pictures as image XObjects: a JPEG as it is (DCTDecode), any other
// picture's pixels deflated once, with its transparency as a soft mask.
#pragma once

#include <cstdint>

#include "pdf/pdf_writer.h"
#include "kt482/draw_surface.h"

namespace kt482::pdf {

// The colour spaces a file may hold. An archived file declares an sRGB
// output intent, beside which device CMYK is not allowed: a CMYK JPEG is
// written as its decoded RGB pixels instead.
enum class ImageColours { Any, GreyAndRgb };

// Writes the picture and returns its image object's number; 0 when the
// picture's data does not match its size.
uint32_t write_image(PdfWriter& writer, const ImagePixels& picture, ImageColours colours = ImageColours::Any);

}  // namespace kt482::pdf
