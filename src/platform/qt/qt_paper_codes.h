// Paper codes as Qt page sizes: the classic 16-bit numbering of paper sizes
// that forms keep in their printer settings (1 Letter, 9 A4, 256
// user-defined), with the dimensions of the one paper table of the core
// (print/paper_table.h), which preview and printing share.
#pragma once

#include <QPageSize>
#include <QSize>

#include <cstdint>
#include <optional>

#include "base/paper_table.h"

namespace kt482 {

// The page size of a code: Qt's own page size where Qt knows the table's
// size exactly (A4, Letter), else the table's size as a custom size under the
// table's name (7 Executive 7.5 x 10.5 in, 12 B4 250 x 354 mm, 15 Quarto
// 215 x 275 mm and 22 Envelope #12 4.5 x 11 in, which Qt does not know). Nothing for codes
// without dimensions (0, 24 to 26, 256, codes not in the table).
std::optional<QPageSize> pageSizeForPaperCode(int16_t code);

// The code of a page size (paper_code_for_size): the nearest code within
// 1 mm, upright before turned; kPaperUserDefined when nothing fits or the
// page size is invalid.
int16_t paperCodeForPageSize(const QPageSize& pageSize);

// The page in millimetres as it stands (not turned to portrait).
PaperSizeMm paperSizeMm(const QPageSize& pageSize);

// The page in portrait, in twips (1/1440 inch), from the size as defined
// (exact millimetres or inches) rounded to whole twips: A4 is 11906 x 16838.
// An invalid page size gives an empty QSize.
QSize portraitTwips(const QPageSize& pageSize);

}  // namespace kt482
