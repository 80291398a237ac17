#include "preview/preview_state.h"

#include "preview/preview_handlers.h"

namespace kt482 {

PreviewState& preview()
{
    thread_local PreviewState state;
    return state;
}

void close_preview_window()
{
    PreviewState& p = preview();
    p.window.reset();
    p.handlers.reset();
}

void forget_preview_owner(ObjectFields& self)
{
    PreviewState& p = preview();
    if (p.owner != &self)
        return;
    close_preview_window();
    p.owner = nullptr;
}

}  // namespace kt482
