#include "form/page_plan.h"

namespace kt482::form {

Plan plan_pages(const std::vector<PlanLine>& content, const PlanShape& shape)
{
    Plan plan;
    plan.lines.reserve(content.size() + content.size() / 8 + 4);
    const int per_page = shape.rows_per_page;
    int used = 0;
    int opening = 0;  // the lines a page starts with before any content
    uint32_t last_row = 0;

    const auto open_page = [&](bool list, bool continued) {
        plan.pages.push_back(PlanPage{plan.lines.size(), plan.lines.size(), list, -1});
        used = 0;
        if (continued && shape.brought) {
            plan.lines.push_back({PlanLine::Kind::Brought, last_row});
            used = 1;
        }
        opening = used;
    };
    const auto close_page = [&] { plan.pages.back().end_line = plan.lines.size(); };

    open_page(shape.has_list, false);
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
            open_page(true, true);
        }
        plan.lines.push_back(content[i]);
        if (content[i].kind == PlanLine::Kind::Row)
            last_row = content[i].row;
        ++used;
    }
    if (shape.summary_rows >= 0) {
        const bool fits = !shape.has_list || used + shape.summary_rows <= per_page;
        if (!fits) {
            close_page();
            open_page(false, false);
        }
        plan.pages.back().summary_line = used;
    }
    close_page();
    return plan;
}

}  // namespace kt482::form
