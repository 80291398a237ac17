// A timestamp authority's reply on arbitrary bytes: whatever an authority
// sends must end in a token or a failure with a reason, never a crash or a
// read beyond the bytes. The digest and nonce are those of the seed replies
// (the SHA-256 of "kt482 seed", nonce 0x0102030405060708), so that mutations
// of a granted reply reach the checks of the token.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sign/digest.h"
#include "sign/timestamp_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const std::string digest = kt482::sign::sha256("kt482 seed");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto token = kt482::sign::token_of_reply(bytes, digest, 0x0102030405060708);
    if (token && (token->empty() || token->size() > size))
        __builtin_trap();
    if (!token && token.failure().description.empty())
        __builtin_trap();
    return 0;
}
