// Files written under a temporary name in the folder of their final name and
// given that name only once complete, so that a crash, a kill or a power cut
// at any moment leaves no unfinished file under a finished file's name.
//
// A temporary is hidden and its name ends in ".part", so that one left over
// by a crash never passes for a finished file. Nothing removes left-overs on
// its own, as another process may still be writing one; they may be deleted
// whenever no document is being written to the folder.
#pragma once

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

// Gives the temporary the final name, never replacing a file that has it:
// false with errno EEXIST when the name is taken (the temporary stays).
bool publish_new(const std::string& temporary, const std::string& path);

// Gives the temporary the final name, replacing a file that has it.
bool publish_replacing(const std::string& temporary, const std::string& path);

}  // namespace kt482
