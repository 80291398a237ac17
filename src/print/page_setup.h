// Starting a printed document with a paper size and orientation, and the
// page setup of the selected printer.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

// Stores the paper arguments: a code or orientation of 0 keeps the stored
// one; for the user-defined code 256 the size in inches becomes points. A
// size beyond the float range is an overflow.
void apply_paper_arguments(int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width);

void W_StartDoc(ObjectFields& self, int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width);

// Puts the job's paper, orientation, copies, duplex and resolution on the
// selected printer. Every step runs; a step the printer refuses is skipped
// without a word, and without a printer nothing happens.
void ZZ100_PRT_Layout();

}  // namespace kt482
