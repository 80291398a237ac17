// The preview of the calling thread: its window, the page on show and the
// object that set it up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "job/object_fields.h"
#include "platform/window_toolkit.h"

namespace kt482 {

class PreviewHandlers;

struct PreviewState {
    int16_t PreviewPage = 0;
    // The object whose V_Size_Set made the window; its Answer receives the
    // results of the preview's standard messages.
    ObjectFields* owner = nullptr;
    std::unique_ptr<PreviewHandlers> handlers;
    std::unique_ptr<PreviewWindow> window;
};

PreviewState& preview();

// Destroys the window, if any.
void close_preview_window();

// The object is going away: a window it made goes with it.
void forget_preview_owner(ObjectFields& self);

}  // namespace kt482
