// One spool record as a line of text: the code, then its fields labelled.
#pragma once

#include <string>

#include "cli/spool_folder.h"

namespace kt482::cli {

// "  PT   row pitch 15.000  col pitch 6.000". A code this program does not know
// is listed with its fields quoted. Quoted fields show control characters as
// \xHH and escape '"' and '\\' with a backslash.
std::string describe_record(const PageRecordHeader& header, const RecordFields& fields);

}  // namespace kt482::cli
