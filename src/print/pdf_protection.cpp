#include "print/pdf_protection.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <sstream>

#include "image/picture_cache.h"
#include "kt482/kt482_print.h"

namespace kt482 {
namespace {

Result<pdf::Attachment> read_attachment(const DocumentProperties::Attachment& given)
{
    const auto missing = [&] {
        return Failure(ErrorNumber::FileNotFound, "AttachFile: the file cannot be read: " + given.path);
    };
    struct statx times {};
    if (::statx(AT_FDCWD, given.path.c_str(), 0, STATX_SIZE | STATX_MTIME | STATX_BTIME, &times) != 0
        || !S_ISREG(times.stx_mode))
        return missing();
    // The size is checked again here: the file may have grown since.
    if (times.stx_size > static_cast<uint64_t>(KT482_Print::kLargestAttachment))
        return Failure(ErrorNumber::InvalidPropertyValue, "AttachFile: the file is larger than 64 MiB: " + given.path);
    std::ifstream in(given.path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf()))
        return missing();
    pdf::Attachment file;
    file.data = bytes.str();
    if (file.data.size() > static_cast<std::size_t>(KT482_Print::kLargestAttachment))
        return Failure(ErrorNumber::InvalidPropertyValue, "AttachFile: the file is larger than 64 MiB: " + given.path);
    file.name = std::filesystem::path(given.path).filename().string();
    file.mime_type = given.mime_type;
    file.relationship = given.relationship;
    file.description = given.description;
    file.modified = static_cast<std::time_t>(times.stx_mtime.tv_sec);
    // File systems that do not keep the time of creation give the last
    // change as the earliest moment known.
    file.created = (times.stx_mask & STATX_BTIME) ? static_cast<std::time_t>(times.stx_btime.tv_sec) : file.modified;
    return file;
}

// The passwords' keys, from the cache when a document before made them.
Result<sign::PasswordKeys> password_keys(const DocumentProperties& properties)
{
    ProtectionCache* cache = properties.cache.get();
    std::unique_lock<std::mutex> lock;
    if (cache) {
        lock = std::unique_lock(cache->mutex);
        if (cache->passwords)
            return *cache->passwords;
    }
    Result<sign::PasswordKeys> keys = sign::derive_password_keys(properties.user_password, properties.owner_password);
    if (keys && cache)
        cache->passwords = *keys;
    return keys;
}

// The signer, read from its file for the first document of a member call;
// a later document checks that its certificate is still valid.
Result<std::shared_ptr<sign::SigningIdentity>> signer_of(const DocumentProperties& properties)
{
    ProtectionCache* cache = properties.cache.get();
    std::unique_lock<std::mutex> lock;
    if (cache) {
        lock = std::unique_lock(cache->mutex);
        if (cache->signer) {
            if (Status valid = sign::check_validity(*cache->signer, std::time(nullptr)); !valid)
                return Failure(static_cast<ErrorNumber>(valid.failure().number), valid.failure().description);
            return cache->signer;
        }
    }
    auto signer = sign::load_signing_identity(properties.pkcs12_file, properties.pkcs12_password);
    if (signer && cache)
        cache->signer = *signer;
    return signer;
}

}  // namespace

Status prepare_protection(const DocumentProperties& properties, pdf::DocumentInfo& info)
{
    for (const DocumentProperties::Attachment& given : properties.attachments) {
        Result<pdf::Attachment> file = read_attachment(given);
        if (!file)
            return file.failure();
        info.attachments.push_back(std::move(*file));
    }
    if (!properties.user_password.empty() || !properties.owner_password.empty()) {
        if (properties.archive)
            return Failure(ErrorNumber::InvalidPropertyValue,
                           "SetPdfEncryption: archived documents (SetPdfArchive) cannot be encrypted; the archival "
                           "form forbids it");
        Result<sign::PasswordKeys> keys = password_keys(properties);
        if (!keys)
            return keys.failure();
        auto security = sign::make_standard_security(*keys, properties.permissions);
        if (!security)
            return security.failure();
        info.encryption = std::move(*security);
    }
    if (!properties.pkcs12_file.empty()) {
        auto signer = signer_of(properties);
        if (!signer)
            return signer.failure();
        info.signature.signer = std::move(*signer);
        info.signature.reason = properties.reason;
        info.signature.location = properties.location;
        info.signature.page = properties.signature_page;
        std::copy(std::begin(properties.signature_box), std::end(properties.signature_box), info.signature.box);
        if (properties.signature_page > 0 && !properties.signature_picture.empty()) {
            auto picture = load_picture(properties.signature_picture);
            if (!picture)
                return Failure(static_cast<ErrorNumber>(picture.failure().number),
                               "SetPdfSignatureBox: the seal picture cannot be used: " + properties.signature_picture);
            info.signature.picture = (*picture)->view();
            info.signature.picture_owner = std::move(*picture);
        }
    }
    info.signature.tsa_url = properties.tsa_url;
    return {};
}

}  // namespace kt482
