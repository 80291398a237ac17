// What the host chooses for the selected printer beyond the page setup: an
// offset that moves its print onto pre-printed stationery, the paper source
// and kind, and what became of the jobs it sent.
//
// The offset of a print queue comes from the printer table
// (print/printer_table.h) whenever the queue is selected; SetPrintOffset
// replaces it for the printer selected, through the selections the preview's
// print button and the setup dialog make, until the host selects a printer
// itself (W_Device), which also forgets the source and kind. The PDF printer
// and the preview are moved only by SetPrintOffset itself.
#pragma once

#include <cstdint>
#include <string>

#include "job/object_fields.h"
#include "kt482/job_status.h"

namespace kt482 {

class Printer;

void SetPrintOffset(ObjectFields& self, float x_mm, float y_mm);
// The alignment sheet as the page of the selected printer's document.
void PrintAlignmentSheet(ObjectFields& self, float width_mm, float height_mm);
void P_PRT_Source(ObjectFields& self, const std::string& name);
void P_PRT_MediaType(ObjectFields& self, const std::string& name);
JobStatus job_status(ObjectFields& self, int32_t job_id);
bool wait_for_job(ObjectFields& self, int32_t job_id, float seconds);

// The host selects a printer itself: the choices made for the one before
// are forgotten.
void forget_printer_choices();

// Gives a newly selected printer its offset (the one chosen for it, else the
// table's for a queue) and the source and kind chosen, dropping those it
// does not offer. A damaged table is reported and the queue prints unmoved.
void apply_printer_choices(const std::string& device_name, Printer& printer);

}  // namespace kt482
