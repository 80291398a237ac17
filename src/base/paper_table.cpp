#include "base/paper_table.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/units.h"

namespace kt482 {
namespace {

using enum PaperUnit;

// Code 7 is 7.5 inches wide and code 22 is 4.5 inches wide, as the forms of
// our hosts were laid out for.
constexpr std::array kPapers{
    PaperEntry{1, "Letter", Inch, 8.5, 11},
    PaperEntry{2, "Letter small", Inch, 8.5, 11},
    PaperEntry{3, "Tabloid", Inch, 11, 17},
    PaperEntry{4, "Ledger", Inch, 17, 11},
    PaperEntry{5, "Legal", Inch, 8.5, 14},
    PaperEntry{6, "Statement", Inch, 5.5, 8.5},
    PaperEntry{7, "Executive", Inch, 7.5, 10.5},
    PaperEntry{8, "A3", Millimetre, 297, 420},
    PaperEntry{9, "A4", Millimetre, 210, 297},
    PaperEntry{10, "A4 small", Millimetre, 210, 297},
    PaperEntry{11, "A5", Millimetre, 148, 210},
    PaperEntry{12, "B4", Millimetre, 250, 354},
    PaperEntry{13, "B5", Millimetre, 182, 257},
    PaperEntry{14, "Folio", Inch, 8.5, 13},
    PaperEntry{15, "Quarto", Millimetre, 215, 275},
    PaperEntry{16, "10 x 14", Inch, 10, 14},
    PaperEntry{17, "11 x 17", Inch, 11, 17},
    PaperEntry{18, "Note", Inch, 8.5, 11},
    PaperEntry{19, "Envelope #9", Inch, 3.875, 8.875},
    PaperEntry{20, "Envelope #10", Inch, 4.125, 9.5},
    PaperEntry{21, "Envelope #11", Inch, 4.5, 10.375},
    PaperEntry{22, "Envelope #12", Inch, 4.5, 11},
    PaperEntry{23, "Envelope #14", Inch, 5, 11.5},
    PaperEntry{27, "Envelope DL", Millimetre, 110, 220},
    PaperEntry{28, "Envelope C5", Millimetre, 162, 229},
    PaperEntry{29, "Envelope C3", Millimetre, 324, 458},
    PaperEntry{30, "Envelope C4", Millimetre, 229, 324},
    PaperEntry{31, "Envelope C6", Millimetre, 114, 162},
    PaperEntry{32, "Envelope C65", Millimetre, 114, 229},
    PaperEntry{33, "Envelope B4", Millimetre, 250, 353},
    PaperEntry{34, "Envelope B5", Millimetre, 176, 250},
    PaperEntry{35, "Envelope B6", Millimetre, 176, 125},
    PaperEntry{36, "Envelope Italy", Millimetre, 110, 230},
    PaperEntry{37, "Envelope Monarch", Inch, 3.875, 7.5},
    PaperEntry{38, "Envelope 6 3/4", Inch, 3.625, 6.5},
    PaperEntry{39, "US standard fanfold", Inch, 14.875, 11},
    PaperEntry{40, "German standard fanfold", Inch, 8.5, 12},
    PaperEntry{41, "German legal fanfold", Inch, 8.5, 13},
};

}  // namespace

std::span<const PaperEntry> paper_table()
{
    return kPapers;
}

std::optional<PaperEntry> paper_entry(int16_t code)
{
    for (const PaperEntry& entry : kPapers) {
        if (entry.code == code)
            return entry;
    }
    return std::nullopt;
}

PaperSizeMm paper_size_mm(const PaperEntry& entry)
{
    const double scale = entry.unit == PaperUnit::Inch ? kMillimetresPerInch : 1.0;
    return {entry.width * scale, entry.height * scale};
}

PaperPoints paper_points(const PaperEntry& entry)
{
    if (entry.unit == PaperUnit::Inch)
        return {points_from_inches(entry.width), points_from_inches(entry.height)};
    return {points_from_millimetres(entry.width), points_from_millimetres(entry.height)};
}

PaperTwips portrait_twips(const PaperEntry& entry)
{
    const double perUnit = entry.unit == PaperUnit::Inch ? kTwipsPerInch : kTwipsPerMillimetre;
    const auto a = static_cast<int32_t>(std::lround(entry.width * perUnit));
    const auto b = static_cast<int32_t>(std::lround(entry.height * perUnit));
    return {std::min(a, b), std::max(a, b)};
}

namespace {

// How far apart two sizes are: the larger difference of their sides.
double distance(PaperSizeMm a, PaperSizeMm b)
{
    return std::max(std::abs(a.width - b.width), std::abs(a.height - b.height));
}

PaperSizeMm turned(PaperSizeMm size)
{
    return {size.height, size.width};
}

// The index of the nearest size within the tolerance, the first among
// equally near ones.
template <class Sizes, class SizeOf>
std::optional<std::size_t> nearest(PaperSizeMm wanted, const Sizes& sizes, SizeOf size_of)
{
    std::optional<std::size_t> best;
    double best_distance = kPaperToleranceMm;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const double d = distance(wanted, size_of(sizes[i]));
        if (d < best_distance || (!best && d <= best_distance)) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

}  // namespace

int16_t paper_code_for_size(PaperSizeMm size)
{
    if (!(size.width > 0 && size.height > 0))
        return kPaperUserDefined;
    for (const PaperSizeMm wanted : {size, turned(size)}) {
        if (auto index = nearest(wanted, kPapers, paper_size_mm))
            return kPapers[*index].code;
    }
    return kPaperUserDefined;
}

std::optional<PaperMatch> match_paper(PaperSizeMm wanted, std::span<const PaperSizeMm> offered)
{
    const auto same = [](PaperSizeMm s) { return s; };
    if (auto index = nearest(wanted, offered, same))
        return PaperMatch{*index, false};
    if (auto index = nearest(turned(wanted), offered, same))
        return PaperMatch{*index, true};
    return std::nullopt;
}

}  // namespace kt482
