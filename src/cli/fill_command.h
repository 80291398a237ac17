// kt482 fill: a form template filled from JSON data (and CSV rows) into a
// PDF file, onto a printer or into the preview; or a folder of data files
// into a folder of PDF files, two at a time.
#pragma once

#include <string>
#include <vector>

namespace kt482::cli {

// The command's help, its PDF options included.
std::string fill_help();

// args: what follows "fill". Returns the exit status: 0 done, 1 a failure
// while printing, 2 bad arguments or a template or data error (then nothing
// is printed).
int run_fill(const std::vector<std::string>& args);

}  // namespace kt482::cli
