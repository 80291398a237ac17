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

void give_back_pdf_printer() noexcept
{
    JobState& s = job();
    if (s.FolderPdfPrinter)
        s.PrinterObject = std::move(s.FolderPdfPrinter);
    s.FolderPdfPrinter = nullptr;
}

}  // namespace kt482
