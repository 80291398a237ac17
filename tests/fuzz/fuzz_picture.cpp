// The picture loader on arbitrary bytes: any PNG or JPEG damage must end in
// InvalidPicture, never a crash, a hang or an unbounded allocation.
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // A lower pixel limit than the library's keeps each run fast; the
    // limit's check is the same code.
    constexpr uint64_t kFuzzMaxPixels = 4'000'000;
    auto picture = kt482::decode_picture(std::span<const uint8_t>(data, size), kFuzzMaxPixels);
    if (picture) {
        const auto pixels = static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height);
        if (picture->pixels.size() != pixels * static_cast<std::size_t>(picture->channels)
            || (!picture->alpha.empty() && picture->alpha.size() != pixels))
            __builtin_trap();
    }
    return 0;
}
