// The host's protection settings made ready for one PDF document: the
// attached files read, the encryption keys made and the signer's identity
// loaded, before any file is created, so that a setting that cannot be used
// fails the document's start and leaves nothing behind.
#pragma once

#include "kt482/failure.h"
#include "pdf/pdf_document.h"
#include "platform/printer.h"

namespace kt482 {

// Fills the attachments, encryption and signature of info from properties.
// Fails with the setting's member name and the reason: an attachment
// missing, unreadable or too large, encryption asked for an archived
// document, a certificate file that cannot be used.
Status prepare_protection(const DocumentProperties& properties, pdf::DocumentInfo& info);

}  // namespace kt482
