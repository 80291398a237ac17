// Paper codes: the classic 16-bit numbering of paper sizes that forms keep in
// their printer settings (1 Letter, 9 A4, 256 user-defined), and the Qt page
// sizes they stand for.
#pragma once

#include <QPageSize>
#include <QSize>

#include <cstdint>
#include <optional>
#include <span>

namespace kt482 {

inline constexpr int16_t kUserDefinedPaperCode = 256;

struct PaperCodeEntry {
    int16_t code;
    QPageSize::PageSizeId pageSize;
};

// Every known code with its page size, ordered by code. Some codes share a
// page size (Letter small is Letter); the lowest such code is the primary one.
std::span<const PaperCodeEntry> paperCodeTable();

// The page size of a code; nothing for codes not in the table.
std::optional<QPageSize> pageSizeForPaperCode(int16_t code);

// The primary code of a page size: the lowest code of the same Qt page size,
// else the lowest code whose size is within 1 mm of it, as it stands or turned
// by 90 degrees (an upright match wins). kUserDefinedPaperCode when nothing
// fits or the page size is invalid.
int16_t paperCodeForPageSize(const QPageSize& pageSize);

// The page in portrait, in twips (1/1440 inch), from the size as defined
// (exact millimetres or inches) rounded to whole twips: A4 is 11906 x 16838.
// An invalid page size gives an empty QSize.
QSize portraitTwips(const QPageSize& pageSize);

}  // namespace kt482
