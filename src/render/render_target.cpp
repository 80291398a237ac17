#include "render/render_target.h"

#include "job/error_trap.h"
#include "platform/printer.h"

namespace kt482 {

bool printer_is_target()
{
    return job().OutputTarget == 1;
}

DrawSurface& current_target()
{
    JobState& s = job();
    DrawSurface* target = printer_is_target() ? static_cast<DrawSurface*>(s.PrinterObject.get()) : s.PreviewCanvas.get();
    if (!target)
        raise(Failure(ErrorNumber::ObjectNotSet));
    return *target;
}

bool InOutputRange()
{
    JobState& s = job();
    if (s.OutPage < s.OutStartP || s.OutPage > s.OutEndP)
        return false;
    s.PageStarted = 1;
    return true;
}

void on_target(const Status& status)
{
    check(status);
}

}  // namespace kt482
