// The editing session: starting a recording, changing and finishing pages,
// clearing the spool, and the page test of the drawing commands.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

void E_StartEdit(ObjectFields& self, int16_t P_CurrP, int16_t P_StartP, int16_t P_EndP);
void E_ChangePage(ObjectFields& self, int16_t P_NewP);
void E_EndEdit(ObjectFields& self);
void E_Clear(ObjectFields& self);
// E_Clear, then the page bounds as a new object has them.
void E_NewDocument(ObjectFields& self);
// Pages first..last recorded elsewhere into Temp_Dir become the job's pages.
void UseRecordedPages(ObjectFields& self, int16_t first, int16_t last);

// True when the current page lies inside the editing window; it then also
// marks the session and the page as holding data.
bool CheckEditPage(ObjectFields& self);

}  // namespace kt482
