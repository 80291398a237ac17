// The file service on plain POSIX calls. Appends are buffered in memory per
// handle and written out before any other operation on that handle, so a
// page record costs a copy rather than a system call. Wildcards match
// case-sensitively, as the file system compares names; '?' stands for one
// UTF-8 code point.
#pragma once

#include <memory>

#include "platform/files.h"

namespace kt482 {

// A new file service with no handle open. Its destructor writes out the
// pending appends and closes every handle still open.
std::unique_ptr<Files> make_posix_files();

}  // namespace kt482
