// The dense form the rendering and printing benchmarks draw: an A4 delivery
// note and invoice on the 15 pt by 6 pt grid, 52 rows of 90 columns inside
// the default margins, with 200 texts of every kind (plain, spread, centred,
// right-aligned, clipped, numbers with pictures), 100 rules, mostly Japanese.
#pragma once

#include "kt482/kt482.h"

namespace kt482::bench {

// The rules the form's records draw, the sides of the boxes included.
inline constexpr int kDenseFormRules = 100;

// Records one page of the form, its pitch first, on the job's current page
// (between E_StartEdit or E_ChangePage and the next E_ChangePage or
// E_EndEdit). Returns the number of texts recorded.
int record_dense_form_page(KT482_Print& job);

}  // namespace kt482::bench
