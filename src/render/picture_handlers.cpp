#include "render/picture_handlers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "image/picture_cache.h"
#include "job/error_trap.h"
#include "render/grid_coordinates.h"
#include "render/render_target.h"

namespace kt482 {
namespace {

struct Box {
    float x, y, width, height;
};

// The box between two grid corners given either way round.
Box box(float start_row, float start_col, float end_row, float end_col)
{
    const JobState& s = job();
    const float y1 = RowToY(s, start_row);
    const float x1 = ColToX(s, start_col);
    const float y2 = RowToY(s, end_row);
    const float x2 = ColToX(s, end_col);
    return {std::min(x1, x2), std::min(y1, y2), std::fabs(x2 - x1), std::fabs(y2 - y1)};
}

// Keeping proportions: as large as fits, centred.
Box fitted(const Box& b, int32_t width, int32_t height)
{
    const double scale = std::min(b.width / static_cast<double>(width), b.height / static_cast<double>(height));
    const auto w = static_cast<float>(width * scale);
    const auto h = static_cast<float>(height * scale);
    return {b.x + (b.width - w) / 2, b.y + (b.height - h) / 2, w, h};
}

// A picture missing at output is reported once per run of pages, not on
// every page that shows it.
bool first_report(const std::string& path)
{
    thread_local std::string last_path;
    thread_local int16_t last_page = 0;
    const int16_t page = job().OutPage;
    const bool first = path != last_path || page <= last_page;
    last_path = path;
    last_page = page;
    return first;
}

}  // namespace

uint32_t color_of_field(std::string_view field)
{
    if (field.size() != 6)
        raise(Failure(ErrorNumber::TypeMismatch));
    uint32_t rgb = 0;
    for (const char c : field) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            raise(Failure(ErrorNumber::TypeMismatch));
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    return rgb;
}

void ZZ100_Image(ObjectFields& self, float start_row, float start_col, float end_row, float end_col,
                 std::string_view fit_and_path)
{
    enter("ZZ100_Image");
    const std::size_t slash = fit_and_path.find('/');
    const std::string_view fit = fit_and_path.substr(0, slash);
    if (slash == std::string_view::npos || (fit != "0" && fit != "1"))
        raise(Failure(ErrorNumber::TypeMismatch));
    if (!InOutputRange())
        return;
    const std::string path(fit_and_path.substr(slash));
    auto loaded = load_picture(path);
    if (!loaded) {
        if (first_report(path))
            report_failure(loaded.failure(), self);
        return;
    }
    const LoadedPicture& picture = **loaded;
    Box b = box(start_row, start_col, end_row, end_col);
    if (fit == "0" && b.width > 0 && b.height > 0)
        b = fitted(b, picture.decoded.width, picture.decoded.height);
    on_target(current_target().Image(b.x, b.y, b.width, b.height, picture.view()));
}

void ZZ100_Fill(float start_row, float start_col, float end_row, float end_col, uint32_t rgb)
{
    enter("ZZ100_Fill");
    if (!InOutputRange())
        return;
    const Box b = box(start_row, start_col, end_row, end_col);
    DrawSurface& target = current_target();
    on_target(target.Color(rgb));
    on_target(target.FillRect(b.x, b.y, b.width, b.height));
    on_target(target.Color(job().PageColor));
}

void ZZ100_Color(uint32_t rgb)
{
    enter("ZZ100_Color");
    job().PageColor = rgb;
    on_target(current_target().Color(rgb));
}

void reset_page_color()
{
    JobState& s = job();
    if (s.PageColor == 0)
        return;
    s.PageColor = 0;
    on_target(current_target().Color(0));
}

}  // namespace kt482
