#include "sign/digest.h"

#include <openssl/evp.h>

namespace kt482::sign {
namespace {

std::string digest(const EVP_MD* md, std::string_view data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), out, &size, md, nullptr) != 1)
        return {};
    return std::string(reinterpret_cast<char*>(out), size);
}

}  // namespace

std::string sha256(std::string_view data)
{
    return digest(EVP_sha256(), data);
}

std::string md5(std::string_view data)
{
    return digest(EVP_md5(), data);
}

}  // namespace kt482::sign
