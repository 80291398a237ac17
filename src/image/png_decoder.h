// PNG files of every colour type and depth, through libpng, to eight bits a
// sample; transparency (an alpha channel or tRNS) as an alpha plane.
#pragma once

#include <cstdint>
#include <span>

#include "image/decoded_picture.h"
#include "kt482/failure.h"

namespace kt482 {

bool looks_like_png(std::span<const uint8_t> bytes);

// InvalidPicture for a damaged, truncated or unsupported file, or one of
// more than max_pixels pixels.
Result<DecodedPicture> decode_png(std::span<const uint8_t> bytes, uint64_t max_pixels = kMaxPicturePixels);

}  // namespace kt482
