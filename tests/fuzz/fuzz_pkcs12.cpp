// The signer's certificate file on arbitrary bytes: a certificate file is
// untrusted input, and anything that is not a usable PKCS#12 identity must
// end in a failure with a reason, never a crash or a leak.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sign/signing_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // The seeds' password, so that mutations get past the integrity check
    // into the certificates and keys; a fixed moment inside their validity.
    constexpr std::time_t kMoment = 1'800'000'000;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto identity = kt482::sign::read_signing_identity(bytes, "seal-pass", kMoment);
    if (identity && (!(*identity)->certificate() || !(*identity)->key()))
        __builtin_trap();
    if (!identity && identity.failure().description.empty())
        __builtin_trap();
    return 0;
}
