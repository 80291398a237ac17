#include "platform/pdf_output_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kt482 {

Result<std::string> pdf_output_folder()
{
    namespace fs = std::filesystem;
    const char* configured = std::getenv("KT482_PDF_DIR");
    const fs::path folder = (configured && *configured) ? fs::path(configured) : fs::path(".");
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        return Failure(ErrorNumber::PrinterError, "Cannot determine the PDF output folder");
    absolute = absolute.lexically_normal();
    // "/tmp/out/" and "/tmp/out/." both name /tmp/out; report it one way.
    if (!absolute.has_filename() && absolute.has_relative_path())
        absolute = absolute.parent_path();
    return absolute.string();
}

}  // namespace kt482
