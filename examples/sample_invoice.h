// A three-page invoice on A4, recorded through the public API only: a
// realistic form to look at, print and measure. The data is fixed, so every
// run records the same pages byte for byte.
#pragma once

#include "kt482/kt482_print.h"

// Pages the sample invoice records.
inline constexpr int kSampleInvoicePages = 3;

// Records the invoice from E_StartEdit to E_EndEdit into job's P_Temp_Dir
// (any pages already there are replaced).
void record_sample_invoice(kt482::KT482_Print& job);
