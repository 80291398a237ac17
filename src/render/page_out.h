// The page renderer: replays one recorded page on the current target.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

// Draws page on the target that OutputTarget selects. A page outside
// Min_Page..Max_Page is skipped; a missing page file draws nothing. An item
// sized beyond any paper (a text or box wider than 32,767 points) is left out
// and reported once per run of pages, and the rest of the page is drawn. Any
// other failure ends the page and is reported, titled by the procedure that
// ran last; the call itself always returns normally.
void ZZ100_Page_Out(ObjectFields& self, int16_t page) noexcept;

}  // namespace kt482
