// A picture file's bytes decoded by their kind, told by the first bytes.
#pragma once

#include <cstdint>
#include <span>

#include "image/decoded_picture.h"
#include "kt482/failure.h"

namespace kt482 {

// InvalidPicture when the bytes are neither a PNG nor a JPEG this library
// reads whole.
Result<DecodedPicture> decode_picture(std::span<const uint8_t> bytes, uint64_t max_pixels = kMaxPicturePixels);

}  // namespace kt482
