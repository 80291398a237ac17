#include "form/page_plan.h"

#include <optional>

namespace kt482::form {

Plan plan_pages(const std::vector<PlanLine>& content, const PlanShape& shape)
{
    Plan plan;
    plan.lines.reserve(content.size() + content.size() / 8 + 4);
    const int per_page = shape.rows_per_page;
    int used = 0;
    int opening = 0;  // the lines a page starts with before any content
    uint32_t last_row = 0;
    std::optional<uint32_t> open_group;  // the first row of the group a foot has not closed

    // next: the content line the page goes on with.
    const auto open_page = [&](bool list, bool continued, std::size_t next) {
        plan.pages.push_back(PlanPage{plan.lines.size(), plan.lines.size(), list, -1});
        used = 0;
        if (continued && shape.brought) {
            plan.lines.push_back({PlanLine::Kind::Brought, last_row});
            used = 1;
        }
        // Special case: on a page too short for the head, a row and the
        // carried line, the head is not repeated, so that the list moves on.
        const bool room = used + 2 + (shape.carried ? 1 : 0) <= per_page;
        if (continued && open_group && next < content.size() && content[next].kind != PlanLine::Kind::GroupHead && room) {
            plan.lines.push_back({PlanLine::Kind::GroupHeadAgain, *open_group});
            ++used;
        }
        opening = used;
    };
    const auto close_page = [&] { plan.pages.back().end_line = plan.lines.size(); };

    open_page(shape.has_list, false, 0);
    for (std::size_t i = 0; i < content.size(); ++i) {
        const bool head = content[i].kind == PlanLine::Kind::GroupHead && i + 1 < content.size();
        const int need = head ? 2 : 1;
        const std::size_t after = content.size() - i - static_cast<std::size_t>(need);
        const int reserve = shape.carried && after > 0 ? 1 : 0;
        // Special case: a page that holds nothing yet takes the line anyway,
        // so that a list always moves on.
        if (used + need + reserve > per_page && used > opening) {
            if (shape.carried)
                plan.lines.push_back({PlanLine::Kind::Carried, last_row});
            close_page();
            open_page(true, true, i);
        }
        plan.lines.push_back(content[i]);
        switch (content[i].kind) {
        case PlanLine::Kind::Row: last_row = content[i].row; break;
        case PlanLine::Kind::GroupHead: open_group = content[i].row; break;
        case PlanLine::Kind::GroupFoot: open_group.reset(); break;
        default: break;
        }
        ++used;
    }
    if (shape.summary_rows >= 0) {
        const bool fits = !shape.has_list || used + shape.summary_rows <= per_page;
        if (!fits) {
            close_page();
            open_page(false, false, content.size());
        }
        plan.pages.back().summary_line = used;
    }
    close_page();
    return plan;
}

}  // namespace kt482::form
