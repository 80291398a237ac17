#include "sign/pdf_encryption.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <memory>
#include <stdexcept>

namespace kt482::sign {
namespace {

// The permission bits a reader honours; all others are set (bits 7, 8 and
// 13 to 32, counting from 1), as the format requires.
constexpr uint32_t kPermissionBits = 0x00000F3C;
constexpr uint32_t kRequiredBits = 0xFFFFF0C0;
constexpr std::size_t kLongestPassword = 127;

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::string random_bytes(std::size_t n)
{
    std::string bytes(n, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(n)) != 1)
        throw std::runtime_error("no random bytes");
    return bytes;
}

// One pass of a block cipher over data; padding only where asked for.
std::string run_cipher(const EVP_CIPHER* cipher, std::string_view key, std::string_view iv, std::string_view data,
                       bool padding)
{
    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    const auto* v = iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data());
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), cipher, nullptr, k, v) != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), padding ? 1 : 0) != 1)
        throw std::runtime_error("cipher not available");
    std::string out(data.size() + 16, '\0');
    int n = 0;
    int tail = 0;
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_EncryptUpdate(ctx.get(), o, &n, reinterpret_cast<const unsigned char*>(data.data()),
                          static_cast<int>(data.size()))
            != 1
        || EVP_EncryptFinal_ex(ctx.get(), o + n, &tail) != 1)
        throw std::runtime_error("cipher failed");
    out.resize(static_cast<std::size_t>(n + tail));
    return out;
}

std::string digest(const EVP_MD* md, std::string_view data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), out, &size, md, nullptr) != 1)
        throw std::runtime_error("digest failed");
    return std::string(reinterpret_cast<char*>(out), size);
}

std::string_view truncated(std::string_view password)
{
    return password.substr(0, std::min(password.size(), kLongestPassword));
}

}  // namespace

// The revision's hash: SHA-256 of the password, salt and user entry, then at
// least 64 rounds in which the password, the hash and the user entry,
// repeated 64 times, are encrypted with AES-128 keyed by the hash, and the
// result's first 16 bytes (as a number modulo 3) choose SHA-256, -384 or
// -512 for the next hash. The rounds end once the last byte of the
// encryption is at most the round number less 32.
std::string password_hash(std::string_view password, std::string_view salt, std::string_view user_entry)
{
    password = truncated(password);
    std::string k = digest(EVP_sha256(), std::string(password).append(salt).append(user_entry));
    for (int round = 0;; ++round) {
        std::string block = std::string(password).append(k).append(user_entry);
        std::string repeated;
        repeated.reserve(block.size() * 64);
        for (int i = 0; i < 64; ++i)
            repeated += block;
        const std::string e = run_cipher(EVP_aes_128_cbc(), std::string_view(k).substr(0, 16),
                                         std::string_view(k).substr(16, 16), repeated, false);
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i)
            sum += static_cast<unsigned char>(e[static_cast<std::size_t>(i)]);
        const EVP_MD* next = sum % 3 == 0 ? EVP_sha256() : sum % 3 == 1 ? EVP_sha384() : EVP_sha512();
        k = digest(next, e);
        if (round >= 63 && static_cast<unsigned char>(e.back()) <= static_cast<unsigned>(round + 1 - 32))
            break;
    }
    return k.substr(0, 32);
}

Result<PasswordKeys> derive_password_keys(std::string_view user_password, std::string_view owner_password)
{
    if (owner_password.empty())
        owner_password = user_password;
    try {
        PasswordKeys k;
        // The user's: validation salt and key salt after the hash.
        const std::string user_salts = random_bytes(16);
        k.user_entry = password_hash(user_password, user_salts.substr(0, 8), {}) + user_salts;
        k.user_wrap = password_hash(user_password, user_salts.substr(8), {});
        // The owner's, bound to the user's entry.
        const std::string owner_salts = random_bytes(16);
        k.owner_entry = password_hash(owner_password, owner_salts.substr(0, 8), k.user_entry) + owner_salts;
        k.owner_wrap = password_hash(owner_password, owner_salts.substr(8), k.user_entry);
        return k;
    } catch (const std::exception&) {
        return Failure(ErrorNumber::InternalError, "SetPdfEncryption: the encryption key could not be made");
    }
}

Result<StandardSecurity> make_standard_security(const PasswordKeys& keys, int32_t permissions)
{
    try {
        StandardSecurity s;
        s.file_key = random_bytes(32);
        const std::string zero_iv(16, '\0');
        s.user_entry = keys.user_entry;
        s.owner_entry = keys.owner_entry;
        s.user_key = run_cipher(EVP_aes_256_cbc(), keys.user_wrap, zero_iv, s.file_key, false);
        s.owner_key = run_cipher(EVP_aes_256_cbc(), keys.owner_wrap, zero_iv, s.file_key, false);
        // The permissions, encrypted with the file key so that they cannot
        // be changed without it: P little-endian in 8 bytes, whether the
        // metadata is encrypted, "adb", then 4 random bytes.
        const uint32_t p = (static_cast<uint32_t>(permissions) & kPermissionBits) | kRequiredBits;
        s.permissions = static_cast<int32_t>(p);
        std::string perms;
        for (int i = 0; i < 8; ++i)
            perms.push_back(i < 4 ? static_cast<char>((p >> (8 * i)) & 0xFF) : '\xFF');
        perms += "Tadb" + random_bytes(4);
        s.perms = run_cipher(EVP_aes_256_ecb(), s.file_key, {}, perms, false);
        return s;
    } catch (const std::exception&) {
        return Failure(ErrorNumber::InternalError, "SetPdfEncryption: the encryption key could not be made");
    }
}

std::string encrypt_aesv3(std::string_view key, std::string_view data)
{
    const std::string iv = random_bytes(16);
    return iv + run_cipher(EVP_aes_256_cbc(), key, iv, data, true);
}

}  // namespace kt482::sign
