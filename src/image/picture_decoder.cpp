#include "image/picture_decoder.h"

#include "image/jpeg_decoder.h"
#include "image/png_decoder.h"

namespace kt482 {

Result<DecodedPicture> decode_picture(std::span<const uint8_t> bytes, uint64_t max_pixels)
{
    if (looks_like_png(bytes))
        return decode_png(bytes, max_pixels);
    if (looks_like_jpeg(bytes))
        return decode_jpeg(bytes, max_pixels);
    return Failure(ErrorNumber::InvalidPicture, "Invalid picture: neither a PNG nor a JPEG file");
}

}  // namespace kt482
