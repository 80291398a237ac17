// Names of the page spool files: "KT482_PRT_PAGE_" + at least four digits +
// ".tmp", in Temp_Dir when it is set (joined with "/", nothing trimmed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kt482 {

inline constexpr std::string_view kPageFilePrefix = "KT482_PRT_PAGE_";
inline constexpr std::string_view kPageFileSuffix = ".tmp";

std::string PageFileName(std::string_view temp_dir, int32_t page);
std::string PageFilePattern(std::string_view temp_dir);

}  // namespace kt482
