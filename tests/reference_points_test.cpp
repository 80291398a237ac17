// What docs/reference.md says about the grid, text placement, row margins,
// number fields and the first job's defaults, checked against the renderer
// one statement a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kt482/kt482.h"
#include "render/page_out.h"
#include "support/recording_surface.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using Lines = std::vector<std::string>;
using Recording = std::function<void(KT482_Print&)>;

struct ReferencePoint {
    const char* statement;
    Recording record;
    const char* kind;  // the log entries compared: "Line", "CurrentY", "Print", ...
    Lines expected;
};

class ReferencePoints : public SpoolTest, public testing::WithParamInterface<ReferencePoint> {};

TEST_P(ReferencePoints, HoldOnTheRenderedPage)
{
    const ReferencePoint& p = GetParam();
    KT482_Print job;
    job.P_Temp_Dir(dir);
    // A fresh thread's renderer: nothing measured yet.
    kt482::job().FontScale = 0;
    kt482::job().MeasuredFontSize = 0;
    job.E_StartEdit();
    p.record(job);
    job.E_EndEdit();
    auto surface = std::make_shared<RecordingSurface>();
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Printer;
    s.PrinterObject = surface;
    ObjectFields fields;
    ZZ100_Page_Out(fields, 1);
    Lines got = surface->only(p.kind);
    // Texts are placed after the printer's font reset at the origin.
    if (std::string(p.kind) == "CurrentY" || std::string(p.kind) == "CurrentX")
        got.erase(std::remove(got.begin(), got.end(), std::string(p.kind) + " 0"), got.end());
    if (std::string(p.kind) == "Print")
        got.erase(std::remove(got.begin(), got.end(), "Print \" \""), got.end());
    EXPECT_EQ(got, p.expected) << p.statement;
    EXPECT_TRUE(sink.messages.empty()) << p.statement;
}

void grid(KT482_Print& job, float font_size = 10, float row_margin = 0)
{
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", font_size, false, row_margin);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, ReferencePoints,
    testing::Values(
        ReferencePoint{"the grid counts from 1: E_Line(2,3,2,13) at y 43 from x 40 to 100",
                       [](KT482_Print& j) { grid(j); j.E_Line(2, 3, 2, 13); }, "Line", {"Line 40 43 100 43"}},
        ReferencePoint{"row 1, column 1 is the margins' corner",
                       [](KT482_Print& j) { grid(j); j.E_Line(1, 1, 1, 1); }, "Line", {"Line 28 28 28 28"}},
        ReferencePoint{"10 pt text in a 15 pt row starts 5 pt below the row's top",
                       [](KT482_Print& j) { grid(j, 10); j.E_String(2, 3, "A"); }, "CurrentY", {"CurrentY 48"}},
        ReferencePoint{"a row margin raises the text: margin 2 starts it 3 pt below the top",
                       [](KT482_Print& j) { grid(j, 10, 2); j.E_String(2, 3, "A"); }, "CurrentY", {"CurrentY 46"}},
        ReferencePoint{"a row margin the row has no room for is ignored",
                       [](KT482_Print& j) { grid(j, 10, 6); j.E_String(2, 3, "A"); }, "CurrentY", {"CurrentY 48"}},
        ReferencePoint{"a font as large as the row starts at the row's top",
                       [](KT482_Print& j) { grid(j, 18); j.E_String(2, 3, "A"); }, "CurrentY", {"CurrentY 43"}},
        ReferencePoint{"an empty picture draws nothing: an empty text, not 12.5",
                       [](KT482_Print& j) { grid(j); j.E_Numeric(2, 3, 12.5, ""); }, "Print", {"Print \"\" nl"}},
        ReferencePoint{"the field is the picture's characters, blanks first, code points not bytes",
                       [](KT482_Print& j) { grid(j); j.E_Numeric(2, 3, 840, "#,##0円"); }, "Print",
                       {"Print \"  840円\" nl"}},
        ReferencePoint{"a longer amount is drawn whole",
                       [](KT482_Print& j) { grid(j); j.E_Numeric(2, 3, 123456, "#,##0"); }, "Print",
                       {"Print \"123,456\" nl"}},
        ReferencePoint{"on a thread's first job, texts before E_Pitch collapse to the margins' corner",
                       [](KT482_Print& j) { j.E_String(2, 3, "A"); grid(j); j.E_String(2, 3, "B"); }, "CurrentX",
                       {"CurrentX 28", "CurrentX 40"}},
        ReferencePoint{"on a thread's first job, rules before E_Pitch shrink to a dot",
                       [](KT482_Print& j) { j.E_Line(2, 3, 2, 13); }, "Line", {"Line 28 28 28 28"}}),
    [](const testing::TestParamInfo<ReferencePoint>& info) { return "Point" + std::to_string(info.index); });

}  // namespace
}  // namespace kt482::test
