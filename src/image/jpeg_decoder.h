// JPEG files (grey, RGB, CMYK; baseline and progressive) through
// libjpeg-turbo, to grey or RGB pixels; the file itself is kept for a PDF,
// which carries it unchanged.
#pragma once

#include <cstdint>
#include <span>

#include "image/decoded_picture.h"
#include "kt482/failure.h"

namespace kt482 {

bool looks_like_jpeg(std::span<const uint8_t> bytes);

// InvalidPicture for a damaged or truncated file (libjpeg's warnings count
// as damage: it would fill what is missing with grey), an unsupported one,
// or one of more than max_pixels pixels.
Result<DecodedPicture> decode_jpeg(std::span<const uint8_t> bytes, uint64_t max_pixels = kMaxPicturePixels);

}  // namespace kt482
