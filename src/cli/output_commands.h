// The commands that replay a spool folder through the library's own members:
// into a PDF file, on a printer, in the preview window.
#pragma once

#include <cstdint>
#include <string>

#include "cli/spool_folder.h"

namespace kt482::cli {

struct OutputOptions {
    int16_t paper = 9;        // paper code, A4 unless --paper
    int16_t orientation = 1;  // 1 portrait, 2 landscape
    int16_t first = 0;        // 0: the first recorded page
    int16_t last = 0;         // 0: the last recorded page
};

// Each returns the process's exit status: 0, or 1 after the library reported
// a failure (already written to standard error).
int write_pdf(const SpoolFolder& folder, const std::string& out, const OutputOptions& options);
int print_on(const SpoolFolder& folder, const std::string& printer, const OutputOptions& options);
int show_preview(const SpoolFolder& folder, const OutputOptions& options);

}  // namespace kt482::cli
