// The printers the printer system hands out. They live above the platform
// (print/), which defines these; the platform's printer system only chooses.
#pragma once

#include <memory>
#include <string>

#include "platform/print_queue.h"
#include "platform/printer.h"

namespace kt482 {

// The built-in PDF printer writing new files into pdf_output_folder().
std::shared_ptr<Printer> make_pdf_folder_printer();
// The built-in PDF printer writing every document to the file at path.
std::shared_ptr<Printer> make_pdf_file_printer(std::string path);
// The printer of a print server's queue.
std::shared_ptr<Printer> make_queue_printer(std::unique_ptr<PrintQueue> queue);

}  // namespace kt482
