// The signer of PDF documents: a certificate and its private key, read from
// a PKCS#12 file with its password. The key stays in memory; nothing here
// writes or logs it.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "kt482/failure.h"

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;
typedef struct stack_st_X509 STACK_OF_X509;

namespace kt482::sign {

class SigningIdentity {
public:
    ~SigningIdentity();
    SigningIdentity(const SigningIdentity&) = delete;
    SigningIdentity& operator=(const SigningIdentity&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* key() const { return key_; }
    // The certificates between the signer's and its authority, as the file
    // holds them (may be null).
    STACK_OF_X509* chain() const { return chain_; }
    // The signer's name: the certificate subject's common name, else its
    // organisation, else the whole subject.
    const std::string& name() const { return name_; }

private:
    friend Result<std::shared_ptr<SigningIdentity>> read_signing_identity(std::string_view, std::string_view,
                                                                          std::time_t);
    SigningIdentity() = default;
    X509* certificate_ = nullptr;
    EVP_PKEY* key_ = nullptr;
    STACK_OF_X509* chain_ = nullptr;
    std::string name_;
};

// The identity in the bytes of a PKCS#12 file: fails (InvalidFileFormat,
// PermissionDenied for a wrong password, InvalidPropertyValue for a
// certificate not valid at now or not allowed to sign) with the reason.
// Any bytes are safe to pass.
Result<std::shared_ptr<SigningIdentity>> read_signing_identity(std::string_view pkcs12, std::string_view password,
                                                               std::time_t now);

// Whether an identity read before may still sign at now: its certificate
// within its validity (InvalidPropertyValue with the reason otherwise).
Status check_validity(const SigningIdentity& identity, std::time_t now);

// The same from a file.
Result<std::shared_ptr<SigningIdentity>> load_signing_identity(const std::string& path, std::string_view password);

}  // namespace kt482::sign
