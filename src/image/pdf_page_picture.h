// The first page of a PDF file as a picture, rendered by Poppler: what the
// preview shows of a scanned or drawn pre-printed form kept as PDF.
#pragma once

#include <cstdint>
#include <span>

#include "image/decoded_picture.h"
#include "kt482/failure.h"

namespace kt482 {

// Whether the bytes begin as a PDF file does.
bool looks_like_pdf(std::span<const uint8_t> bytes);

// The first page at dpi dots per inch, RGB and opaque (white under anything
// transparent). InvalidPicture when the bytes are no PDF Poppler can open,
// it has no page, or the page at that resolution passes max_pixels.
Result<DecodedPicture> render_pdf_first_page(std::span<const uint8_t> bytes, double dpi,
                                             uint64_t max_pixels = kMaxPicturePixels);

}  // namespace kt482
