// The file service behind the page spool: numbered handles in the classic
// style (1..255), binary files opened for reading and writing without
// truncation, appends at the end, positioned reads, deletion by name or by a
// wildcard pattern.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482 {

using FileHandle = int16_t;

class Files {
public:
    virtual ~Files() = default;

    // The lowest handle number not in use; TooManyFiles when all 255 are taken.
    virtual Result<FileHandle> free_handle() = 0;

    // Opens path on handle: binary, read and write, created exclusively with
    // owner-only permissions when missing, never truncated. Symlinks are not
    // followed, and an existing file is accepted only when it is a regular
    // file of the calling user with a single link (PathFileAccessError
    // otherwise, and nothing is opened). A missing
    // folder is PathNotFound, a refused one PermissionDenied. An invalid handle
    // number is BadFileNameOrNumber; a handle already open is FileAlreadyOpen.
    virtual Status open(FileHandle handle, const std::string& path) = 0;

    // Appends bytes at the end of the file. Appends may be buffered, but every
    // other operation on the handle (read, length, close) sees them on disk.
    // BadFileNameOrNumber when the handle is not open.
    virtual Status append(FileHandle handle, std::string_view bytes) = 0;

    // Reads up to out.size() bytes from byte offset pos; returns the number
    // read, fewer only at the end of the file.
    virtual Result<std::size_t> read_at(FileHandle handle, uint64_t pos, std::span<char> out) = 0;

    // The file's length in bytes, appends included.
    virtual Result<uint64_t> length(FileHandle handle) = 0;

    virtual bool is_open(FileHandle handle) const = 0;

    // Closing a handle that is not open does nothing. A failure to write out
    // buffered appends is reported; the handle is closed all the same.
    virtual Status close(FileHandle handle) = 0;
    virtual Status close_all() = 0;

    // Deletes one file (a symlink itself, never its target). FileNotFound when
    // missing, PathNotFound when its folder is missing.
    virtual Status remove(const std::string& path) = 0;

    // Deletes every entry that is not a folder and whose name matches the last
    // component of pattern ('*' any run of characters, '?' one character) in
    // the folder before it (the current folder when the pattern has no '/').
    // FileNotFound when nothing matches, PathNotFound when the folder is missing.
    virtual Status remove_matching(const std::string& pattern) = 0;
};

}  // namespace kt482
