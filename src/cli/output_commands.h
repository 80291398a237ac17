// The commands that replay a spool folder through the library's own members:
// into a PDF file, on a printer, in the preview window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/pdf_options.h"
#include "cli/spool_folder.h"

namespace kt482::cli {

struct OutputOptions {
    int16_t paper = 9;        // paper code, A4 unless --paper
    int16_t orientation = 1;  // 1 portrait, 2 landscape
    int16_t first = 0;        // 0: the first recorded page
    int16_t last = 0;         // 0: the last recorded page
    float width_mm = 0;       // the user-defined page of paper 256, portrait
    float height_mm = 0;
    // For a printer: where to move the print, and the paper source and kind
    // (IPP names); unset and empty leave the printer's own.
    std::optional<std::pair<float, float>> offset_mm;
    std::string source;
    std::string media_type;
};

// Each returns the process's exit status: 0, 1 after the library reported a
// failure (already written to standard error), or 2 when the printer refused
// a source, kind or offset as not its own (the message lists what it takes).
int write_pdf(const SpoolFolder& folder, const std::string& out, const OutputOptions& options,
              const PdfOptions& pdf = {});
int print_on(const SpoolFolder& folder, const std::string& printer, const OutputOptions& options);
int show_preview(const SpoolFolder& folder, const OutputOptions& options);

// Prints the alignment sheet on the queue, on the options' paper.
int print_calibration(const std::string& queue, const OutputOptions& options);
// Stores the offset for the queue in the printer table.
int store_calibration(const std::string& queue, std::pair<float, float> offset_mm);

}  // namespace kt482::cli
