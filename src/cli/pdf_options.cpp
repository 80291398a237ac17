#include "cli/pdf_options.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string_view>

#include "kt482/pdf_permission.h"

namespace kt482::cli {
namespace {

// A comma-separated list of permission names; nothing when a name is unknown.
std::optional<int32_t> parse_permissions(std::string_view text)
{
    static constexpr std::pair<std::string_view, PdfPermission> kNames[] = {
        {"print", PdfPermission::Print},          {"print-hq", PdfPermission::PrintHighQuality},
        {"copy", PdfPermission::Copy},            {"modify", PdfPermission::Modify},
        {"annotate", PdfPermission::Annotate},    {"fill-forms", PdfPermission::FillForms},
        {"assemble", PdfPermission::Assemble},    {"accessibility", PdfPermission::Accessibility}};
    int32_t bits = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (name == "all") {
            bits = -1;
            continue;
        }
        const auto* found = std::find_if(std::begin(kNames), std::end(kNames),
                                         [&](const auto& entry) { return entry.first == name; });
        if (found == std::end(kNames))
            return std::nullopt;
        bits |= static_cast<int32_t>(found->second);
    }
    return bits;
}

// FILE:MIME:RELATIONSHIP, split at the last two colons (a path may hold some).
std::optional<PdfOptions::Attachment> parse_attachment(const std::string& text)
{
    const std::size_t second = text.rfind(':');
    const std::size_t first = second == std::string::npos || second == 0 ? std::string::npos : text.rfind(':', second - 1);
    if (first == std::string::npos || first == 0)
        return std::nullopt;
    return PdfOptions::Attachment{text.substr(0, first), text.substr(first + 1, second - first - 1),
                                  text.substr(second + 1)};
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

const char* const kPdfOptionsHelp =
    "  --archive      an archivable PDF/A-2u file (PDF/A-3u with attachments)\n"
    "  --attach FILE:MIME:RELATIONSHIP  attach a file (Data, Source, Alternative,\n"
    "                 Supplement or Unspecified); may be repeated\n"
    "  --encrypt      AES-256 with the passwords in KT482_PDF_USER_PASSWORD and\n"
    "                 KT482_PDF_OWNER_PASSWORD\n"
    "  --permissions LIST  what readers may do: print,print-hq,copy,modify,annotate,\n"
    "                 fill-forms,assemble,accessibility or all; default reading only\n"
    "  --sign FILE.p12  sign with the certificate file; its password in\n"
    "                 KT482_PDF_SIGN_PASSWORD (--reason TEXT, --location TEXT)\n"
    "  --timestamp URL  a trusted timestamp from the authority at an http:// address\n";

bool PdfOptions::any() const
{
    return archive || !attachments.empty() || encrypt || permissions != 0 || !pkcs12_file.empty() || !reason.empty() ||
           !location.empty() || !tsa_url.empty();
}

bool parse_pdf_option(const std::vector<std::string>& args, std::size_t& i, PdfOptions& pdf, std::string& error)
{
    const std::string& arg = args[i];
    const auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    if (arg == "--archive") {
        pdf.archive = true;
    } else if (arg == "--encrypt") {
        pdf.encrypt = true;
    } else if (arg == "--attach") {
        const std::string* v = value();
        const auto attachment = v ? parse_attachment(*v) : std::nullopt;
        if (!attachment)
            error = "--attach needs FILE:MIME:RELATIONSHIP";
        else
            pdf.attachments.push_back(*attachment);
    } else if (arg == "--permissions") {
        const std::string* v = value();
        const auto bits = v ? parse_permissions(*v) : std::nullopt;
        if (!bits)
            error = "--permissions needs a list such as print,copy (or all)";
        else
            pdf.permissions = *bits;
    } else if (arg == "--sign" || arg == "--reason" || arg == "--location" || arg == "--timestamp") {
        const std::string* v = value();
        if (!v || v->empty())
            error = arg + " needs a value";
        else
            (arg == "--sign"       ? pdf.pkcs12_file
             : arg == "--reason"   ? pdf.reason
             : arg == "--location" ? pdf.location
                                   : pdf.tsa_url) = *v;
    } else {
        return false;
    }
    return true;
}

bool apply_pdf_options(KT482_Print& job, const PdfOptions& pdf)
{
    const auto failed = [&] { return job.LastFailure().number != 0; };
    job.SetPdfArchive(pdf.archive);
    for (const auto& a : pdf.attachments) {
        job.AttachFile(a.path, a.mime_type, a.relationship);
        if (failed())
            return false;
    }
    if (pdf.encrypt)
        job.SetPdfEncryption(environment("KT482_PDF_USER_PASSWORD"), environment("KT482_PDF_OWNER_PASSWORD"),
                             pdf.permissions);
    if (!pdf.pkcs12_file.empty())
        job.SetPdfSignature(pdf.pkcs12_file, environment("KT482_PDF_SIGN_PASSWORD"), pdf.reason, pdf.location);
    if (!pdf.tsa_url.empty())
        job.SetPdfTimestamp(pdf.tsa_url);
    return !failed();
}

}  // namespace kt482::cli
