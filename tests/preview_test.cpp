#include <gtest/gtest.h>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "preview/preview_state.h"
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
    EXPECT_EQ(kt482::job().OutputTarget, 2);
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
        EXPECT_EQ(kt482::job().OutputTarget, 2);
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
    EXPECT_EQ(kt482::job().OutputTarget, 1);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PreviewTest, SettingsButtonRedrawsOnTheChosenPaper)
{
    toolkit.user = [&](FakePreviewWindow& w) {
        w.events.Settings_Click();  // cancelled: redrawn all the same
        dialog.answer = {true, "Office Laser", 8, 1, 2, 1, 0, 0};
        w.events.Settings_Click();
        dialog.answer = {true, "Office Laser", 24, 1, 1, 1, 0, 0};
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
    EXPECT_EQ(kt482::job().OutputTarget, 1);

    dialog.answer = {true, "kt482 pdf", 9, 1, 2, 2, 0, 0};
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

    dialog.answer = {true, "Office Laser", 256, 2, 1, 1, 792, 612};
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
