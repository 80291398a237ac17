#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "preview/preview_state.h"
#include "preview/preview_geometry.h"
#include "support/fake_preview.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using Lines = std::vector<std::string>;
using C = PreviewControl;

class PreviewTest : public SpoolTest {
protected:
    PreviewTest()
    {
        job.P_Temp_Dir(dir);
        job.E_StartEdit();
        for (int page = 1; page <= 5; ++page) {
            if (page > 1)
                job.E_ChangePage();
            job.E_String(1, 1, "page " + std::to_string(page));
        }
        job.E_EndEdit();
    }

    FakePreviewWindow& window() { return *toolkit.last; }
    Lines drawn_pages() const
    {
        Lines pages;
        for (const auto& line : toolkit.last->canvas_->log())
            if (line.rfind("Print \"page", 0) == 0)
                pages.push_back(line.substr(7, 6));
        return pages;
    }
    std::vector<std::string> texts_of_messages() const
    {
        std::vector<std::string> out;
        for (const auto& m : sink.messages)
            out.push_back(m.title + " | " + m.text);
        return out;
    }

    FakeToolkit toolkit;
    FakePrintDialog dialog;
    ScopedServices preview_services{nullptr, nullptr, nullptr, &toolkit, &dialog};
    KT482_Print job;
};

TEST_F(PreviewTest, PaperSizesOfThePreview)
{
    struct Case {
        int16_t size, orient;
        float height, width;
    };
    for (const Case& c : {Case{0, 0, 595, 842}, Case{9, 1, 842, 595}, Case{8, 1, 1191, 842}, Case{13, 1, 729, 516},
                          Case{1, 1, 792, 612}, Case{5, 1, 1008, 612}, Case{19, 1, 639, 279}, Case{4, 1, 792, 1224},
                          Case{7, 1, 756, 540}, Case{22, 1, 792, 324}, Case{9, 3, 842, 595}}) {
        job.V_Size_Set(c.size, c.orient);
        EXPECT_EQ(kt482::job().PageHeight, c.height) << c.size;
        EXPECT_EQ(kt482::job().PageWidth, c.width) << c.size;
        EXPECT_EQ(job.Answer(), Variant(true));
    }
    EXPECT_EQ(job.P_PaperSize(), 9);
    EXPECT_EQ(job.P_Orientation(), 3);
    EXPECT_EQ(toolkit.created, 1);  // one window for all
    EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Preview);
    EXPECT_EQ(job.P_PREVIEW(), window().canvas());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PreviewTest, UserDefinedAndRefusedPapers)
{
    job.V_Size_Set(256, 2, 11, 8.5f);
    EXPECT_EQ(kt482::job().PageHeight, 792.0f);  // no swap for user sizes
    EXPECT_EQ(kt482::job().PageWidth, 612.0f);
    for (int16_t refused : {24, 42, -1}) {
        job.V_Size_Set(refused, 1);
        EXPECT_EQ(kt482::job().PageHeight, 792.0f);
        EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Preview);
    }
    ASSERT_EQ(sink.messages.size(), 3u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : V_Size_Set");
    EXPECT_EQ(sink.messages[0].text, "指定された用紙サイズでのプレビュはできません。");
    EXPECT_EQ(sink.messages[0].buttons, 64);
}

TEST_F(PreviewTest, FrameAndPageBoxOfTheFirstPage)
{
    job.V_Size_Set(9, 1);
    toolkit.last->canvas_->log().clear();
    job.V_Preview();
    const Lines log = window().canvas_->log();
    ASSERT_GE(log.size(), 16u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 16),
              (Lines{"Cls", "ScaleHeight 842", "ScaleWidth 595", "ScaleMode 2", "FillStyle 1", "DrawMode 13",
                     "DrawWidth 1", "DrawStyle 2", "ColoredLine 28 28 28 828 ff", "ColoredLine 28 28 581 28 ff",
                     "ColoredLine 28 828 581 828 ff", "ColoredLine 581 28 581 828 ff", "ScaleMode 1", "FillStyle 0",
                     "DrawMode 13", "DrawWidth 1"}));
    EXPECT_EQ(log[16], "DrawStyle 0");
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"ScaleHeight 200", "ScaleWidth 370.8"}));
    EXPECT_EQ(drawn_pages(), Lines{"page 1"});
    EXPECT_EQ(window().text(C::CUR_PAGE), "   1");
    EXPECT_EQ(window().text(C::LAST_PAGE), "/5");
    EXPECT_TRUE(window().shown);
    EXPECT_EQ(job.P_PREVIEW(), nullptr);
    EXPECT_EQ(preview().window, nullptr);
}

TEST_F(PreviewTest, RangesOfThePreview)
{
    struct Case {
        int16_t start, end;
        bool shown;
        int16_t first, last;
    };
    for (const Case& c : {Case{0, 0, true, 1, 5}, Case{2, 0, false, 0, 0}, Case{-1, 3, true, 1, 3},
                          Case{3, 99, true, 3, 5}, Case{7, 9, false, 0, 0}}) {
        job.V_Size_Set(9, 1);
        job.V_Preview(c.start, c.end);
        EXPECT_EQ(window().shown, c.shown) << c.start << " " << c.end;
        if (c.shown) {
            EXPECT_EQ(kt482::job().OutStartP, c.first);
            EXPECT_EQ(kt482::job().OutEndP, c.last);
            EXPECT_EQ(preview().PreviewPage, c.first);
        }
        close_preview_window();
    }
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PreviewTest, PageBoxInputs)
{
    toolkit.user = [](FakePreviewWindow& w) {
        for (const char* text : {"3", "2.5", "3.5", "0", "6", "abc", "9e9", "5"})
            w.type_page(text);
        w.set_focus(C::CUR_PAGE);
        w.set_focus(C::Print);  // left unchanged: nothing
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(drawn_pages(), (Lines{"page 1", "page 3", "page 2", "page 4", "page 5"}));
    EXPECT_EQ(texts_of_messages(),
              (Lines{"印刷プレビュー | 該当する頁のプレビュ・データは有りません。",
                     "印刷プレビュー | 該当する頁のプレビュ・データは有りません。", "印刷プレビュー | 数値を入力して下さい。",
                     "KT482_Print : ZZ010_PREV : CUR_PAGE_LostFocus | Overflow"}));
    EXPECT_EQ(window().text(C::CUR_PAGE), "   5");
    EXPECT_EQ(window().focus, C::Print);
}

TEST_F(PreviewTest, ZoomInputs)
{
    toolkit.user = [](FakePreviewWindow& w) {
        for (const char* text : {"500.5", "19.9", "abc", "20", "500"})
            w.type_zoom(text);
        w.set_focus(C::ZOOM);
        w.set_text(C::ZOOM, "150");
        w.events.ZOOM_Click();  // chosen from the list
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(texts_of_messages(),
              (Lines{"KT482_Print : ZZ010_PREV | 拡大率には、５００％以下の値を指定して下さい。",
                     "KT482_Print : ZZ010_PREV | 縮小率には、２０％以上の値を指定して下さい。"}));
    EXPECT_EQ(job.P_Bairitu(), 1.5f);
    EXPECT_EQ(window().focus, C::Print);
    // The first page, then 20 %, 500 % and 150 %.
    EXPECT_EQ(drawn_pages().size(), 4u);
}

TEST_F(PreviewTest, PagingAtBothEnds)
{
    toolkit.user = [](FakePreviewWindow& w) {
        w.events.PREV_Click();
        w.events.TOP_Click();
        w.events.NEXT_Click();
        w.events.BOTOM_Click();
        w.events.NEXT_Click();
        w.events.BOTOM_Click();
        w.events.PREV_Click();
        w.events.TOP_Click();
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(drawn_pages(), (Lines{"page 1", "page 2", "page 5", "page 4", "page 1"}));
    EXPECT_EQ(window().busy_log, (std::vector<bool>{true, false, true, false, true, false, true, false}));
}

TEST_F(PreviewTest, ScrollingShowsThePartThatDoesNotFit)
{
    std::vector<float> offsets;
    toolkit.user = [&](FakePreviewWindow& w) {
        w.scroll(C::VSCROL, 50);
        offsets.push_back(kt482::job().ScrollY);
        w.scroll(C::VSCROL, 100);
        offsets.push_back(kt482::job().ScrollY);
        w.scroll(C::HSCROL, 100);
        offsets.push_back(kt482::job().ScrollX);
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(offsets, (std::vector<float>{321, 642, 224}));  // 595 - 370.8 = 224.2
    EXPECT_EQ(window().scroll_ranges, (Lines{"0 100 10 50", "0 100 10 50"}));
    EXPECT_TRUE(window().busy_log.empty());
    // With ScrollX 224 the frame's left edge lies at 28 - 224.
    Lines frame;
    for (const auto& line : window().canvas_->log())
        if (line.rfind("ColoredLine", 0) == 0)
            frame.push_back(line);
    EXPECT_EQ(frame.at(frame.size() - 4), "ColoredLine -196 -614 -196 186 ff");
}

TEST_F(PreviewTest, ResizeLaysOutTheCanvasAndKeepsTheMinimum)
{
    job.V_Size_Set(9, 1);
    FakePreviewWindow& w = window();
    w.events.Form_Resize();
    EXPECT_EQ(w.geometry(C::DATA).height, 186.0f);
    EXPECT_FLOAT_EQ(w.geometry(C::DATA).width, 370.8f);
    for (C control : {C::TOP, C::PREV, C::LAST_PAGE, C::CUR_PAGE, C::NEXT, C::BOTOM, C::HSCROL})
        EXPECT_EQ(w.geometry(control).top, 212.0f);
    EXPECT_FLOAT_EQ(w.geometry(C::HSCROL).width, 231.2f);
    EXPECT_FLOAT_EQ(w.geometry(C::VSCROL).left, 377.2f);
    EXPECT_EQ(w.geometry(C::VSCROL).height, 186.0f);

    w.set_outer_width(5000);
    EXPECT_EQ(w.outer_width(), 5500);
    w.set_outer_height(1000);
    EXPECT_EQ(w.outer_height(), 2000);
    EXPECT_EQ(w.geometry(C::DATA).height, 100.0f - 25 - 15 - 20);

    // A page smaller than the window shrinks the canvas to it.
    job.V_Size_Set(256, 1, 3, 3);
    w.set_outer_width(20000);
    w.set_outer_height(20000);
    EXPECT_EQ(w.geometry(C::DATA).width, 216.0f);
    EXPECT_EQ(w.geometry(C::DATA).height, 216.0f);
}

TEST_F(PreviewTest, PrintButtonPrintsTheRangeAndCloses)
{
    toolkit.user = [](FakePreviewWindow& w) { w.events.Print_Click(); };
    job.V_Size_Set(9, 1);
    job.V_Preview(2, 3);
    ASSERT_TRUE(printers.opened);
    Lines printed;
    for (const auto& line : printers.opened->log)
        if (line.rfind("Print \"page", 0) == 0 || line == "NewPage" || line == "EndDoc" || line == "PaperSize 9")
            printed.push_back(line);
    EXPECT_EQ(printed, (Lines{"PaperSize 9", "Print \"page 2\" nl", "NewPage", "Print \"page 3\" nl", "EndDoc"}));
    EXPECT_TRUE(window().closed);
    EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Printer);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PreviewTest, SettingsButtonRedrawsOnTheChosenPaper)
{
    toolkit.user = [&](FakePreviewWindow& w) {
        w.events.Settings_Click();  // cancelled: redrawn all the same
        dialog.answer = {true, "Office Laser", 8, 1, 2, 1, 0, 0, "", ""};
        w.events.Settings_Click();
        dialog.answer = {true, "Office Laser", 24, 1, 1, 1, 0, 0, "", ""};
        w.events.Settings_Click();
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(drawn_pages().size(), 3u);
    EXPECT_EQ(kt482::job().PageHeight, 1191.0f);
    EXPECT_EQ(job.P_PRT_Copy(), 1);
    ASSERT_EQ(dialog.requests.size(), 3u);
    EXPECT_EQ(dialog.requests[0].flags, 0x8004Cu);
    EXPECT_NE(dialog.requests[0].owner, nullptr);
    EXPECT_EQ(texts_of_messages(), (Lines{"KT482_Print : V_Size_Set | 指定された用紙サイズでのプレビュはできません。"}));
}

TEST_F(PreviewTest, NoDisplayIsReportedAndNothingWaits)
{
    job.V_Size_Set(9, 1);
    window().modal_result = Failure(ErrorNumber::InvalidCall, "The preview needs a display");
    job.V_Preview();
    EXPECT_EQ(texts_of_messages(), (Lines{"KT482_Print : V_Preview | The preview needs a display"}));
    EXPECT_FALSE(toolkit.last == nullptr);
}

// The window is gone once a preview closed: another V_Preview without a new
// V_Size_Set is reported once, and draws nothing.
TEST_F(PreviewTest, PreviewAfterTheWindowClosedIsReportedOnce)
{
    job.V_Size_Set(9, 1);
    job.V_Preview();
    ASSERT_TRUE(sink.messages.empty());
    const int16_t shown = kt482::preview().PreviewPage;
    job.V_Preview();
    EXPECT_EQ(texts_of_messages(), (Lines{"KT482_Print : V_Preview | Object variable or With block variable not set"}));
    EXPECT_EQ(kt482::preview().PreviewPage, shown);
}

TEST_F(PreviewTest, PrinterDialogFromTheHost)
{
    job.P_PRT_Copy(5);
    EXPECT_EQ(job.W_PrtDialog(0, "Label ", 8, 2), 0);  // cancelled
    EXPECT_EQ(kt482::job().DeviceName, "Label ");
    EXPECT_EQ(job.P_PaperSize(), 8);
    EXPECT_EQ(job.P_PRT_Copy(), 5);
    EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Printer);

    dialog.answer = {true, "kt482 pdf", 9, 1, 2, 2, 0, 0, "", ""};
    EXPECT_EQ(job.W_PrtDialog(0x1234), 1);
    EXPECT_EQ(dialog.requests.back().owner_window, 0x1234u);
    EXPECT_EQ(dialog.requests.back().paper_size, 8);
    EXPECT_EQ(kt482::job().DeviceName, "KT482 PDF");
    EXPECT_EQ(kt482::job().DriverName, "driver of KT482 PDF");
    EXPECT_EQ(kt482::job().Port, "port of KT482 PDF");
    EXPECT_EQ(job.P_PRT_Copy(), 2);
    ASSERT_TRUE(printers.opened);
    EXPECT_EQ(printers.opened->DeviceName(), "KT482 PDF");
    EXPECT_EQ(job.P_PRINT(), printers.opened);
    EXPECT_TRUE(sink.messages.empty());
}

}  // namespace
}  // namespace kt482::test

namespace kt482::test {
namespace {

// --- keys, wheel, fits, saving as PDF, progress

using Cmd = PreviewCommand;

TEST_F(PreviewTest, PagingCommandsMoveAsTheirButtonsAndCloseEnds)
{
    toolkit.user = [](FakePreviewWindow& w) {
        for (Cmd c : {Cmd::NextPage, Cmd::LastPage, Cmd::NextPage, Cmd::PreviousPage, Cmd::FirstPage,
                      Cmd::PreviousPage, Cmd::Close})
            w.events.Command(c);
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(drawn_pages(), (Lines{"page 1", "page 2", "page 5", "page 4", "page 1"}));
    EXPECT_TRUE(window().closed);
}

// The zoom list's steps from a view scale in the list or between its
// entries, and a fine-grained wheel that turns half a notch at a time. The
// keys and the wheel move the view scale; the zoom box, the print
// magnification, moves only when typed into and is never moved by them.
TEST_F(PreviewTest, ZoomStepsByKeysAndCtrlWheel)
{
    std::vector<std::pair<float, float>> zooms;  // view scale, print magnification
    toolkit.user = [&](FakePreviewWindow& w) {
        auto step = [&](auto&& act) {
            act();
            zooms.push_back({static_cast<float>(std::round(w.canvas_->view_scale * 100)),
                             std::round(kt482::job().Bairitu * 100)});
        };
        step([&] { w.events.Command(Cmd::ZoomIn); });
        step([&] { w.events.Command(Cmd::ZoomIn); });
        step([&] { w.events.Command(Cmd::ZoomIn); });  // 200 is the list's last
        step([&] { w.type_zoom("120"); });
        step([&] { w.events.Command(Cmd::ZoomOut); });
        step([&] { w.events.DATA_Wheel(0, -60, true); });
        step([&] { w.events.DATA_Wheel(0, -60, true); });
        step([&] { w.events.DATA_Wheel(0, 2 * kWheelNotch, true); });
        step([&] { w.events.Command(Cmd::ActualSize); });
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    const std::vector<std::pair<float, float>> expected = {
        {150, 100}, {200, 100}, {200, 100}, {200, 120}, {150, 120},
        {150, 120}, {100, 120}, {200, 120}, {100, 120},
    };
    EXPECT_EQ(zooms, expected);
    EXPECT_EQ(window().text(C::ZOOM), "120");
    EXPECT_EQ(window().text(C::VIEW), "表示 100%");
    // The first page and one redraw per change: 150, 200, 120, 150, 100, 200, 100.
    EXPECT_EQ(drawn_pages().size(), 8u);
    EXPECT_TRUE(sink.messages.empty());
}

// A4 portrait in the window's first size: the canvas has 370.8 × 186 points
// of room, 62 % of the width and 22 % of the height. The fits set the view
// scale and leave the print magnification alone.
TEST_F(PreviewTest, FitsSetTheLargestWholePercentAndShowThePagesCorner)
{
    std::vector<double> views;
    std::vector<float> scrolls;
    toolkit.user = [&](FakePreviewWindow& w) {
        w.scroll(C::HSCROL, 100);
        w.scroll(C::VSCROL, 100);
        w.events.Command(Cmd::FitWidth);
        views.push_back(w.canvas_->view_scale * 100);
        scrolls.insert(scrolls.end(), {kt482::job().ScrollX, kt482::job().ScrollY});
        w.events.Command(Cmd::FitPage);
        views.push_back(w.canvas_->view_scale * 100);
        scrolls.insert(scrolls.end(), {kt482::job().ScrollX, kt482::job().ScrollY});
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_EQ(views, (std::vector<double>{62, 22}));
    // At 62 % the canvas shows 186 / 0.62 = 300 of the page's 842 points down.
    EXPECT_EQ(scrolls, (std::vector<float>{0, 542, 0, 0}));
    EXPECT_EQ(window().scroll_values[C::HSCROL], 0);
    EXPECT_EQ(window().scroll_values[C::VSCROL], 0);
    EXPECT_EQ(window().text(C::ZOOM), "100");
    EXPECT_EQ(window().text(C::VIEW), "表示 22%");
    EXPECT_EQ(kt482::job().Bairitu, 1.0f);
}

// At any view scale the bars reach the page's far corner: at their ends the
// canvas shows the page's last points across and down, and the frame's
// bottom right corner lies inside the canvas.
TEST_F(PreviewTest, ViewScaleScrollsToEveryEdgeOfThePage)
{
    struct Seen {
        double view;
        float x, y, shown_w, shown_h;
        std::string frame_corner;
    };
    std::vector<Seen> seen;
    toolkit.user = [&](FakePreviewWindow& w) {
        for (auto command : {Cmd::ZoomOut, Cmd::ActualSize, Cmd::ZoomIn, Cmd::ZoomIn}) {
            w.events.Command(command);
            w.scroll(C::HSCROL, 100);
            w.scroll(C::VSCROL, 100);
            const ControlRect data = w.geometry(C::DATA);
            std::string corner;
            for (const auto& line : w.canvas_->log())
                if (line.rfind("ColoredLine", 0) == 0)
                    corner = line;  // the right edge, drawn last
            seen.push_back({w.canvas_->view_scale, kt482::job().ScrollX, kt482::job().ScrollY,
                            static_cast<float>(data.width / w.canvas_->view_scale),
                            static_cast<float>(data.height / w.canvas_->view_scale), corner});
            w.scroll(C::HSCROL, 0);
            w.scroll(C::VSCROL, 0);
        }
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    ASSERT_EQ(seen.size(), 4u);
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.view);
        // The offset and the part shown add up to the page, to a point's rounding.
        EXPECT_NEAR(s.x + s.shown_w, 595, 0.5);
        EXPECT_NEAR(s.y + s.shown_h, 842, 0.5);
        EXPECT_GT(s.y, 0);
    }
    // At 200 % the canvas shows 185 × 93 points of the page from (410, 749);
    // the frame's right edge, 5 mm in, stands inside it, its bottom at 79.
    EXPECT_EQ(seen[3].view, 2.0);
    EXPECT_EQ(seen[3].x, 410);
    EXPECT_EQ(seen[3].frame_corner, "ColoredLine 171 -721 171 79 ff");
    EXPECT_EQ(kt482::job().Bairitu, 1.0f);
    EXPECT_TRUE(sink.messages.empty());
}

// What the print button prints does not depend on how the page was viewed.
TEST_F(PreviewTest, PrintAfterViewChangesIsThePrintAtActualSize)
{
    using Actions = std::function<void(FakePreviewWindow&)>;
    const std::pair<const char*, Actions> cases[] = {
        {"actual size", [](FakePreviewWindow&) {}},
        {"fit width", [](FakePreviewWindow& w) { w.events.Command(Cmd::FitWidth); }},
        {"fit page", [](FakePreviewWindow& w) { w.events.Command(Cmd::FitPage); }},
        {"zoomed in and scrolled",
         [](FakePreviewWindow& w) {
             w.events.Command(Cmd::ZoomIn);
             w.events.DATA_Wheel(0, kWheelNotch, true);
             w.scroll(C::VSCROL, 100);
         }},
    };
    std::vector<Lines> prints;
    for (const auto& [name, act] : cases) {
        toolkit.user = [&](FakePreviewWindow& w) {
            act(w);
            w.events.Print_Click();
        };
        job.V_Size_Set(9, 2);
        job.V_Preview(1, 2);
        ASSERT_TRUE(printers.opened) << name;
        prints.push_back(printers.opened->log);
        EXPECT_EQ(job.P_Bairitu(), 1.0f) << name;
    }
    for (size_t i = 1; i < prints.size(); ++i)
        EXPECT_EQ(prints[i], prints[0]) << cases[i].first;
    EXPECT_TRUE(sink.messages.empty());
}

TEST(PreviewView, FitZoomIsTheLargestWholePercentWithinTheLimits)
{
    struct Case {
        double room_w, room_h, page_w, page_h;
        int expected;
    };
    const Case cases[] = {
        {595, 0, 595, 0, 100},         // exactly the width
        {594.9, 0, 595, 0, 99},        // a hair short rounds down
        {370.8, 186, 595, 0, 62},      // width alone
        {370.8, 186, 595, 842, 22},    // the height decides
        {100, 100, 14400, 14400, 20},  // a huge page stops at 20 %
        {4000, 4000, 200, 200, 500},   // a tiny one at 500 %
        {-5, -5, 595, 842, 20},        // no room at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(fit_zoom(c.room_w, c.room_h, c.page_w, c.page_h), c.expected) << c.room_w << " " << c.page_w;
}

TEST(PreviewView, ZoomStepsFollowTheList)
{
    const std::tuple<double, int, double> cases[] = {
        {100, 1, 150}, {100, -1, 80}, {120, 1, 150}, {120, -1, 100}, {20, 1, 50},
        {500, -1, 200}, {200, 1, 200}, {50, -1, 50}, {100, 0, 100},
        // The zoom as the job keeps it: 0.8 and 0.75 in single precision.
        {0.8f * 100.0, -1, 75}, {0.8f * 100.0, 1, 100}, {0.75f * 100.0, -1, 50},
    };
    for (const auto& [from, direction, to] : cases)
        EXPECT_EQ(zoom_step(from, direction), to) << from << " " << direction;
}

// A notch of the wheel moves 48 points; at the end of the page a further
// notch goes on to the next page's top, and at the top back to the previous
// page's bottom.
TEST_F(PreviewTest, WheelAndArrowsScrollAndTurnPagesAtTheEnds)
{
    struct Seen {
        std::string page;
        float x, y;
        int bar;
    };
    std::vector<Seen> seen;
    toolkit.user = [&](FakePreviewWindow& w) {
        auto look = [&] {
            seen.push_back({w.text(C::CUR_PAGE), kt482::job().ScrollX, kt482::job().ScrollY,
                            w.scroll_values[C::VSCROL]});
        };
        w.events.DATA_Wheel(0, -kWheelNotch, false);
        look();
        w.events.Command(Cmd::ScrollDown);
        w.events.Command(Cmd::ScrollRight);
        look();
        w.events.DATA_Wheel(0, -20 * kWheelNotch, false);  // to the bottom
        look();
        w.events.DATA_Wheel(0, -kWheelNotch, false);  // on to page 2
        look();
        w.events.DATA_Wheel(0, kWheelNotch, false);  // back to page 1, at its bottom
        look();
        w.events.Command(Cmd::ScrollLeft);
        w.events.Command(Cmd::ScrollLeft);
        look();
    };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    // The canvas shows 370.8 × 200 of the 595 × 842 page: 224.2 and 642 do not fit.
    const std::vector<std::tuple<std::string, float, float, int>> expected = {
        {"   1", 0, 48, 7}, {"   1", 16, 64, 10}, {"   1", 16, 642, 100},
        {"   2", 16, 0, 0}, {"   1", 16, 642, 100}, {"   1", 0, 642, 100},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].page, std::get<0>(expected[i]));
        EXPECT_EQ(seen[i].x, std::get<1>(expected[i]));
        EXPECT_EQ(seen[i].y, std::get<2>(expected[i]));
        EXPECT_EQ(seen[i].bar, std::get<3>(expected[i]));
    }
    EXPECT_TRUE(sink.messages.empty());
}

// The print that Save as PDF writes is the one the print button makes, on
// the PDF printer for the file chosen; the printer chosen stays, and the
// window goes on previewing where it was.
TEST_F(PreviewTest, SaveAsPdfWritesWhatThePrintButtonPrints)
{
    job.W_Device("Office Laser");
    const Printer* chosen = kt482::job().PrinterObject.get();
    OutputTarget target_after_save = OutputTarget::None;
    float scroll_after_save = 0;
    toolkit.user = [&](FakePreviewWindow& w) {
        w.type_zoom("150");
        w.scroll(C::VSCROL, 50);
        w.pdf_file = "/out/invoice.pdf";
        w.events.Command(Cmd::SaveAsPdf);
        target_after_save = kt482::job().OutputTarget;
        scroll_after_save = kt482::job().ScrollY;
        EXPECT_EQ(kt482::job().PrinterObject.get(), chosen);
        EXPECT_FALSE(w.closed);
        w.events.Print_Click();
    };
    job.V_Size_Set(9, 1);
    job.V_Preview(2, 4);
    ASSERT_TRUE(printers.pdf_file);
    EXPECT_EQ(printers.pdf_file_path, "/out/invoice.pdf");
    EXPECT_EQ(window().file_requests, Lines{"KT482_Print.pdf"});
    EXPECT_EQ(target_after_save, OutputTarget::Preview);
    EXPECT_EQ(scroll_after_save, 321);
    // Pages 2 to 4 at 150 %, on the job's paper, then the document's end.
    EXPECT_EQ(printers.pdf_file->only("Print \"page"),
              (Lines{"Print \"page 2\" nl", "Print \"page 3\" nl", "Print \"page 4\" nl"}));
    EXPECT_EQ(printers.pdf_file->log.back(), "EndDoc");
    ASSERT_TRUE(printers.opened);
    EXPECT_EQ(printers.pdf_file->log, printers.opened->log);
    EXPECT_EQ(window().progress_log, (Lines{"1/3", "2/3", "3/3", "end", "1/3", "2/3", "3/3", "end"}));
    EXPECT_TRUE(sink.messages.empty());
}

// A save whose document cannot be finished is reported, drops what it has,
// and leaves the job as it was.
TEST_F(PreviewTest, SaveAsPdfThatFailsAtTheEndDropsItsDocument)
{
    printers.pdf_file_failing = "EndDoc";
    toolkit.user = [](FakePreviewWindow& w) {
        w.pdf_file = "/out/x.pdf";
        w.events.Command(Cmd::SaveAsPdf);
        EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Preview);
        EXPECT_EQ(kt482::job().PrinterObject, nullptr);
        EXPECT_FALSE(w.closed);
    };
    job.V_Size_Set(9, 1);
    job.V_Preview(1, 2);
    ASSERT_TRUE(printers.pdf_file);
    // The failed EndDoc is not logged; the document is dropped after it.
    const Lines& log = printers.pdf_file->log;
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"Print \"page 2\" nl", "AbortDoc"}));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : ZZ010_PREV : ZZ100_EndDoc");
}

TEST_F(PreviewTest, SaveAsPdfCancelledInTheFileDialogDoesNothing)
{
    toolkit.user = [](FakePreviewWindow& w) { w.events.Command(Cmd::SaveAsPdf); };
    job.V_Size_Set(9, 1);
    job.V_Preview();
    EXPECT_FALSE(printers.pdf_file);
    EXPECT_EQ(window().file_requests.size(), 1u);
    EXPECT_TRUE(window().progress_log.empty());
}

// Cancel stops after the page being drawn and drops the document: nothing is
// sent, and the window stays, previewing on.
TEST_F(PreviewTest, CancelledRunsDropTheirDocument)
{
    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save as PDF" : "print");
        toolkit.user = [&](FakePreviewWindow& w) {
            w.cancel_after = 2;
            w.pdf_file = "/out/x.pdf";
            w.events.Command(save ? Cmd::SaveAsPdf : Cmd::Print);
            EXPECT_FALSE(w.closed);
            EXPECT_EQ(kt482::job().OutputTarget, OutputTarget::Preview);
            w.events.Command(Cmd::NextPage);  // the canvas, not the printer, draws it
            w.events.Command(Cmd::Close);
        };
        job.V_Size_Set(9, 1);
        job.V_Preview();
        const auto& printer = save ? printers.pdf_file : printers.opened;
        ASSERT_TRUE(printer);
        Lines document;
        for (const auto& line : printer->log)
            if (line.rfind("Print \"page", 0) == 0 || line == "NewPage" || line == "EndDoc" || line == "AbortDoc")
                document.push_back(line);
        EXPECT_EQ(document, (Lines{"Print \"page 1\" nl", "NewPage", "Print \"page 2\" nl", "AbortDoc"}));
        EXPECT_EQ(window().progress_log, (Lines{"1/5", "2/5", "end"}));
        EXPECT_EQ(drawn_pages(), (Lines{"page 1", "page 2"}));
        EXPECT_TRUE(sink.messages.empty());
        printers.opened.reset();
        printers.pdf_file.reset();
    }
}

// The window opens wide enough for the page at 100 % and as high as the
// screen allows, never below its first size.
TEST_F(PreviewTest, WindowOpensAtTheSizeOfThePageWithinTheScreen)
{
    struct Case {
        int16_t paper;
        float height_in, width_in;
        OuterSize screen;
        OuterSize expected;
    };
    const Case cases[] = {
        // A4 portrait on 1280 × 1024 pixels: (595 + 5.4 + 13 + 8 + 1) × 20
        // across, the screen's height down.
        {9, 0, 0, {19200, 15360}, {12448, 15360}},
        // 3 × 3 inches: the first width, and 216 + 25 + 15 + 20 + 1 points down.
        {256, 3, 3, {19200, 15360}, {7944, 5540}},
        // A small screen keeps the first size too.
        {9, 0, 0, {6000, 3000}, {7944, 4920}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paper);
        OuterSize opened;
        toolkit.user = [&](FakePreviewWindow& w) { opened = {w.outer_width(), w.outer_height()}; };
        job.V_Size_Set(c.paper, 1, c.height_in, c.width_in);
        window().available = c.screen;
        job.V_Preview();
        EXPECT_EQ(opened.width, c.expected.width);
        EXPECT_EQ(opened.height, c.expected.height);
    }
}

class PrinterDialogTest : public SpoolTest {
protected:
    FakePrintDialog dialog;
    ScopedServices dialog_service{nullptr, nullptr, nullptr, nullptr, &dialog};
    KT482_Print job;
};

TEST_F(PrinterDialogTest, OpensOnTheStoredSettingsAndTakesAUserDefinedSize)
{
    job.W_PrtDialog();
    ASSERT_EQ(dialog.requests.size(), 1u);
    const PrintDialogRequest& first = dialog.requests[0];
    EXPECT_EQ(first.device_name, "Office Laser");
    EXPECT_EQ(first.driver_name, "Generic PCL");
    EXPECT_EQ(first.paper_size, 9);
    EXPECT_EQ(first.orientation, 1);
    EXPECT_EQ(first.flags, 0x8004Cu);

    dialog.answer = {true, "Office Laser", 256, 2, 1, 1, 792, 612, "", ""};
    EXPECT_EQ(job.W_PrtDialog(0, "", 256, 1, 5, 4), 1);
    EXPECT_EQ(dialog.requests[1].page_height, 360.0f);  // 5 inches
    EXPECT_EQ(dialog.requests[1].page_width, 288.0f);
    EXPECT_EQ(job.P_PaperSize(), 256);
    EXPECT_EQ(kt482::job().PageHeight, 792.0f);
    EXPECT_EQ(kt482::job().PageWidth, 612.0f);
    EXPECT_EQ(kt482::job().DeviceName, "OFFICE LASER");
    // Names are compared with their letter case: the upper-cased name is
    // taken for another printer, whose driver and port are read afresh.
    EXPECT_EQ(kt482::job().DriverName, "driver of Office Laser");
    EXPECT_EQ(printers.opened->only("Page"), (Lines{"PageHeight 15840", "PageWidth 12240"}));
}

TEST_F(PrinterDialogTest, FailureBeforeTheDialogClosedGivesZero)
{
    struct FailingDialog : PrintDialog {
        Result<PrintDialogResult> run(const PrintDialogRequest&) override
        {
            return Failure(ErrorNumber::InvalidCall, "The printer settings dialog needs a display");
        }
    } failing;
    ScopedServices no_display(nullptr, nullptr, nullptr, nullptr, &failing);
    EXPECT_EQ(job.W_PrtDialog(), 0);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : ZZ110_ShowPrint");
    EXPECT_EQ(sink.messages[0].text, "The printer settings dialog needs a display");
}

}  // namespace
}  // namespace kt482::test
