#include "cli/output_commands.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "job/job_state.h"
#include "kt482/kt482.h"

namespace kt482::cli {
namespace {

// The library reports failures as messages; here each one becomes a line on
// standard error, and the object remembers the last for the exit status.
void report_messages_on_stderr()
{
    KT482_Print::SetMessageHandler([](const Message& m) {
        std::fprintf(stderr, "kt482: %.*s: %.*s\n", static_cast<int>(m.title.size()), m.title.data(),
                     static_cast<int>(m.text.size()), m.text.data());
        return 1;
    });
}

// Points the thread's job at the recorded pages: another process recorded
// them, so the page bounds come from the files present.
void adopt_folder(KT482_Print& job, const SpoolFolder& folder)
{
    job.P_Temp_Dir(folder.path);
    JobState& state = kt482::job();
    state.Min_Page = static_cast<int16_t>(folder.pages.front());
    state.Max_Page = static_cast<int16_t>(folder.pages.back());
}

int status_of(const KT482_Print& job)
{
    return job.LastFailure().number == 0 ? 0 : 1;
}

int print_document(KT482_Print& job, const std::string& printer, const OutputOptions& options)
{
    job.W_Device(printer);
    if (status_of(job))
        return 1;
    job.W_StartDoc(options.paper, options.orientation);
    if (status_of(job))
        return 1;
    job.W_Print(options.first, options.last);
    job.W_EndDoc();
    return status_of(job);
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The protection asked for, through the object's members; false once one
// of them reported a failure.
bool protect(KT482_Print& job, const PdfOptions& pdf)
{
    job.SetPdfArchive(pdf.archive);
    for (const auto& a : pdf.attachments) {
        job.AttachFile(a.path, a.mime_type, a.relationship);
        if (status_of(job))
            return false;
    }
    if (pdf.encrypt)
        job.SetPdfEncryption(environment("KT482_PDF_USER_PASSWORD"), environment("KT482_PDF_OWNER_PASSWORD"),
                             pdf.permissions);
    if (!pdf.pkcs12_file.empty())
        job.SetPdfSignature(pdf.pkcs12_file, environment("KT482_PDF_SIGN_PASSWORD"), pdf.reason, pdf.location);
    if (!pdf.tsa_url.empty())
        job.SetPdfTimestamp(pdf.tsa_url);
    return status_of(job) == 0;
}

}  // namespace

int write_pdf(const SpoolFolder& folder, const std::string& out, const OutputOptions& options, const PdfOptions& pdf)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    if (!protect(job, pdf))
        return 1;
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(out, ec);
    job.SetNextPdfPath(ec ? out : target.string());
    if (int status = print_document(job, "KT482 PDF", options); status)
        return status;
    if (job.LastPdfPath().empty()) {
        std::fprintf(stderr, "kt482: no page of %s in that range draws anything: %s not written\n",
                     folder.path.c_str(), out.c_str());
        return 1;
    }
    return 0;
}

int print_on(const SpoolFolder& folder, const std::string& printer, const OutputOptions& options)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    return print_document(job, printer, options);
}

int show_preview(const SpoolFolder& folder, const OutputOptions& options)
{
    report_messages_on_stderr();
    KT482_Print job;
    adopt_folder(job, folder);
    job.V_Size_Set(options.paper, options.orientation);
    if (status_of(job))
        return 1;
    job.V_Preview(options.first, options.last);
    return status_of(job);
}

}  // namespace kt482::cli
