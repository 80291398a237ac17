// Pictures by path, decoded once and kept while they fit: the recording
// checks each picture with it and the renderer draws from it, so a logo on
// every page of a long document is read and decoded once. An entry is used
// again only while the file's identity is unchanged; the least recently
// used go first once kPictureCacheBytes are held, and a picture larger than
// that is decoded for each use and not kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/decoded_picture.h"
#include "kt482/draw_surface.h"
#include "kt482/failure.h"

namespace kt482 {

inline constexpr std::size_t kPictureCacheBytes = 64u << 20;

struct LoadedPicture {
    DecodedPicture decoded;
    uint64_t id = 0;  // from the path and the file's identity, never 0

    // The view a surface draws, valid while this object lives.
    ImagePixels view() const;
};

// FileNotFound, PathFileAccessError (a symlink, not a regular file),
// InvalidPicture (not a picture read whole) and the like.
Result<std::shared_ptr<const LoadedPicture>> load_picture(const std::string& path);

// Bytes of decoded pictures held, for tests and measurements.
std::size_t picture_cache_bytes();

}  // namespace kt482
