// The paper vocabulary: paper codes with their portrait dimensions, as the
// preview sizes its page. The printers get the code itself and decide the
// page; only a user-defined size (256) travels as a height and a width.
#pragma once

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

}  // namespace kt482
