// Cutting a list into pages: which lines (detail rows, group heads and feet,
// carried-forward and brought-forward rows) each page holds, and where the
// summary goes. A pure computation over the line sequence, done before
// anything is recorded, so that the page count is known to every page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kt482::form {

struct PlanLine {
    // GroupHeadAgain: a group's head repeated at the top of a page its group
    // goes on to, which starts no new group.
    enum class Kind : uint8_t { Row, GroupHead, GroupFoot, Carried, Brought, GroupHeadAgain };
    Kind kind = Kind::Row;
    uint32_t row = 0;  // the data row it belongs to (Carried: the last row before it; GroupHeadAgain: the group's first)
};

struct PlanPage {
    std::size_t first_line = 0, end_line = 0;  // into Plan::lines
    bool list = false;                         // draws the list heading and lines
    int summary_line = -1;                     // the summary's line on the page, or none
};

struct Plan {
    std::vector<PlanLine> lines;
    std::vector<PlanPage> pages;
};

struct PlanShape {
    int rows_per_page = 1;
    bool carried = false;  // a carried-forward line closes a page the list goes on from
    bool brought = false;  // a brought-forward line opens a page the list goes on to
    bool has_list = false;
    int summary_rows = -1;  // -1: no summary
};

// content: the list's lines in order, without Carried, Brought and
// GroupHeadAgain. A group head is kept with the row after it; a group that
// goes on to another page has its head repeated there, under the brought
// line, when the page has room for it, a row and the carried line; the
// summary follows the list on its last page when it fits there and opens a
// page of its own when not.
Plan plan_pages(const std::vector<PlanLine>& content, const PlanShape& shape);

}  // namespace kt482::form
