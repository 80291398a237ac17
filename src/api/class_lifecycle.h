// Creation and destruction of a KT482_Print object.
#pragma once

#include "job/object_fields.h"

namespace kt482 {

// Resets the thread's job state: the default printer's settings, then the
// fixed defaults. When the printer cannot be read, the fixed defaults are
// still set and the failure is reported.
void Class_Initialize(ObjectFields& self);

// Releases the selected printer; page files and the spool stay as they are.
void Class_Terminate(ObjectFields& self);

}  // namespace kt482
