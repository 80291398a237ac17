// The printers a printer system hands out. They are defined above the
// platform (print/), so whoever makes a printer system hands it these makers
// at its construction, and the platform only chooses among them: the library
// its PDF printers, a test whatever doubles it likes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/print_queue.h"
#include "platform/printer.h"

namespace kt482 {

struct PrinterMakers {
    // The built-in PDF printer writing new files into pdf_output_folder().
    std::function<std::shared_ptr<Printer>()> pdf_folder;
    // The built-in PDF printer writing every document to the file at path.
    std::function<std::shared_ptr<Printer>(std::string path)> pdf_file;
    // The printer of a print server's queue.
    std::function<std::shared_ptr<Printer>(std::unique_ptr<PrintQueue> queue)> queue;
};

}  // namespace kt482
