// Choosing the printer and its settings in the printer-setup dialog.
#pragma once

#include <cstdint>
#include <string>

#include "job/object_fields.h"

namespace kt482 {

class PreviewWindow;

// The print-setup dialog without page numbers, selection or print to file.
inline constexpr uint32_t kPrintSetupFlags = 0x8004C;

// Opens the dialog on the job's printer and paper and carries a confirmed
// choice into the job state; 1 confirmed, 0 cancelled.
int16_t ZZ110_ShowPrint(PreviewWindow* owner, uintptr_t owner_window, uint32_t flags);

int16_t W_PrtDialog(ObjectFields& self, uintptr_t P_Form, const std::string& P_PrinterName, int16_t P_Size,
                    int16_t P_Orient, float P_Height, float P_Width);

}  // namespace kt482
