// The host's choice of the file for the next PDF document: a document
// started with W_StartDoc on the built-in PDF printer goes to that file
// instead of a new file in the printer's folder, once.
#pragma once

#include <cstdint>
#include <string>

#include "platform/printer.h"

namespace kt482 {

// The file for the next document on the PDF printer; empty: its folder.
void choose_next_pdf_file(std::string path);

// At the start of a document: with a file chosen and the PDF printer
// selected, a printer for that file takes its place until the document ends.
// Raises when that printer cannot be made.
void take_chosen_pdf_file();

// The information of the next document (used once) and whether documents
// are archivable from the next one on.
void choose_next_document_info(std::string title, std::string author, std::string subject, std::string keywords);
void choose_pdf_archive(bool archive);

// The protection of the documents from the next one on (see the members of
// the same names). Raise when a setting is refused; an attachment is
// checked for being there and within the size allowed.
void choose_attachment(DocumentProperties::Attachment attachment);
void clear_attachments();
void choose_pdf_encryption(std::string user_password, std::string owner_password, int32_t permissions);
void choose_pdf_signature(std::string pkcs12_file, std::string password, std::string reason, std::string location);
void choose_pdf_timestamp(std::string tsa_url);
// The box between two grid corners of the job's grid as it is now.
void choose_pdf_signature_box(int16_t page, float r1, float c1, float r2, float c2, std::string picture);

// At the start of a document, after take_chosen_pdf_file: the printer
// selected gets the document's properties; the information is used up.
void hand_over_document_properties();

// At the end of a document: the PDF printer of the folder comes back.
void give_back_pdf_printer() noexcept;

}  // namespace kt482
