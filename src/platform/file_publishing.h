// Files written under a temporary name in the folder of their final name and
// given that name only once complete, so that a crash, a kill or a power cut
// at any moment leaves no unfinished file under a finished file's name.
//
// A temporary is hidden and its name ends in ".part", so that one left over
// by a crash never passes for a finished file. Nothing removes left-overs on
// its own, as another process may still be writing one; they may be deleted
// whenever no document is being written to the folder.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace kt482 {

// Creates a new file for writing (and reading back) at path, never over an existing file nor
// through a link: its descriptor, or -1 with errno set.
int create_new_file(const std::string& path);

// Creates a new temporary in folder under a short name of fixed length
// (".kt482-XXXXXX.part"), whatever the final name's length, readable as any
// file the process creates: its descriptor, or -1 with errno set; path
// receives its name.
int create_temporary_in(const std::string& folder, std::string& path);

// The process's file creation mask, read without changing it; none where
// the system does not tell it.
std::optional<mode_t> process_umask();

// Gives the temporary the final name, never replacing a file that has it:
// false with errno EEXIST when the name is taken (the temporary stays).
bool publish_new(const std::string& temporary, const std::string& path);

// Gives the temporary the final name, replacing a file that has it.
bool publish_replacing(const std::string& temporary, const std::string& path);

// Whether a published file is on the disk before its name is given out.
//   Synced   the file's data is flushed (fsync) before it takes its name,
//            and the folder after: once publishing returns, a power cut or a
//            system crash leaves the complete file under its name.
//   Unsynced no flush: a crash of the process still never leaves an
//            unfinished file under the name, but after a power cut or a
//            system crash the name may hold the old file, nothing, or an
//            empty or partial file, for as long as the system keeps written
//            data unflushed (some seconds).
enum class Durability { Synced, Unsynced };

// Flushes the complete temporary to the disk before it is published: false
// with errno set when the disk reports a failure (the file may be lost).
bool sync_before_publishing(const std::string& temporary, Durability durability);

// Flushes the folder holding path after a publish, so that the new name
// itself survives a power cut: false with errno set on failure.
bool sync_after_publishing(const std::string& path, Durability durability);

}  // namespace kt482
