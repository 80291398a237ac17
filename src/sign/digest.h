// Digests of bytes, for the checksums and signatures of PDF documents.
#pragma once

#include <string>
#include <string_view>

namespace kt482::sign {

// The raw 32-byte SHA-256 digest of data.
std::string sha256(std::string_view data);
// The raw 16-byte MD5 digest of data: the checksum PDF gives embedded files
// (a check against damage, not a protection).
std::string md5(std::string_view data);

}  // namespace kt482::sign
