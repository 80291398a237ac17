// Files embedded in a PDF document: each an embedded-file stream with its
// MIME type and parameters (size, dates, checksum), and a /Filespec dictionary
// with its relationship to the document, listed in the catalog's name tree
// and its associated files (/AF), as the archival form PDF/A-3 asks.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "pdf/pdf_writer.h"

namespace kt482::pdf {

struct Attachment {
    std::string name;          // the file's name, UTF-8
    std::string data;
    std::string mime_type;     // "application/json"
    std::string relationship;  // Data, Source, Alternative, Supplement or Unspecified
    std::string description;   // UTF-8, may be empty
    std::time_t created = 0;
    std::time_t modified = 0;
};

// Writes the files; returns the catalog's entries for them (empty for none).
std::string write_attachments(PdfWriter& writer, std::vector<Attachment> files);

}  // namespace kt482::pdf
