// The page renderer: replays one recorded page on the current target.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

// Draws page on the target that OutputTarget selects. A page outside
// Min_Page..Max_Page is skipped; a missing page file draws nothing. Any other
// failure ends the page and is reported, titled by the procedure that ran
// last; the call itself always returns normally.
void ZZ100_Page_Out(ObjectFields& self, int16_t page) noexcept;

}  // namespace kt482
