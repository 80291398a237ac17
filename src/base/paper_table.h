// The paper vocabulary: paper codes with their portrait dimensions, as the
// preview sizes its page. The printers get the code itself and decide the
// page; only a user-defined size (256) travels as a height and a width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kt482 {

inline constexpr int16_t kPaperUserDefined = 256;
inline constexpr int16_t kOrientationPortrait = 1;
inline constexpr int16_t kOrientationLandscape = 2;

enum class PaperUnit { Inch, Millimetre };

struct PaperEntry {
    int16_t code;
    std::string_view name;
    PaperUnit unit;
    double width;   // portrait, in the unit
    double height;  // portrait, in the unit
};

// Every code with dimensions, in code order. Codes 24 to 26, 0 and codes not
// listed have none; 256 takes the job's own page size.
std::span<const PaperEntry> paper_table();

std::optional<PaperEntry> paper_entry(int16_t code);

// Sizes within this many millimetres on each side are the same paper.
inline constexpr double kPaperToleranceMm = 1.0;

struct PaperSizeMm {
    double width;
    double height;
};

// The entry's portrait size in millimetres.
PaperSizeMm paper_size_mm(const PaperEntry& entry);

// The paper in points, portrait, as defined (not rounded to whole points).
struct PaperPoints {
    double width;
    double height;
};
PaperPoints paper_points(const PaperEntry& entry);

// The paper in portrait, in whole twips rounded from its definition: A4 is
// 11906 x 16838.
struct PaperTwips {
    int32_t width;
    int32_t height;
};
PaperTwips portrait_twips(const PaperEntry& entry);

// The code of a paper size: the code nearest to it within the tolerance as
// it stands, else turned by 90 degrees; the lowest code among equally near
// ones (Letter small and Note are Letter). kPaperUserDefined when none fits.
int16_t paper_code_for_size(PaperSizeMm size);

// Which of the offered sizes carries the wanted paper: the nearest within
// the tolerance as it stands, else the nearest turned by 90 degrees, which
// is then used in the other orientation. Nothing when none fits.
struct PaperMatch {
    std::size_t index;
    bool turned;
};
std::optional<PaperMatch> match_paper(PaperSizeMm wanted, std::span<const PaperSizeMm> offered);

}  // namespace kt482
