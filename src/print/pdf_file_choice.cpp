#include "print/pdf_file_choice.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <utility>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "kt482/kt482_print.h"
#include "image/picture_cache.h"
#include "render/grid_coordinates.h"
#include "job/number_text.h"
#include "platform/printer.h"
#include "print/pdf_protection.h"
#include "platform/services.h"

namespace kt482 {

void choose_next_pdf_file(std::string path)
{
    job().NextPdfPath = std::move(path);
}

void take_chosen_pdf_file()
{
    JobState& s = job();
    if (s.NextPdfPath.empty() || !s.PrinterObject || s.FolderPdfPrinter)
        return;
    if (s.PrinterObject->DeviceName() != kPdfPrinterName)
        return;
    std::shared_ptr<Printer> file = must(printer_system().open_pdf_file_printer(s.NextPdfPath));
    s.NextPdfPath.clear();
    s.FolderPdfPrinter = std::exchange(s.PrinterObject, std::move(file));
}

void choose_next_document_info(std::string title, std::string author, std::string subject, std::string keywords)
{
    DocumentProperties& next = job().NextDocument;
    next.title = std::move(title);
    next.author = std::move(author);
    next.subject = std::move(subject);
    next.keywords = std::move(keywords);
}

void choose_pdf_archive(bool archive)
{
    job().NextDocument.archive = archive;
}

void choose_attachment(DocumentProperties::Attachment attachment)
{
    if (!is_valid_utf8(attachment.path) || !is_valid_utf8(attachment.description))
        raise(Failure(ErrorNumber::BadFileNameOrNumber));
    static constexpr std::string_view kRelationships[] = {"Data", "Source", "Alternative", "Supplement",
                                                          "Unspecified"};
    if (std::find(std::begin(kRelationships), std::end(kRelationships), attachment.relationship)
        == std::end(kRelationships))
        raise(Failure(ErrorNumber::InvalidPropertyValue,
                      "AttachFile: the relationship is none of Data, Source, Alternative, Supplement and "
                      "Unspecified: "
                          + attachment.relationship));
    // A MIME type is a type and a subtype of printable ASCII.
    const std::string& mime = attachment.mime_type;
    const bool printable = std::all_of(mime.begin(), mime.end(), [](char c) { return c > ' ' && c < 0x7F; });
    if (!printable || mime.find('/') == std::string::npos || mime.front() == '/' || mime.back() == '/')
        raise(Failure(ErrorNumber::InvalidPropertyValue, "AttachFile: not a MIME type: " + mime));
    std::error_code error;
    const auto size = std::filesystem::file_size(attachment.path, error);
    if (error)
        raise(Failure(ErrorNumber::FileNotFound, "AttachFile: the file cannot be read: " + attachment.path));
    if (size > static_cast<uintmax_t>(KT482_Print::kLargestAttachment))
        raise(Failure(ErrorNumber::InvalidPropertyValue,
                      "AttachFile: the file is larger than 64 MiB: " + attachment.path));
    attachment.path = std::filesystem::absolute(attachment.path).string();
    job().NextDocument.attachments.push_back(std::move(attachment));
}

void clear_attachments()
{
    job().NextDocument.attachments.clear();
}

void choose_pdf_encryption(std::string user_password, std::string owner_password, int32_t permissions)
{
    DocumentProperties& next = job().NextDocument;
    next.user_password = std::move(user_password);
    next.owner_password = std::move(owner_password);
    next.permissions = permissions;
    next.cache = std::make_shared<ProtectionCache>();
}

void choose_pdf_signature(std::string pkcs12_file, std::string password, std::string reason, std::string location)
{
    if (!is_valid_utf8(reason) || !is_valid_utf8(location))
        raise(Failure(ErrorNumber::InvalidPropertyValue, "SetPdfSignature: the reason and location must be UTF-8"));
    DocumentProperties& next = job().NextDocument;
    next.pkcs12_file = pkcs12_file.empty() ? std::string() : std::filesystem::absolute(pkcs12_file).string();
    next.pkcs12_password = std::move(password);
    next.reason = std::move(reason);
    next.location = std::move(location);
    next.cache = std::make_shared<ProtectionCache>();
}

void choose_pdf_timestamp(std::string tsa_url)
{
    if (!tsa_url.empty() && tsa_url.rfind("http://", 0) != 0)
        raise(Failure(ErrorNumber::InvalidPropertyValue,
                      "SetPdfTimestamp: only http:// authorities are supported: " + tsa_url));
    job().NextDocument.tsa_url = std::move(tsa_url);
}

void choose_pdf_signature_box(int16_t page, float r1, float c1, float r2, float c2, std::string picture)
{
    if (page < 0 || !std::isfinite(r1) || !std::isfinite(c1) || !std::isfinite(r2) || !std::isfinite(c2))
        raise(Failure(ErrorNumber::InvalidPropertyValue));
    if (!picture.empty()) {
        if (!is_valid_utf8(picture))
            raise(Failure(ErrorNumber::BadFileNameOrNumber));
        picture = std::filesystem::absolute(picture).string();
        (void)must(load_picture(picture));
    }
    const JobState& s = job();
    DocumentProperties& next = job().NextDocument;
    next.signature_page = page;
    next.signature_box[0] = std::min(ColToX(s, c1), ColToX(s, c2));
    next.signature_box[1] = std::min(RowToY(s, r1), RowToY(s, r2));
    next.signature_box[2] = std::max(ColToX(s, c1), ColToX(s, c2));
    next.signature_box[3] = std::max(RowToY(s, r1), RowToY(s, r2));
    next.signature_picture = std::move(picture);
}

void hand_over_document_properties()
{
    JobState& s = job();
    if (!s.PrinterObject)
        return;
    s.PrinterObject->NextDocumentProperties(s.NextDocument);
    s.NextDocument = s.NextDocument.kept();
}

void give_back_pdf_printer() noexcept
{
    JobState& s = job();
    if (s.FolderPdfPrinter)
        s.PrinterObject = std::move(s.FolderPdfPrinter);
    s.FolderPdfPrinter = nullptr;
}

}  // namespace kt482
