// Reading a page spool file back record by record.
//
// Records are read while the 1-based position of the next byte is below the
// file length, so one stray byte after the last record is ignored. Any other
// damage ends the reading with a failure that says what it is: a header
// without its ":C" marker (invalid file format), a header or text cut short
// (input past end of file), a negative length (bad record length), text that
// is not UTF-8 (invalid argument). Nothing is ever read beyond the buffer or
// the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "platform/files.h"

namespace kt482 {

class PageReader {
public:
    // Reads from a file already open on handle.
    PageReader(Files& files, FileHandle handle);

    // Reads the next record into header and fields 1 to 5 (field 0 stays
    // empty). Returns false at the end of the file.
    Result<bool> next(PageRecordHeader& header, std::array<std::string, 6>& fields);

private:
    // Makes at least `count` unread bytes available; false when the file
    // ends first.
    Result<bool> fill(std::size_t count);
    Status read_text(int16_t length);

    Files& files_;
    FileHandle handle_;
    uint64_t file_length_ = 0;
    bool length_known_ = false;
    uint64_t file_pos_ = 0;      // file offset of buffer_[0]
    std::vector<char> buffer_;
    std::size_t buffer_pos_ = 0;  // next unread byte in buffer_
    std::string text_;
    std::vector<uint32_t> char_offsets_;  // byte offset of each character in text_
};

}  // namespace kt482
