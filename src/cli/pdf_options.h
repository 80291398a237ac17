// The options that protect a PDF file (archiving, attachments, encryption,
// a signature, a timestamp), read the same way by every command that writes
// one, and applied through the members of KT482_Print.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kt482/kt482_print.h"

namespace kt482::cli {

// Passwords come from the environment, never the command line, which other
// users can read.
struct PdfOptions {
    bool archive = false;
    struct Attachment {
        std::string path, mime_type, relationship;
    };
    std::vector<Attachment> attachments;
    bool encrypt = false;     // with KT482_PDF_USER_PASSWORD and KT482_PDF_OWNER_PASSWORD
    int32_t permissions = 0;  // PdfPermission values
    std::string pkcs12_file;  // with KT482_PDF_SIGN_PASSWORD
    std::string reason, location;
    std::string tsa_url;

    // Whether any option was given.
    bool any() const;
};

// The options' lines of a command's help.
extern const char* const kPdfOptionsHelp;

// Reads the option at args[i] (and its value, moving i on) when it is one of
// the PDF options: true then, with error set when it is malformed; false
// for any other argument, leaving i.
bool parse_pdf_option(const std::vector<std::string>& args, std::size_t& i, PdfOptions& pdf, std::string& error);

// The protection asked for, through the job's members, for the documents it
// starts next; false once one of them reported a failure.
bool apply_pdf_options(KT482_Print& job, const PdfOptions& pdf);

}  // namespace kt482::cli
