#include "print/pdf_file_choice.h"

#include <utility>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/printer.h"
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

void hand_over_document_properties()
{
    JobState& s = job();
    if (!s.PrinterObject)
        return;
    s.PrinterObject->NextDocumentProperties(s.NextDocument);
    const bool archive = s.NextDocument.archive;
    s.NextDocument = DocumentProperties{};
    s.NextDocument.archive = archive;
}

void give_back_pdf_printer() noexcept
{
    JobState& s = job();
    if (s.FolderPdfPrinter)
        s.PrinterObject = std::move(s.FolderPdfPrinter);
    s.FolderPdfPrinter = nullptr;
}

}  // namespace kt482
