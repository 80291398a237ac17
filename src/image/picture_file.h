// Reading a picture file: never through a symlink, only a regular file, up
// to a size limit, with what identifies its content on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kt482/failure.h"

namespace kt482 {

inline constexpr uint64_t kMaxPictureFileBytes = 256u << 20;

// Device, inode, size and change time: a file rewritten in place differs.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t changed_ns = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of path: FileNotFound when it is missing, PathFileAccessError
// for a symlink or anything but a regular file.
Result<FileIdentity> picture_file_identity(const std::string& path);

// The file's bytes and their identity; InvalidPicture beyond
// kMaxPictureFileBytes.
Result<std::vector<uint8_t>> read_picture_file(const std::string& path, FileIdentity& identity);

// path made absolute against the current folder, as the spool records it.
std::string absolute_picture_path(const std::string& path);

}  // namespace kt482
