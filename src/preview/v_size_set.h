// Preparing a preview: the paper, the window and its canvas as target.
#pragma once

#include <cstdint>

#include "job/object_fields.h"

namespace kt482 {

inline constexpr const char* kPaperRefusedMessage = "指定された用紙サイズでのプレビュはできません。";

void V_Size_Set(ObjectFields& self, int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width);

// The page size in points of PaperSize and Orientation from the paper
// table; false, with nothing changed, for a code without dimensions.
bool ZZ110_FRM_Layout();

}  // namespace kt482
