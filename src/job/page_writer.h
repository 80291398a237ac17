// Appending a record to a page spool file.
#pragma once

#include <initializer_list>
#include <string_view>

#include "job/job_state.h"
#include "job/record_code.h"
#include "platform/files.h"

namespace kt482 {

// Fills header (the job's shared record buffer) for code and the fields (valid
// UTF-8, in order) and appends the header and the text part at the end of
// the file. A field or text part of more than 32767 characters is an
// overflow, and nothing is written.
Status append_record(Files& files, FileHandle handle, PageRecordHeader& header, RecordCode code,
                     std::initializer_list<std::string_view> fields);

}  // namespace kt482
