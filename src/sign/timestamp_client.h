// Trusted timestamps (RFC 3161): a request for the SHA-256 digest of some
// bytes posted to an authority over HTTP, and its token checked against the
// request. Bounded by a deadline: an authority that does not answer, or
// answers something else than a granted token for the request, fails.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482::sign {

// The time an authority has to answer.
inline constexpr std::chrono::seconds kTimestampDeadline{3};

// The DER-encoded token (a CMS SignedData) for the SHA-256 digest of data.
Result<std::string> request_timestamp(const std::string& tsa_url, std::string_view data,
                                      std::chrono::steady_clock::time_point deadline);

// The token of an authority's reply when it is a granted one for the digest
// and nonce of the request (the checks of request_timestamp, apart from the
// network).
Result<std::string> token_of_reply(std::string_view reply, std::string_view sha256, uint64_t nonce);

}  // namespace kt482::sign
