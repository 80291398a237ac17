// The office's printers as the host calibrated them: for each print queue
// the offset that moves its print onto pre-printed stationery, kept in
// $XDG_CONFIG_HOME/kt482/printers.json ($HOME/.config when unset):
//
//   {"printers": {"office": {"offset_mm": [0.4, -0.6]}}}
//
// Entries and keys this version does not know are kept as they are when the
// file is written. A damaged file is reported and left alone: it is never
// replaced by a table that holds less. The file is read and written only as a
// regular file (a symbolic link is refused), written to a private temporary
// file beside it and renamed over it, so a reader sees the old table or the
// new one, never part of one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482 {

// How far print may be moved on a printer, in millimetres either way.
inline constexpr float kMaxPrintOffsetMm = 20.0f;

// Rightwards and downwards on the sheet, in millimetres.
struct PrintOffset {
    float x_mm = 0;
    float y_mm = 0;
};

// InvalidPropertyValue (380) naming the limit when either is not a number or
// beyond kMaxPrintOffsetMm.
Status check_print_offset(float x_mm, float y_mm);

// $XDG_CONFIG_HOME/kt482/printers.json, else $HOME/.config/kt482/printers.json;
// empty when neither variable is set.
std::string printer_table_path();

// The offset stored for the queue in the table's text; nothing when the
// queue has none. A text that is not a table, or an offset that is not two
// numbers within the limit, fails with the reason.
Result<std::optional<PrintOffset>> offset_in_table(std::string_view text, const std::string& queue);

// The offset stored for the queue in the file at path: nothing when the file
// or the entry does not exist; a damaged or unreadable file fails with the
// reason (InvalidFileFormat 321 for a damaged one, PathFileAccessError 75
// for one that cannot be read or is a symbolic link).
Result<std::optional<PrintOffset>> stored_print_offset(const std::string& path, const std::string& queue);

// Stores the offset for the queue in the file at path, keeping every other
// entry, creating the file and its folder when missing. A damaged file fails
// and stays as it was.
Status store_print_offset(const std::string& path, const std::string& queue, PrintOffset offset);

}  // namespace kt482
