#include "sign/cms_signature.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/x509.h>

#include <memory>

#include "sign/timestamp_client.h"

namespace kt482::sign {
namespace {

struct CmsFree {
    void operator()(CMS_ContentInfo* p) const { CMS_ContentInfo_free(p); }
};
struct BioFree {
    void operator()(BIO* p) const { BIO_free(p); }
};

Failure signing_failure(const std::string& why)
{
    ERR_clear_error();
    return Failure(ErrorNumber::PrinterError, "SetPdfSignature: " + why);
}

// The timestamp of the signature value, as the unsigned attribute
// id-aa-signatureTimeStampToken.
Status add_timestamp(CMS_SignerInfo* signer, const std::string& tsa_url,
                     std::chrono::steady_clock::time_point deadline)
{
    const ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
    const std::string_view signature(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                                     static_cast<std::size_t>(ASN1_STRING_length(value)));
    Result<std::string> token = request_timestamp(tsa_url, signature, deadline);
    if (!token)
        return token.failure();
    if (CMS_unsigned_add1_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, V_ASN1_SEQUENCE, token->data(),
                                      static_cast<int>(token->size()))
        != 1)
        return signing_failure("the timestamp could not be added to the signature");
    return {};
}

}  // namespace

Result<std::string> sign_detached(const SigningIdentity& signer, std::string_view data, const std::string& tsa_url,
                                  std::chrono::steady_clock::time_point deadline)
{
    constexpr unsigned kFlags = CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP | CMS_CADES;
    std::unique_ptr<CMS_ContentInfo, CmsFree> cms(
        CMS_sign(nullptr, nullptr, nullptr, nullptr, kFlags | CMS_PARTIAL));
    if (!cms)
        return signing_failure("the signature could not be started");
    CMS_SignerInfo* info = CMS_add1_signer(cms.get(), signer.certificate(), signer.key(), EVP_sha256(), kFlags);
    if (!info)
        return signing_failure("the key cannot sign with SHA-256");
    if (auto* chain = reinterpret_cast<STACK_OF(X509)*>(signer.chain()))
        for (int i = 0; i < sk_X509_num(chain); ++i)
            CMS_add1_cert(cms.get(), sk_X509_value(chain, i));
    std::unique_ptr<BIO, BioFree> bytes(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
    if (!bytes || CMS_final(cms.get(), bytes.get(), nullptr, kFlags) != 1)
        return signing_failure("the document could not be signed");
    if (!tsa_url.empty())
        if (Status stamped = add_timestamp(info, tsa_url, deadline); !stamped)
            return stamped.failure();
    unsigned char* der = nullptr;
    const int size = i2d_CMS_ContentInfo(cms.get(), &der);
    if (size <= 0)
        return signing_failure("the signature could not be encoded");
    std::string out(reinterpret_cast<char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
    return out;
}

}  // namespace kt482::sign
