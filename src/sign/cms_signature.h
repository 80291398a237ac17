// The signature of a PDF document's bytes: a detached CMS SignedData with
// SHA-256 and the signing-certificate-v2 attribute (CAdES, as PDF's
// ETSI.CAdES.detached signatures are), and the timestamp of its signature
// value when an authority is given.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "kt482/failure.h"
#include "sign/signing_identity.h"

namespace kt482::sign {

// The DER-encoded signature of data. With tsa_url set, the authority's token
// over the signature value is added as an unsigned attribute; it must answer
// by deadline.
Result<std::string> sign_detached(const SigningIdentity& signer, std::string_view data, const std::string& tsa_url,
                                  std::chrono::steady_clock::time_point deadline);

}  // namespace kt482::sign
