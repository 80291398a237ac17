// The five fields each KT482_Print object keeps for itself.
#pragma once

#include <cstdint>
#include <memory>

#include "kt482/host_messages.h"
#include "kt482/variant.h"

namespace kt482 {

class DrawSurface;

struct ObjectFields {
    std::shared_ptr<DrawSurface> P_PRINT;
    std::shared_ptr<DrawSurface> P_PREVIEW;
    int16_t CheckData = 0;
    int16_t PageHasData = 0;
    Variant Answer;
    // For the host, beyond the five: the last failure reported.
    FailureReport LastFailure;
};

}  // namespace kt482
