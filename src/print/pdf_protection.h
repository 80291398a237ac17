// The host's protection settings made ready for one PDF document: the
// attached files read, the encryption keys made and the signer's identity
// loaded, before any file is created, so that a setting that cannot be used
// fails the document's start and leaves nothing behind.
#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "kt482/failure.h"
#include "pdf/pdf_document.h"
#include "platform/printer.h"
#include "sign/pdf_encryption.h"
#include "sign/signing_identity.h"

namespace kt482 {

// What the protection settings of a member call cost to read or compute:
// the PKCS#12 file's identity and the passwords' keys. Filled by the first
// document that needs them; a member call that changes a setting starts a
// new one.
struct ProtectionCache {
    std::mutex mutex;
    std::shared_ptr<sign::SigningIdentity> signer;
    std::optional<sign::PasswordKeys> passwords;
};

// Fills the attachments, encryption and signature of info from properties.
// Fails with the setting's member name and the reason: an attachment
// missing, unreadable or too large, encryption asked for an archived
// document, a certificate file that cannot be used.
Status prepare_protection(const DocumentProperties& properties, pdf::DocumentInfo& info);

}  // namespace kt482
