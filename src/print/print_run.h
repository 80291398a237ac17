// Printer selection, the page loop and the end of a document.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "job/object_fields.h"

namespace kt482 {

void W_Device(ObjectFields& self, const std::string& P_PrinterName);
void W_Print(ObjectFields& self, int16_t P_StartP, int16_t P_EndP);
void W_EndDoc(ObjectFields& self);

// Selects the installed printer whose name, without its trailing blanks and
// letter case, is DeviceName (taken from name unless that is blank).
void ZZ100_Device(std::string_view name);
// Told after each page of a run: the pages drawn so far and the pages of the
// run. Returning false stops the run there, before the next page break.
using PageProgress = std::function<bool(int done, int total)>;

// Draws pages start to end on the current target, with page breaks on the
// printer; reports its own failures.
void ZZ100_Print(ObjectFields& self, int16_t start, int16_t end, const PageProgress& progress = {});
// Ends the printer's open document, if a page was drawn.
void ZZ100_EndDoc();

}  // namespace kt482
