// The built-in PDF printer: always installed, and the default printer whenever
// the print server offers none. It writes PDF files into an output folder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/failure.h"

namespace kt482 {

inline constexpr const char* kPdfPrinterName = "KT482 PDF";

// The nominal resolution of the PDF printer in dots per inch, reported as the
// further printer setting and used when drawing its pages.
inline constexpr int16_t kPdfPrinterDpi = 600;

// The folder the PDF files go to, as an absolute path: $KT482_PDF_DIR when set
// and not empty, else the current directory. The folder need not exist yet.
Result<std::string> pdf_output_folder();

}  // namespace kt482
