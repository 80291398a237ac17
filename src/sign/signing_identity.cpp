#include "sign/signing_identity.h"

#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <fstream>
#include <sstream>

namespace kt482::sign {
namespace {

// A PKCS#12 file holds one identity; anything far larger is not one.
constexpr std::size_t kLargestPkcs12 = 1 << 20;

Failure signing_failure(ErrorNumber number, const std::string& why)
{
    // The library's queue may hold the reasons of the failed parse; they say
    // nothing the text does not and would otherwise linger in the thread.
    ERR_clear_error();
    return Failure(number, "SetPdfSignature: " + why);
}

std::string subject_field(X509_NAME* subject, int nid)
{
    const int at = X509_NAME_get_index_by_NID(subject, nid, -1);
    if (at < 0)
        return {};
    unsigned char* utf8 = nullptr;
    const int n = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
    if (n < 0)
        return {};
    std::string text(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(n));
    OPENSSL_free(utf8);
    return text;
}

std::string signer_name(X509* certificate)
{
    X509_NAME* subject = X509_get_subject_name(certificate);
    for (const int nid : {NID_commonName, NID_organizationName})
        if (std::string text = subject_field(subject, nid); !text.empty())
            return text;
    char line[256];
    X509_NAME_oneline(subject, line, sizeof line);
    return line;
}

}  // namespace

SigningIdentity::~SigningIdentity()
{
    X509_free(certificate_);
    EVP_PKEY_free(key_);
    sk_X509_pop_free(reinterpret_cast<STACK_OF(X509)*>(chain_), X509_free);
}

Result<std::shared_ptr<SigningIdentity>> read_signing_identity(std::string_view pkcs12, std::string_view password,
                                                               std::time_t now)
{
    if (pkcs12.size() > kLargestPkcs12)
        return signing_failure(ErrorNumber::InvalidFileFormat, "the certificate file is too large to be one");
    const auto* p = reinterpret_cast<const unsigned char*>(pkcs12.data());
    PKCS12* bundle = d2i_PKCS12(nullptr, &p, static_cast<long>(pkcs12.size()));
    if (!bundle)
        return signing_failure(ErrorNumber::InvalidFileFormat, "the certificate file is not a PKCS#12 file");
    std::shared_ptr<SigningIdentity> identity(new SigningIdentity());
    const std::string pass(password);
    STACK_OF(X509)* chain = nullptr;
    const bool parsed = PKCS12_verify_mac(bundle, pass.c_str(), static_cast<int>(pass.size())) == 1
                        && PKCS12_parse(bundle, pass.c_str(), &identity->key_, &identity->certificate_, &chain) == 1;
    PKCS12_free(bundle);
    identity->chain_ = reinterpret_cast<STACK_OF_X509*>(chain);
    if (!parsed)
        return signing_failure(ErrorNumber::PermissionDenied,
                               "the certificate file cannot be opened with the password given");
    if (!identity->certificate_ || !identity->key_)
        return signing_failure(ErrorNumber::InvalidFileFormat, "the certificate file holds no certificate with its key");
    X509* certificate = identity->certificate_;
    if (X509_check_private_key(certificate, identity->key_) != 1)
        return signing_failure(ErrorNumber::InvalidFileFormat, "the key does not belong to the certificate");
    if (Status valid = check_validity(*identity, now); !valid)
        return valid.failure();
    // Without a key-usage extension a certificate may sign; with one it
    // must allow digital signatures or non-repudiation.
    if ((X509_get_key_usage(certificate) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) == 0)
        return signing_failure(ErrorNumber::InvalidPropertyValue, "the certificate is not allowed to sign");
    identity->name_ = signer_name(certificate);
    return identity;
}

Status check_validity(const SigningIdentity& identity, std::time_t now)
{
    std::time_t moment = now;
    if (X509_cmp_time(X509_get0_notAfter(identity.certificate()), &moment) <= 0)
        return signing_failure(ErrorNumber::InvalidPropertyValue, "the certificate has expired");
    if (X509_cmp_time(X509_get0_notBefore(identity.certificate()), &moment) >= 0)
        return signing_failure(ErrorNumber::InvalidPropertyValue, "the certificate is not valid yet");
    return {};
}

Result<std::shared_ptr<SigningIdentity>> load_signing_identity(const std::string& path, std::string_view password)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Failure(ErrorNumber::FileNotFound, "SetPdfSignature: the certificate file cannot be read: " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return read_signing_identity(bytes.str(), password, std::time(nullptr));
}

}  // namespace kt482::sign
