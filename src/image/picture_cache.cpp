#include "image/picture_cache.h"

#include <list>
#include <mutex>

#include "image/picture_decoder.h"
#include "image/picture_file.h"

namespace kt482 {
namespace {

struct Entry {
    std::string path;
    FileIdentity identity;
    std::shared_ptr<const LoadedPicture> picture;
    std::size_t bytes = 0;
};

struct Cache {
    std::mutex mutex;
    std::list<Entry> entries;  // most recently used first
    std::size_t bytes = 0;
};

Cache& cache()
{
    static Cache instance;
    return instance;
}

std::size_t size_of(const DecodedPicture& p)
{
    return p.pixels.size() + p.alpha.size() + p.jpeg.size();
}

// FNV-1a over the path and the identity.
uint64_t picture_id(const std::string& path, const FileIdentity& identity)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&hash](const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            hash ^= static_cast<const uint8_t*>(data)[i];
            hash *= 0x100000001b3ull;
        }
    };
    mix(path.data(), path.size());
    mix(&identity.device, sizeof identity.device);
    mix(&identity.inode, sizeof identity.inode);
    mix(&identity.size, sizeof identity.size);
    mix(&identity.changed_ns, sizeof identity.changed_ns);
    return hash ? hash : 1;
}

}  // namespace

ImagePixels LoadedPicture::view() const
{
    ImagePixels p;
    p.id = id;
    p.width = decoded.width;
    p.height = decoded.height;
    p.channels = decoded.channels;
    p.pixels = decoded.pixels;
    p.alpha = decoded.alpha;
    p.jpeg = decoded.jpeg;
    p.jpeg_components = decoded.jpeg_components;
    p.jpeg_inverted = decoded.jpeg_inverted;
    return p;
}

Result<std::shared_ptr<const LoadedPicture>> load_picture(const std::string& path)
{
    auto identity = picture_file_identity(path);
    if (!identity)
        return identity.failure();
    Cache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        for (auto it = c.entries.begin(); it != c.entries.end(); ++it) {
            if (it->path == path && it->identity == *identity) {
                c.entries.splice(c.entries.begin(), c.entries, it);
                return it->picture;
            }
        }
    }
    // Read and decoded outside the lock: other threads' pictures need not wait.
    FileIdentity read_identity;
    auto bytes = read_picture_file(path, read_identity);
    if (!bytes)
        return bytes.failure();
    auto decoded = decode_picture(*bytes);
    if (!decoded)
        return decoded.failure();
    auto loaded = std::make_shared<LoadedPicture>();
    loaded->decoded = std::move(*decoded);
    loaded->id = picture_id(path, read_identity);
    const std::size_t size = size_of(loaded->decoded);
    if (size > kPictureCacheBytes)
        return std::shared_ptr<const LoadedPicture>(std::move(loaded));

    std::lock_guard lock(c.mutex);
    for (auto it = c.entries.begin(); it != c.entries.end();) {
        if (it->path == path) {
            c.bytes -= it->bytes;
            it = c.entries.erase(it);
        } else {
            ++it;
        }
    }
    while (!c.entries.empty() && c.bytes + size > kPictureCacheBytes) {
        c.bytes -= c.entries.back().bytes;
        c.entries.pop_back();
    }
    c.entries.push_front({path, read_identity, loaded, size});
    c.bytes += size;
    return std::shared_ptr<const LoadedPicture>(std::move(loaded));
}

std::size_t picture_cache_bytes()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    return c.bytes;
}

}  // namespace kt482
