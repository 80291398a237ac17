// E_Barcode: a barcode recorded on the current page.
#pragma once

#include <string>

#include "job/object_fields.h"
#include "kt482/variant.h"

namespace kt482 {

// Records a "BAR " record: the two corners, then the type with its options
// and the data in one field, a blank between them ("QR;ecc=H SLIP-0001").
// The data is encoded first: a type, option, box or data the encoder refuses
// is reported and nothing is recorded.
void E_Barcode(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
               const std::string& P_Type, const Variant& P_Data, const std::string& P_Options);

}  // namespace kt482
