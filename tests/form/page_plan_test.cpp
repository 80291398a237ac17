// Cutting lists into pages, over many list lengths and page shapes: every
// line lands once and in order, no page overflows, a page the list goes on
// from ends with its carried line and the next opens with the brought line,
// a group that goes on to a page has its head repeated there when it fits,
// and the summary lands where it fits.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "form/page_plan.h"

namespace {

using kt482::form::Plan;
using kt482::form::PlanLine;
using kt482::form::PlanShape;
using Kind = PlanLine::Kind;

struct ShapeCase {
    const char* name;
    PlanShape shape;
    int group_every;  // a group head every n rows, 0 for none
    bool feet = false;  // a foot after each group's last row
};

class PagePlan : public testing::TestWithParam<ShapeCase> {};

std::vector<PlanLine> content(int rows, int group_every, bool feet)
{
    std::vector<PlanLine> lines;
    for (int i = 0; i < rows; ++i) {
        if (group_every && i % group_every == 0)
            lines.push_back({Kind::GroupHead, static_cast<uint32_t>(i)});
        lines.push_back({Kind::Row, static_cast<uint32_t>(i)});
        if (group_every && feet && (i % group_every == group_every - 1 || i + 1 == rows))
            lines.push_back({Kind::GroupFoot, static_cast<uint32_t>(i)});
    }
    return lines;
}

TEST_P(PagePlan, KeepsEveryLineOnceWithinThePage)
{
    const ShapeCase& c = GetParam();
    for (int rows = 0; rows <= 70; ++rows) {
        SCOPED_TRACE("rows " + std::to_string(rows));
        const std::vector<PlanLine> lines = content(rows, c.group_every, c.feet);
        const Plan plan = plan_pages(lines, c.shape);
        ASSERT_FALSE(plan.pages.empty());
        std::size_t next = 0;
        std::optional<uint32_t> open_group;  // the first row of the group no foot has closed
        for (std::size_t p = 0; p < plan.pages.size(); ++p) {
            const auto& page = plan.pages[p];
            const bool more = p + 1 < plan.pages.size() && plan.pages[p + 1].list;
            int used = static_cast<int>(page.end_line - page.first_line);
            EXPECT_LE(used, c.shape.rows_per_page);
            // A page that goes on inside a group opens with its head again,
            // when the brought line, the head, a row and the carried line fit.
            const std::size_t opening = page.first_line + (p > 0 && c.shape.brought && page.list ? 1 : 0);
            const bool inside = p > 0 && page.list && open_group && next < lines.size() && lines[next].kind != Kind::GroupHead;
            const bool room = static_cast<int>(opening - page.first_line) + 2 + c.shape.carried <= c.shape.rows_per_page;
            EXPECT_EQ(inside && room, opening < page.end_line && plan.lines[opening].kind == Kind::GroupHeadAgain)
                << "page " << p + 1;
            for (std::size_t l = page.first_line; l < page.end_line; ++l) {
                const PlanLine& line = plan.lines[l];
                if (line.kind == Kind::GroupHeadAgain) {
                    EXPECT_EQ(l, opening);
                    ASSERT_TRUE(open_group.has_value());
                    EXPECT_EQ(line.row, *open_group) << "the head of the group the page goes on with";
                } else if (line.kind == Kind::Carried) {
                    EXPECT_EQ(l + 1, page.end_line) << "a carried line closes its page";
                    EXPECT_TRUE(more);
                } else if (line.kind == Kind::Brought) {
                    EXPECT_EQ(l, page.first_line) << "a brought line opens its page";
                    EXPECT_GT(p, 0u);
                } else {
                    ASSERT_LT(next, lines.size());
                    EXPECT_EQ(line.kind, lines[next].kind);
                    EXPECT_EQ(line.row, lines[next].row);
                    ++next;
                    if (line.kind == Kind::GroupHead)
                        open_group = line.row;
                    else if (line.kind == Kind::GroupFoot)
                        open_group.reset();
                    EXPECT_FALSE(line.kind == Kind::GroupHead && l + 1 == page.end_line && next < lines.size())
                        << "a group head is not left alone at the foot of a page";
                }
            }
            if (more) {
                EXPECT_EQ(c.shape.carried, plan.lines[page.end_line - 1].kind == Kind::Carried);
                EXPECT_EQ(c.shape.brought, plan.lines[plan.pages[p + 1].first_line].kind == Kind::Brought);
            }
            if (page.summary_line >= 0) {
                EXPECT_EQ(p + 1, plan.pages.size());
                EXPECT_EQ(page.summary_line, used);
                used += c.shape.summary_rows;
                EXPECT_LE(used, c.shape.rows_per_page) << "the summary fits where it is";
            }
        }
        EXPECT_EQ(next, lines.size());
        EXPECT_EQ(plan.pages.back().summary_line >= 0, c.shape.summary_rows >= 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PagePlan,
    testing::Values(ShapeCase{"Plain", {10, false, false, true, -1}, 0},
                    ShapeCase{"Carried", {10, true, true, true, -1}, 0},
                    ShapeCase{"CarriedOnly", {7, true, false, true, -1}, 0},
                    ShapeCase{"Summary", {10, true, true, true, 4}, 0},
                    ShapeCase{"TallSummary", {5, true, true, true, 5}, 0},
                    ShapeCase{"Groups", {9, true, true, true, 3}, 4},
                    ShapeCase{"GroupsTight", {4, true, true, true, 1}, 1},
                    ShapeCase{"LongGroups", {6, true, true, true, 2}, 9},
                    ShapeCase{"LongGroupsWithFeet", {7, true, true, true, 2}, 8, true},
                    ShapeCase{"LongGroupsNoCarried", {5, false, false, true, -1}, 12, true},
                    ShapeCase{"LongGroupsNoRoom", {3, true, true, true, -1}, 10}),
    [](const testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

}  // namespace
