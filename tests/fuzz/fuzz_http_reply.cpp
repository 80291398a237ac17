// A timestamp authority's raw HTTP reply on arbitrary bytes: whatever a
// server sends must end in a body no longer than allowed or a failure with a
// reason, never a crash or a read beyond the bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sign/http_post.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    constexpr std::size_t kLargest = 4096;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto body = kt482::sign::http_reply_body(bytes, kLargest);
    if (body && (body->size() > kLargest || body->size() > size))
        __builtin_trap();
    if (!body && body.failure().description.empty())
        __builtin_trap();
    return 0;
}
