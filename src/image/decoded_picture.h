// A picture file decoded: what the renderer hands a surface, and the
// limits every decoder keeps to.
#pragma once

#include <cstdint>
#include <vector>

namespace kt482 {

// Pictures larger than this are refused before their pixels are allocated.
inline constexpr uint64_t kMaxPicturePixels = 100'000'000;

struct DecodedPicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;           // 1 grey or 3 RGB
    std::vector<uint8_t> pixels;    // rows from the top, width * height * channels
    std::vector<uint8_t> alpha;     // width * height, empty when opaque
    // A JPEG's file as it is, with its components and CMYK inversion.
    std::vector<uint8_t> jpeg;
    int32_t jpeg_components = 0;
    bool jpeg_inverted = false;
};

}  // namespace kt482
