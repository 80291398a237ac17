#include "sign/timestamp_client.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/rand.h>
#include <openssl/ts.h>

#include <memory>

#include "sign/digest.h"
#include "sign/http_post.h"

namespace kt482::sign {
namespace {

// A token with the authority's certificates is a few kilobytes.
constexpr std::size_t kLargestReply = 1 << 20;

template <class T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
using Request = std::unique_ptr<TS_REQ, Freer<TS_REQ, TS_REQ_free>>;
using Reply = std::unique_ptr<TS_RESP, Freer<TS_RESP, TS_RESP_free>>;

Failure timestamp_failure(const std::string& why)
{
    ERR_clear_error();
    return Failure(ErrorNumber::PrinterError, "SetPdfTimestamp: " + why);
}

// The DER of a request for the digest with a nonce, asking for the
// authority's certificate in the token so that readers can check it.
Result<std::string> request_der(std::string_view digest, uint64_t nonce)
{
    Request request(TS_REQ_new());
    TS_MSG_IMPRINT* imprint = TS_MSG_IMPRINT_new();
    X509_ALGOR* algorithm = X509_ALGOR_new();
    ASN1_INTEGER* number = ASN1_INTEGER_new();
    bool made = request && imprint && algorithm && number
                && X509_ALGOR_set0(algorithm, OBJ_nid2obj(NID_sha256), V_ASN1_NULL, nullptr) == 1
                && TS_MSG_IMPRINT_set_algo(imprint, algorithm) == 1
                && TS_MSG_IMPRINT_set_msg(imprint, reinterpret_cast<unsigned char*>(const_cast<char*>(digest.data())),
                                          static_cast<int>(digest.size()))
                       == 1
                && TS_REQ_set_version(request.get(), 1) == 1 && TS_REQ_set_msg_imprint(request.get(), imprint) == 1
                && ASN1_INTEGER_set_uint64(number, nonce) == 1 && TS_REQ_set_nonce(request.get(), number) == 1
                && TS_REQ_set_cert_req(request.get(), 1) == 1;
    TS_MSG_IMPRINT_free(imprint);
    X509_ALGOR_free(algorithm);
    ASN1_INTEGER_free(number);
    unsigned char* der = nullptr;
    const int size = made ? i2d_TS_REQ(request.get(), &der) : -1;
    if (size <= 0)
        return timestamp_failure("the request could not be made");
    std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
    return bytes;
}

// Posts the request; the reply's bytes, or why there are none by the
// deadline, which the name lookup, the connection, the request and the
// reply share.
Result<std::string> post(const std::string& url, const std::string& request,
                         std::chrono::steady_clock::time_point deadline)
{
    Result<HttpTarget> target = parse_http_url(url);
    if (!target)
        return timestamp_failure(target.failure().description);
    Result<std::string> reply = http_post(*target, "application/timestamp-query", "application/timestamp-reply",
                                          request, kLargestReply, deadline);
    if (!reply)
        return timestamp_failure("no timestamp from the authority at " + url + ": " + reply.failure().description);
    return reply;
}

}  // namespace

Result<std::string> token_of_reply(std::string_view reply_bytes, std::string_view digest, uint64_t nonce)
{
    const auto* p = reinterpret_cast<const unsigned char*>(reply_bytes.data());
    Reply reply(d2i_TS_RESP(nullptr, &p, static_cast<long>(reply_bytes.size())));
    if (!reply)
        return timestamp_failure("the authority's answer is not a timestamp reply");
    const long status = ASN1_INTEGER_get(TS_STATUS_INFO_get0_status(TS_RESP_get_status_info(reply.get())));
    TS_TST_INFO* info = TS_RESP_get_tst_info(reply.get());
    PKCS7* token = TS_RESP_get_token(reply.get());
    if ((status != 0 && status != 1) || !info || !token)
        return timestamp_failure("the authority refused the request");
    const ASN1_OCTET_STRING* imprint = TS_MSG_IMPRINT_get_msg(TS_TST_INFO_get_msg_imprint(info));
    const ASN1_INTEGER* answered = TS_TST_INFO_get_nonce(info);
    uint64_t answered_nonce = 0;
    const bool matches = imprint && static_cast<std::size_t>(ASN1_STRING_length(imprint)) == digest.size()
                         && std::string_view(reinterpret_cast<const char*>(ASN1_STRING_get0_data(imprint)),
                                             digest.size())
                                == digest
                         && answered && ASN1_INTEGER_get_uint64(&answered_nonce, answered) == 1
                         && answered_nonce == nonce;
    if (!matches)
        return timestamp_failure("the authority's token is not for this document");
    unsigned char* der = nullptr;
    const int size = i2d_PKCS7(token, &der);
    if (size <= 0)
        return timestamp_failure("the authority's token cannot be encoded");
    std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(size));
    OPENSSL_free(der);
    return bytes;
}

Result<std::string> request_timestamp(const std::string& tsa_url, std::string_view data,
                                      std::chrono::steady_clock::time_point deadline)
{
    const std::string digest = sha256(data);
    uint64_t nonce = 0;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&nonce), sizeof nonce) != 1)
        return timestamp_failure("no random nonce");
    nonce >>= 1;  // positive as an ASN.1 integer of at most 8 bytes
    Result<std::string> request = request_der(digest, nonce);
    if (!request)
        return request.failure();
    Result<std::string> reply = post(tsa_url, *request, deadline);
    if (!reply)
        return reply.failure();
    return token_of_reply(*reply, digest, nonce);
}

}  // namespace kt482::sign
