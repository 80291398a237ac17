// The 20-byte record header of the page spool, little-endian:
//   0  2 bytes  Marker ":C"
//   2  2 bytes  TextLength, characters (code points) of the text part
//   4  4 bytes  RecordCode ("ST  ", "LNH ", ...)
//   8 12 bytes  FieldLength[0..5], characters of fields 1 to 5 (entry 0 unused)
// The text part follows: the fields concatenated, in UTF-8.
#pragma once

#include <array>
#include <cstddef>

#include "job/job_state.h"

namespace kt482 {

inline constexpr std::size_t kRecordHeaderSize = 20;

void encode_record_header(const PageRecordHeader& header, char* out);
PageRecordHeader decode_record_header(const char* in);

}  // namespace kt482
