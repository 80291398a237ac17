// Where the built-in PDF printer puts the documents it names itself.
#pragma once

#include <string>

#include "kt482/failure.h"

namespace kt482 {

// The folder the PDF files go to, as an absolute path: $KT482_PDF_DIR when set
// and not empty, else the current directory. The folder need not exist yet.
Result<std::string> pdf_output_folder();

}  // namespace kt482
