#include "image/png_decoder.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace kt482 {
namespace {

// Deflate expands at most 1032 times; a file claiming more pixels than its
// data can hold is refused before they are allocated.
constexpr uint64_t kMaxDeflateRatio = 1032;

Failure invalid(const char* why)
{
    return Failure(ErrorNumber::InvalidPicture, std::string("Invalid picture: ") + why);
}

struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
};

}  // namespace

bool looks_like_png(std::span<const uint8_t> bytes)
{
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

Result<DecodedPicture> decode_png(std::span<const uint8_t> bytes, uint64_t max_pixels)
{
    if (!looks_like_png(bytes))
        return invalid("not a PNG file");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return invalid(image.message);

    const uint64_t pixels = uint64_t{image.width} * image.height;
    if (image.width == 0 || image.height == 0 || pixels > max_pixels)
        return invalid("too many pixels");
    const bool has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    // Samples per pixel of the file at eight bits, for the size check.
    const uint64_t raw_row = (uint64_t{image.width} * PNG_IMAGE_PIXEL_CHANNELS(image.format) + 1);
    if (raw_row * image.height > bytes.size() * kMaxDeflateRatio + (1u << 20))
        return invalid("the data is too short for the size the file claims");

    image.format = colour ? (has_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB)
                          : (has_alpha ? PNG_FORMAT_GA : PNG_FORMAT_GRAY);
    const int channels = colour ? 3 : 1;
    const int stored = channels + (has_alpha ? 1 : 0);
    std::vector<uint8_t> buffer(pixels * static_cast<uint64_t>(stored));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr))
        return invalid(image.message);

    DecodedPicture picture;
    picture.width = static_cast<int32_t>(image.width);
    picture.height = static_cast<int32_t>(image.height);
    picture.channels = channels;
    if (!has_alpha) {
        picture.pixels = std::move(buffer);
        return picture;
    }
    // Colour and alpha apart, as a PDF keeps them; a picture whose alpha is
    // opaque throughout needs no mask.
    picture.pixels.resize(pixels * static_cast<uint64_t>(channels));
    picture.alpha.resize(pixels);
    bool opaque = true;
    for (uint64_t i = 0; i < pixels; ++i) {
        const uint8_t* in = buffer.data() + i * static_cast<uint64_t>(stored);
        std::copy(in, in + channels, picture.pixels.data() + i * static_cast<uint64_t>(channels));
        picture.alpha[i] = in[channels];
        opaque = opaque && in[channels] == 0xFF;
    }
    if (opaque)
        picture.alpha.clear();
    return picture;
}

}  // namespace kt482
