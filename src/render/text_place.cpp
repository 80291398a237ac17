#include "render/text_place.h"

#include "job/job_state.h"
#include "render/grid_coordinates.h"
#include "render/render_target.h"

namespace kt482 {

bool vertical_text()
{
    const std::string& name = job().FontName;
    return !name.empty() && name.front() == '@';
}

TextPlace text_place(float row, float col)
{
    const JobState& s = job();
    if (vertical_text())
        return {ColToX(s, col), RowToY(s, row)};
    return {ColToX(s, col), RowToTextY(s, row)};
}

void move_to(DrawSurface& target, float x, float y)
{
    on_target(target.CurrentX(x));
    on_target(target.CurrentY(y));
}

void move_along(DrawSurface& target, TextPlace at, double distance)
{
    const auto d = static_cast<float>(distance);
    if (vertical_text())
        move_to(target, at.x, at.y + d);
    else
        move_to(target, at.x + d, at.y);
}

double grid_length(float out_length)
{
    const JobState& s = job();
    const float pitch = vertical_text() ? s.RowPitch : s.ColPitch;
    return static_cast<double>(out_length) * pitch * s.FontScale;
}

}  // namespace kt482
