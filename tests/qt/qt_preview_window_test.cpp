// The preview window on Qt, offscreen, with an events object that records
// what the window calls and reacts as the preview's own handlers do: Enter
// moves the focus on, and the close button closes.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>
#include <QWheelEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "support/fake_server.h"
#include "support/file_dialog_answer.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;
using C = PreviewControl;

class Recorder final : public PreviewWindowEvents {
public:
    std::vector<std::string> calls;
    PreviewWindow* window = nullptr;
    std::function<void()> onResize;  // what Form_Resize does besides recording
    std::function<void()> onPageBoxFocus;  // what CUR_PAGE_GotFocus does besides recording
    bool keepPageFocus = false;      // the page box refuses to be left
    int depth = 0;
    int maxDepth = 0;

    void Attach(PreviewWindow& w) override
    {
        window = &w;
        record("Attach");
    }
    void Form_Load() override { record("Form_Load"); }
    void Form_Resize() override
    {
        record("Form_Resize");
        maxDepth = std::max(maxDepth, ++depth);
        if (onResize)
            onResize();
        --depth;
    }
    void TOP_Click() override { record("TOP_Click"); }
    void PREV_Click() override { record("PREV_Click"); }
    void NEXT_Click() override { record("NEXT_Click"); }
    void BOTOM_Click() override { record("BOTOM_Click"); }
    void Print_Click() override { record("Print_Click"); }
    void Close_Click() override
    {
        record("Close_Click");
        window->close();
    }
    void Settings_Click() override { record("Settings_Click"); }
    void CUR_PAGE_GotFocus() override
    {
        record("CUR_PAGE_GotFocus");
        if (onPageBoxFocus)
            onPageBoxFocus();
    }
    void CUR_PAGE_KeyPress(int key) override { keyPress("CUR_PAGE", key); }
    void CUR_PAGE_LostFocus() override
    {
        record("CUR_PAGE_LostFocus");
        if (keepPageFocus)
            window->set_focus(C::CUR_PAGE);
    }
    void HSCROL_Change() override { record("HSCROL_Change " + std::to_string(window->scroll_value(C::HSCROL))); }
    void VSCROL_Change() override { record("VSCROL_Change " + std::to_string(window->scroll_value(C::VSCROL))); }
    void ZOOM_Click() override { record("ZOOM_Click " + window->text(C::ZOOM)); }
    void ZOOM_KeyPress(int key) override { keyPress("ZOOM", key); }
    void ZOOM_LostFocus() override { record("ZOOM_LostFocus " + window->text(C::ZOOM)); }
    void Command(PreviewCommand command) override
    {
        record(std::string("Command ") + commandName(command));
        if (command == PreviewCommand::Close)
            window->close();
    }
    void DATA_Wheel(int dx, int dy, bool zoom) override
    {
        record("DATA_Wheel " + std::to_string(dx) + " " + std::to_string(dy) + (zoom ? " zoom" : ""));
    }

    static const char* commandName(PreviewCommand command)
    {
        static const char* const names[] = {"FirstPage",  "PreviousPage", "NextPage",  "LastPage", "ScrollUp",
                                            "ScrollDown", "ScrollLeft",   "ScrollRight", "ZoomIn", "ZoomOut",
                                            "ActualSize", "FitWidth",     "FitPage",   "Print",    "SaveAsPdf",
                                            "Close"};
        return names[static_cast<int>(command)];
    }

private:
    void record(std::string call) { calls.push_back(std::move(call)); }
    // Enter moves on, as in the preview.
    void keyPress(const char* box, int key)
    {
        record(std::string(box) + "_KeyPress " + std::to_string(key));
        if (key == kKeyEnter)
            window->set_focus(C::Print);
    }
};

using Calls = std::vector<std::string>;

class QtPreviewWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ensure_qt_application();
        auto made = make_qt_window_toolkit()->create_preview_window(events);
        ASSERT_TRUE(made);
        window = std::move(*made);
        qt = dynamic_cast<QtPreviewWindow*>(window.get());
        ASSERT_NE(qt, nullptr);
        ASSERT_EQ(events.window, window.get());
    }

    // Shows the window (not modally) and waits until it has the focus, so
    // that Qt delivers focus moves as it would to a user's window.
    void show()
    {
        qt->dialog()->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(qt->dialog()));
        events.calls.clear();
    }

    template <class W = QWidget>
    W* widget(C control)
    {
        return qobject_cast<W*>(qt->widget(control));
    }

    Recorder events;
    std::unique_ptr<PreviewWindow> window;
    QtPreviewWindow* qt = nullptr;
};

struct Expected {
    C control;
    const char* text;
    ControlRect rect;
};

const Expected kInitial[] = {
    {C::CUR_PAGE, "ZZZ9", {45, 226, 25, 14}},         {C::VSCROL, "", {378, 24, 13, 201.6f}},
    {C::Settings, "プリンタ設定", {75, 0, 65.4f, 24.75f}}, {C::HSCROL, "", {145, 226, 232.2f, 15}},
    {C::DATA, "", {5.4f, 25, 370.8f, 200}},            {C::BOTOM, "＞|", {125, 226, 20, 15}},
    {C::NEXT, "＞", {105, 226, 20, 15}},               {C::PREV, "＜", {25, 226, 20, 15}},
    {C::TOP, "|＜", {5, 226, 20, 15}},                 {C::ZOOM, "100", {144, 5.4f, 38.4f, 13.8f}},
    {C::Close, "終 了", {201, 0, 63.6f, 24.75f}},       {C::Print, "印　刷", {6, 0, 65.4f, 24.75f}},
    {C::LAST_PAGE, "/ ZZZ9", {70, 226, 34.8f, 13.8f}}, {C::Label3, "％", {183, 7.8f, 10.8f, 13.2f}},
};

TEST_F(QtPreviewWindowTest, CreationLoadsOnceAndResizesWithTheControlsInPlace)
{
    EXPECT_EQ(events.calls, (Calls{"Attach", "Form_Load", "Form_Resize"}));
    EXPECT_EQ(qt->dialog()->windowTitle(), "Preview");
    EXPECT_TRUE(qt->dialog()->isModal());
    EXPECT_EQ(qt->dialog()->parentWidget(), nullptr);
    // The client area of 397.2 × 246 points and the frame's 8 × 20.
    EXPECT_EQ(window->outer_width(), 7944 + 160);
    EXPECT_EQ(window->outer_height(), 4920 + 400);
    EXPECT_EQ(qt->dialog()->size(), QSize(530, 328));

    for (const Expected& e : kInitial) {
        SCOPED_TRACE(e.text);
        EXPECT_EQ(window->text(e.control), e.text);
        const ControlRect r = window->geometry(e.control);
        EXPECT_EQ(r.left, e.rect.left);
        EXPECT_EQ(r.top, e.rect.top);
        EXPECT_EQ(r.width, e.rect.width);
        EXPECT_EQ(r.height, e.rect.height);
    }
    // Edges round to pixels at 96/72 per point: 6 → 8, 6 + 65.4 → 95.
    EXPECT_EQ(qt->widget(C::Print)->geometry(), QRect(8, 0, 87, 33));
    EXPECT_EQ(qt->widget(C::DATA)->geometry(), QRect(7, 33, 495, 267));

    EXPECT_EQ(widget<QLineEdit>(C::CUR_PAGE)->maxLength(), 4);
    auto* zoom = widget<QComboBox>(C::ZOOM);
    ASSERT_NE(zoom, nullptr);
    EXPECT_TRUE(zoom->isEditable());
    QStringList choices;
    for (int i = 0; i < zoom->count(); ++i)
        choices << zoom->itemText(i);
    EXPECT_EQ(choices, QStringList({"50", "75", "80", "100", "150", "200"}));
    EXPECT_EQ(widget<QScrollBar>(C::VSCROL)->orientation(), Qt::Vertical);

    const QFontInfo font(qt->widget(C::Settings)->font());
    EXPECT_EQ(font.family(), "IPAGothic");
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_EQ(qt->focused(), C::Print);
}

TEST_F(QtPreviewWindowTest, TabGoesThroughTheControlsInTheirTabOrder)
{
    const C expected[] = {C::Print, C::Settings, C::ZOOM,   C::Close,  C::TOP,    C::PREV,
                          C::NEXT,  C::BOTOM,    C::DATA,   C::HSCROL, C::VSCROL, C::CUR_PAGE};
    std::vector<C> order;
    QWidget* w = qt->widget(C::Print);
    for (int step = 0; step < 40 && order.size() < std::size(expected); ++step, w = w->nextInFocusChain())
        for (C c : expected)
            if (qt->widget(c) == w)
                order.push_back(c);
    EXPECT_EQ(order, std::vector<C>(std::begin(expected), std::end(expected)));
}

TEST_F(QtPreviewWindowTest, EachButtonCallsItsHandler)
{
    show();
    const std::pair<C, const char*> buttons[] = {
        {C::TOP, "TOP_Click"},     {C::PREV, "PREV_Click"},   {C::NEXT, "NEXT_Click"},        {C::BOTOM, "BOTOM_Click"},
        {C::Print, "Print_Click"}, {C::Close, "Close_Click"}, {C::Settings, "Settings_Click"},
    };
    for (const auto& [control, handler] : buttons) {
        events.calls.clear();
        QTest::mouseClick(qt->widget(control), Qt::LeftButton);
        EXPECT_EQ(events.calls, Calls{handler});
    }
}

TEST_F(QtPreviewWindowTest, PageBoxKeysReachTheHandlerAndTheBoxAndEnterMovesOn)
{
    show();
    window->set_focus(C::CUR_PAGE);
    EXPECT_EQ(events.calls, Calls{"CUR_PAGE_GotFocus"});
    EXPECT_EQ(QApplication::focusWidget(), qt->widget(C::CUR_PAGE));

    auto* box = widget<QLineEdit>(C::CUR_PAGE);
    window->select_text(C::CUR_PAGE, 0, 4);
    QTest::keyClick(box, Qt::Key_3);
    EXPECT_EQ(window->text(C::CUR_PAGE), "3");
    // Full-width digits come from an input method.
    QInputMethodEvent typed;
    typed.setCommitString(QString::fromUtf8("２"));
    QApplication::sendEvent(box, &typed);
    EXPECT_EQ(window->text(C::CUR_PAGE), "3２");

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(events.calls, (Calls{"CUR_PAGE_GotFocus", "CUR_PAGE_KeyPress 51", "CUR_PAGE_KeyPress 65298",
                                   "CUR_PAGE_KeyPress 13", "CUR_PAGE_LostFocus"}));
    EXPECT_EQ(qt->focused(), C::Print);
    EXPECT_EQ(QApplication::focusWidget(), qt->widget(C::Print));
    EXPECT_TRUE(qt->dialog()->isVisible()) << "Enter must not close the window";
}

TEST_F(QtPreviewWindowTest, FocusMovesRunTheirHandlersEvenInAHiddenWindow)
{
    ASSERT_FALSE(qt->dialog()->isVisible());
    events.calls.clear();
    window->set_focus(C::CUR_PAGE);
    window->set_focus(C::CUR_PAGE);
    window->set_focus(C::ZOOM);
    window->set_focus(C::LAST_PAGE);  // a label takes no focus
    window->set_focus(C::Close);
    EXPECT_EQ(events.calls, (Calls{"CUR_PAGE_GotFocus", "CUR_PAGE_LostFocus", "ZOOM_LostFocus 100"}));
    EXPECT_EQ(qt->focused(), C::Close);
}

// The page box selects its text when it gets the focus; a click into it must
// keep that selection, so that typing replaces the full box.
TEST_F(QtPreviewWindowTest, ClickingIntoThePageBoxKeepsItsTextSelected)
{
    show();
    window->set_text(C::CUR_PAGE, "   1");
    events.onPageBoxFocus = [&] { window->select_text(C::CUR_PAGE, 0, 4); };
    auto* box = widget<QLineEdit>(C::CUR_PAGE);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 2, box->height() / 2));
    QTest::keyClick(box, Qt::Key_2);
    EXPECT_EQ(window->text(C::CUR_PAGE), "2");
}

// The user clicking a button leaves the page box before the click arrives.
TEST_F(QtPreviewWindowTest, ClickingAwayFromThePageBoxLosesItsFocusFirst)
{
    show();
    QTest::mouseClick(qt->widget(C::CUR_PAGE), Qt::LeftButton);
    QTest::mouseClick(qt->widget(C::NEXT), Qt::LeftButton);
    EXPECT_EQ(events.calls, (Calls{"CUR_PAGE_GotFocus", "CUR_PAGE_LostFocus", "NEXT_Click"}));
}

// A lost-focus handler that sends the focus back wins over the move that
// caused it.
TEST_F(QtPreviewWindowTest, LostFocusHandlerCanKeepTheFocus)
{
    show();
    events.keepPageFocus = true;
    window->set_focus(C::CUR_PAGE);
    window->set_focus(C::Print);
    EXPECT_EQ(qt->focused(), C::CUR_PAGE);
    EXPECT_EQ(QApplication::focusWidget(), qt->widget(C::CUR_PAGE));
    EXPECT_EQ(events.calls, (Calls{"CUR_PAGE_GotFocus", "CUR_PAGE_LostFocus", "CUR_PAGE_GotFocus"}));
}

TEST_F(QtPreviewWindowTest, ZoomBoxEnterAndLeavingCallTheirHandlers)
{
    show();
    window->set_focus(C::ZOOM);
    auto* zoom = widget<QComboBox>(C::ZOOM);
    EXPECT_EQ(QApplication::focusWidget(), zoom);
    zoom->lineEdit()->selectAll();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_5);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(events.calls, (Calls{"ZOOM_KeyPress 49", "ZOOM_KeyPress 50", "ZOOM_KeyPress 53", "ZOOM_KeyPress 13",
                                   "ZOOM_LostFocus 125"}));
    // Typed text is neither completed from the list nor added to it.
    EXPECT_EQ(zoom->count(), 6);
    EXPECT_TRUE(qt->dialog()->isVisible());
}

TEST_F(QtPreviewWindowTest, ChoosingFromTheZoomListClicks)
{
    show();
    auto* zoom = widget<QComboBox>(C::ZOOM);
    zoom->showPopup();
    QAbstractItemView* list = zoom->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect item = list->visualRect(list->model()->index(4, 0));
    // The list ignores a release too soon after it opened (the end of the
    // click that opened it).
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(window->text(C::ZOOM), "150");
    EXPECT_EQ(events.calls, Calls{"ZOOM_Click 150"});

    // Text set by the program is no choice.
    events.calls.clear();
    window->set_text(C::ZOOM, "80");
    EXPECT_EQ(window->text(C::ZOOM), "80");
    EXPECT_TRUE(events.calls.empty());
}

TEST_F(QtPreviewWindowTest, ScrollBarsReportTheirValueChanges)
{
    window->set_scroll_range(C::HSCROL, 0, 100, 10, 50);
    window->set_scroll_range(C::VSCROL, 0, 100, 10, 50);
    show();
    QTest::keyClick(qt->widget(C::HSCROL), Qt::Key_PageDown);
    widget<QScrollBar>(C::HSCROL)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    widget<QScrollBar>(C::VSCROL)->setValue(100);
    EXPECT_EQ(events.calls, (Calls{"HSCROL_Change 50", "HSCROL_Change 60", "VSCROL_Change 100"}));
    EXPECT_EQ(window->scroll_value(C::HSCROL), 60);
}

TEST_F(QtPreviewWindowTest, ResizingRunsFormResizeAndTheOuterSizeReadsBackInTwips)
{
    show();
    qt->dialog()->resize(700, 400);
    QTest::qWait(20);
    EXPECT_EQ(events.calls, Calls{"Form_Resize"});
    EXPECT_EQ(window->outer_width(), 700 * 15 + 160);
    EXPECT_EQ(window->outer_height(), 400 * 15 + 400);

    events.calls.clear();
    window->set_outer_width(9001);
    window->set_outer_height(5003);
    EXPECT_EQ(events.calls, (Calls{"Form_Resize", "Form_Resize"}));
    EXPECT_EQ(window->outer_width(), 9001);
    EXPECT_EQ(window->outer_height(), 5003);
    // (9001 - 160) / 15 and (5003 - 400) / 15 pixels.
    EXPECT_EQ(qt->dialog()->size(), QSize(589, 307));

    events.calls.clear();
    window->set_outer_width(9001);
    QTest::qWait(20);
    EXPECT_TRUE(events.calls.empty()) << "no change, no resize";
}

// A resize handler that enforces a minimum sees the size it set in a resize
// of its own, after it returned.
TEST_F(QtPreviewWindowTest, SizeSetInFormResizeResizesAgainAfterIt)
{
    events.onResize = [&] {
        if (window->outer_width() < 5500)
            window->set_outer_width(5500);
        else if (window->outer_height() < 2000)
            window->set_outer_height(2000);
    };
    events.calls.clear();
    window->set_outer_width(3000);
    EXPECT_EQ(events.calls, (Calls{"Form_Resize", "Form_Resize"}));
    EXPECT_EQ(events.maxDepth, 1);
    EXPECT_EQ(window->outer_width(), 5500);

    events.calls.clear();
    window->set_outer_height(100);
    EXPECT_EQ(events.calls, (Calls{"Form_Resize", "Form_Resize"}));
    EXPECT_EQ(window->outer_height(), 2000);
    // The frame's allowance off: (5500 - 160) / 15 and (2000 - 400) / 15.
    EXPECT_EQ(qt->dialog()->size(), QSize(356, 107));
}

TEST_F(QtPreviewWindowTest, ResizeHandlerThatNeverSettlesIsStopped)
{
    events.onResize = [&] { window->set_outer_width(window->outer_width() + 15); };
    events.calls.clear();
    window->set_outer_width(9000);
    EXPECT_GT(events.calls.size(), 2u);
    EXPECT_LT(events.calls.size(), 20u);
    EXPECT_EQ(events.maxDepth, 1);
}

TEST_F(QtPreviewWindowTest, PositionsReadBackAsSetAndWidgetsGetWholePixels)
{
    window->set_left(C::HSCROL, 150.3f);
    window->set_top(C::HSCROL, 230.1f);
    window->set_width(C::HSCROL, 100.2f);
    window->set_height(C::HSCROL, 14.9f);
    const ControlRect r = window->geometry(C::HSCROL);
    EXPECT_EQ(r.left, 150.3f);
    EXPECT_EQ(r.top, 230.1f);
    EXPECT_EQ(r.width, 100.2f);
    EXPECT_EQ(r.height, 14.9f);
    // 150.3 → 200.4, 250.5 → 334; 230.1 → 306.8, 245 → 326.7.
    EXPECT_EQ(qt->widget(C::HSCROL)->geometry(), QRect(200, 307, 134, 20));

    // The canvas control's size is the canvas's extent, both ways.
    window->set_width(C::DATA, 300.5f);
    EXPECT_EQ(window->canvas()->ScaleWidth(), 300.5f);
    ASSERT_TRUE(window->canvas()->ScaleHeight(150));
    EXPECT_EQ(window->geometry(C::DATA).height, 150.0f);
    EXPECT_EQ(qt->widget(C::DATA)->geometry(), QRect(7, 33, 401, 200));
}

TEST_F(QtPreviewWindowTest, BusyPointerIsBalanced)
{
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    window->set_busy(true);
    window->set_busy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window->set_busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    window->set_busy(false);

    window->set_busy(true);
    window.reset();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "a window going away while busy restores the pointer";
}

// --- keys, wheel, context menu, progress and the file dialog

struct KeyCase {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    C focus;
    const char* expected;  // the call, or "" when the focused control keeps the key
};

// Window shortcuts work wherever the focus is, but a key the focused control
// uses itself stays with it.
TEST_F(QtPreviewWindowTest, ShortcutsRunTheirCommandsUnlessTheFocusedControlUsesTheKey)
{
    const KeyCase cases[] = {
        {Qt::Key_PageDown, Qt::NoModifier, C::Print, "Command NextPage"},
        {Qt::Key_PageUp, Qt::NoModifier, C::Print, "Command PreviousPage"},
        {Qt::Key_Home, Qt::ControlModifier, C::Print, "Command FirstPage"},
        {Qt::Key_End, Qt::ControlModifier, C::Print, "Command LastPage"},
        {Qt::Key_Up, Qt::NoModifier, C::Print, "Command ScrollUp"},
        {Qt::Key_Down, Qt::NoModifier, C::Print, "Command ScrollDown"},
        {Qt::Key_Left, Qt::NoModifier, C::NEXT, "Command ScrollLeft"},
        {Qt::Key_Right, Qt::NoModifier, C::DATA, "Command ScrollRight"},
        {Qt::Key_Plus, Qt::ControlModifier, C::Print, "Command ZoomIn"},
        {Qt::Key_Equal, Qt::ControlModifier, C::Print, "Command ZoomIn"},
        {Qt::Key_Minus, Qt::ControlModifier, C::Print, "Command ZoomOut"},
        {Qt::Key_0, Qt::ControlModifier, C::Print, "Command ActualSize"},
        {Qt::Key_P, Qt::ControlModifier, C::Print, "Command Print"},
        {Qt::Key_PageDown, Qt::NoModifier, C::CUR_PAGE, "Command NextPage"},
        {Qt::Key_Left, Qt::NoModifier, C::CUR_PAGE, ""},
        {Qt::Key_Home, Qt::NoModifier, C::CUR_PAGE, ""},
        {Qt::Key_Down, Qt::NoModifier, C::ZOOM, ""},
        {Qt::Key_PageDown, Qt::NoModifier, C::ZOOM, ""},
        {Qt::Key_Minus, Qt::ControlModifier, C::ZOOM, "Command ZoomOut"},
        {Qt::Key_PageDown, Qt::NoModifier, C::VSCROL, ""},
        {Qt::Key_Escape, Qt::NoModifier, C::ZOOM, "Command Close"},
    };
    show();
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString() + " in control "
                     + std::to_string(static_cast<int>(c.focus)));
        if (!qt->dialog()->isVisible())
            show();
        window->set_focus(c.focus);
        events.calls.clear();
        QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);
        std::vector<std::string> commands;
        for (const std::string& call : events.calls)
            if (call.starts_with("Command") || call.starts_with("DATA"))
                commands.push_back(call);
        EXPECT_EQ(commands, *c.expected ? Calls{c.expected} : Calls{});
    }
    EXPECT_FALSE(qt->dialog()->isVisible()) << "Escape closed the window";
}

TEST_F(QtPreviewWindowTest, WheelOverTheCanvasAndTheBarsReportsItsTurnAndCtrl)
{
    show();
    QWidget* canvas = qt->widget(C::DATA);
    const QPointF at(20, 20);
    for (const auto modifiers : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        QWheelEvent turn(at, canvas->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, modifiers,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &turn);
    }
    // Over the bars: the same turn, across for the horizontal one; the
    // bars themselves do not move.
    for (C bar : {C::VSCROL, C::HSCROL}) {
        QWidget* w = qt->widget(bar);
        QWheelEvent turn(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &turn);
        EXPECT_EQ(window->scroll_value(bar), 0);
    }
    EXPECT_EQ(events.calls,
              (Calls{"DATA_Wheel 0 -120", "DATA_Wheel 0 -120 zoom", "DATA_Wheel 0 -120", "DATA_Wheel -120 0"}));
}

TEST_F(QtPreviewWindowTest, CanvasContextMenuOffersTheFitsAndSavingAsPdf)
{
    show();
    QMenu* menu = qt->contextMenu();
    ASSERT_NE(menu, nullptr);
    QTimer::singleShot(0, menu, [menu] {
        EXPECT_TRUE(menu->isVisible());
        menu->close();
    });
    emit qt->widget(C::DATA)->customContextMenuRequested(QPoint(30, 30));
    QTest::qWait(20);

    Calls texts;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        texts.push_back(action->text().toStdString());
        action->trigger();
    }
    EXPECT_EQ(texts, (Calls{"幅に合わせる", "ページ全体", "PDFに保存…"}));
    EXPECT_EQ(events.calls, (Calls{"Command FitWidth", "Command FitPage", "Command SaveAsPdf"}));
}

TEST_F(QtPreviewWindowTest, ScrollValueShownWithoutAChangeEvent)
{
    window->set_scroll_range(C::VSCROL, 0, 100, 10, 50);
    events.calls.clear();
    window->show_scroll_value(C::VSCROL, 37);
    EXPECT_EQ(window->scroll_value(C::VSCROL), 37);
    EXPECT_TRUE(events.calls.empty());
}

TEST_F(QtPreviewWindowTest, AvailableSizeIsTheScreensAreaInTwips)
{
    const QSize area = qt->dialog()->screen()->availableGeometry().size();
    const OuterSize available = window->available_outer_size();
    EXPECT_EQ(available.width, area.width() * 15);
    EXPECT_EQ(available.height, area.height() * 15);
}

class QtPreviewProgress : public QtPreviewWindowTest {
protected:
    void TearDown() override { set_progress_delay(500); }
};

TEST_F(QtPreviewProgress, ShowsThePagesAndReportsCancel)
{
    show();
    set_progress_delay(0);
    EXPECT_TRUE(window->show_progress(1, 3));
    QProgressDialog* progress = qt->progressDialog();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->labelText(), QString::fromUtf8("印刷中… 1 / 3 ページ"));
    EXPECT_EQ(progress->value(), 1);
    progress->cancel();
    EXPECT_FALSE(window->show_progress(2, 3));
    window->end_progress();
    EXPECT_EQ(qt->progressDialog(), nullptr);

    // A quick run shows nothing.
    set_progress_delay(500);
    EXPECT_TRUE(window->show_progress(1, 2));
    EXPECT_FALSE(qt->progressDialog()->isVisible());
    window->end_progress();
}

TEST_F(QtPreviewWindowTest, FileDialogGivesThePathChosenWithItsSuffix)
{
    test::TempFolder temp;
    const std::filesystem::path folder = temp.path();
    show();
    test::answer_file_dialog(QString::fromStdString((folder / "請求書").string()));
    EXPECT_EQ(window->choose_pdf_file("KT482_Print.pdf"), (folder / "請求書.pdf").string());
    test::answer_file_dialog({});
    EXPECT_EQ(window->choose_pdf_file("KT482_Print.pdf"), "");
}

// --- the canvas

// Bounding box and count of the pixels of one colour.
struct Found {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
};

Found find(const QImage& image, QRgb colour)
{
    Found f;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                f = {std::min(f.left, x), std::min(f.top, y), std::max(f.right, x), std::max(f.bottom, y), f.count + 1};
    return f;
}

bool allOf(const QImage& image, QRgb colour)
{
    return find(image, colour).count == image.width() * image.height();
}

constexpr QRgb kBlue = 0x0000FF;

TEST_F(QtPreviewWindowTest, CanvasKeepsTheLinesDrawnAndShowsThem)
{
    auto* canvas = dynamic_cast<QtCanvas*>(window->canvas().get());
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->ScaleWidth(), 370.8f);
    EXPECT_EQ(canvas->image().format(), QImage::Format_RGB32);
    EXPECT_EQ(canvas->image().size(), QSize(495, 267));
    const QRgb background = canvas->background().rgb();
    EXPECT_TRUE(allOf(canvas->image(), background));

    ASSERT_TRUE(canvas->DrawMode(kDrawModeBlack));
    // 10..60 points across at 20 points down: pixels 13..80 on row 26 or 27.
    ASSERT_TRUE(canvas->ColoredLine(10, 20, 60, 20, kBlue));
    const Found line = find(canvas->image(), kBlue);
    EXPECT_EQ(line.top, line.bottom);
    EXPECT_GE(line.top, 26);
    EXPECT_LE(line.top, 27);
    EXPECT_NEAR(line.left, 13, 1);
    EXPECT_NEAR(line.right, 80, 1);
    EXPECT_EQ(line.count, line.right - line.left + 1);
    // The colour was for that line only: the draw mode still rules.
    EXPECT_EQ(canvas->DrawMode(), kDrawModeBlack);
    ASSERT_TRUE(canvas->Line(10, 40, 60, 40));
    EXPECT_GT(find(canvas->image(), 0x000000).count, 60);

    // The widget shows the image from its top left corner.
    const QImage shown = qt->widget(C::DATA)->grab().toImage();
    const Found onScreen = find(shown, kBlue);
    EXPECT_EQ(onScreen.top, line.top);
    EXPECT_EQ(onScreen.left, line.left);

    ASSERT_TRUE(canvas->Cls());
    EXPECT_TRUE(allOf(canvas->image(), background));
}

// The image grows with the extent up to what the desktop could show, and
// keeps what it has; a 200-inch page costs no more than the screen.
TEST_F(QtPreviewWindowTest, CanvasGrowsForALargerExtentUpToTheDesktop)
{
    auto* canvas = dynamic_cast<QtCanvas*>(window->canvas().get());
    const qreal ratio = canvas->devicePixelRatio();
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize() * ratio;
    ASSERT_GE(desktop.width(), 495);
    ASSERT_GE(desktop.height(), 267);
    ASSERT_TRUE(canvas->ColoredLine(10, 20, 60, 20, kBlue));
    const int before = find(canvas->image(), kBlue).count;

    for (const float points : {400.0f, 14400.0f}) {
        SCOPED_TRACE(points);
        const QSize had = canvas->image().size();
        ASSERT_TRUE(canvas->ScaleWidth(points));
        ASSERT_TRUE(canvas->ScaleHeight(points));
        EXPECT_EQ(canvas->ScaleWidth(), points) << "the extent is the extent asked";
        const int wanted = static_cast<int>(std::ceil(points * 96 / 72 * ratio - 1e-6));
        EXPECT_EQ(canvas->image().width(), std::min(std::max(wanted, had.width()), desktop.width()));
        EXPECT_EQ(canvas->image().height(), std::min(std::max(wanted, had.height()), desktop.height()));
        EXPECT_EQ(find(canvas->image(), kBlue).count, before) << "what was drawn stays";
    }
    EXPECT_LE(canvas->image().sizeInBytes(), qsizetype(desktop.width()) * desktop.height() * 4);
    // Drawing far beyond the image is clipped, not a failure; within it, it shows.
    ASSERT_TRUE(canvas->ColoredLine(10000, 10000, 12000, 10000, kBlue));
    ASSERT_TRUE(canvas->ColoredLine(100, 150, 160, 150, kBlue));
    EXPECT_NEAR(find(canvas->image(), kBlue).bottom, 150 * 96 / 72 * ratio, 1.5 * ratio);

    // Back to the control's size: the image stays for a later, larger extent.
    const QSize grown = canvas->image().size();
    ASSERT_TRUE(canvas->ScaleWidth(370.8f));
    ASSERT_TRUE(canvas->ScaleHeight(200));
    EXPECT_EQ(canvas->image().size(), grown);
}

// The canvas's pixels follow the screen's density, so that the page stays
// sharp on a high-density screen (ctest runs this with QT_SCALE_FACTOR=2
// as well).
TEST_F(QtPreviewWindowTest, CanvasHasTheDensityOfTheWindowsScreen)
{
    auto* canvas = dynamic_cast<QtCanvas*>(window->canvas().get());
    const qreal ratio = qt->dialog()->devicePixelRatioF();
    if (const char* factor = std::getenv("QT_SCALE_FACTOR")) {
        EXPECT_EQ(ratio, std::atof(factor));
    }
    EXPECT_EQ(canvas->devicePixelRatio(), ratio);
    EXPECT_EQ(canvas->image().devicePixelRatio(), ratio);
    const int desktop = static_cast<int>(std::ceil(QGuiApplication::primaryScreen()->virtualSize().width() * ratio));
    EXPECT_EQ(canvas->image().width(), std::min(desktop, static_cast<int>(std::ceil(370.8 * 96 / 72 * ratio - 1e-6))));
    // A one-pixel line is at most one pixel of the window thick, in solid
    // device pixels: no blur of a scaled-up image.
    ASSERT_TRUE(canvas->ColoredLine(10, 20, 60, 20, kBlue));
    const Found line = find(canvas->image(), kBlue);
    EXPECT_LE(line.bottom - line.top + 1, std::ceil(ratio));
    EXPECT_EQ(line.count, (line.bottom - line.top + 1) * (line.right - line.left + 1));
    EXPECT_NEAR(line.right - line.left, 50 * 96 / 72 * ratio, 1.5 * ratio);
    // The widget shows the image at its logical size.
    show();
    const QImage shown = qt->widget(C::DATA)->grab().toImage();
    EXPECT_EQ(shown.devicePixelRatio(), ratio);
    EXPECT_EQ(find(shown, kBlue).top, line.top);
    EXPECT_NEAR(find(shown, kBlue).right, line.right, 1);
}

// The view scale enlarges the whole drawing: a line twice as long and twice
// as thick, the control twice the extent in the window; back at 1 the canvas
// draws pixel for pixel as one that was never scaled.
TEST_F(QtPreviewWindowTest, ViewScaleEnlargesTheDrawingAndTheControl)
{
    auto* canvas = dynamic_cast<QtCanvas*>(window->canvas().get());
    const qreal ratio = canvas->devicePixelRatio();
    auto draw = [&] {
        EXPECT_TRUE(canvas->Cls());
        EXPECT_TRUE(canvas->DrawWidth(1));
        EXPECT_TRUE(canvas->ColoredLine(10, 20, 60, 20, kBlue));
        return canvas->image().copy();
    };
    const QImage actual = draw();
    const Found at1 = find(actual, kBlue);

    window->set_width(C::DATA, 300);
    ASSERT_TRUE(canvas->ViewScale(2));
    EXPECT_EQ(canvas->ScaleWidth(), 300.0f) << "the extent stays in drawing points";
    EXPECT_EQ(window->geometry(C::DATA).width, 600.0f);
    EXPECT_EQ(qt->widget(C::DATA)->width(), 800);
    window->set_width(C::DATA, 370.8f);
    EXPECT_FLOAT_EQ(canvas->ScaleWidth(), 185.4f);
    const Found at2 = find(draw(), kBlue);
    EXPECT_NEAR(at2.right - at2.left, 2 * (at1.right - at1.left), 2 * ratio);
    EXPECT_NEAR(at2.left, 2 * at1.left, 2 * ratio);
    EXPECT_EQ(at2.bottom - at2.top, 2 * (at1.bottom - at1.top) + 1);

    for (double bad : {0.0, -1.0, std::nan("")})
        EXPECT_EQ(canvas->ViewScale(bad).failure().number, 380) << bad;
    ASSERT_TRUE(canvas->ViewScale(1));
    window->set_width(C::DATA, 370.8f);
    EXPECT_TRUE(draw() == actual);
}

TEST_F(QtPreviewWindowTest, CanvasOutlivesItsWindow)
{
    std::shared_ptr<Canvas> canvas = window->canvas();
    window.reset();
    ASSERT_TRUE(canvas->ScaleWidth(400));
    ASSERT_TRUE(canvas->ColoredLine(390, 10, 390, 100, kBlue));
    const Found line = find(dynamic_cast<QtCanvas&>(*canvas).image(), kBlue);
    EXPECT_NEAR(line.left, 520, 1);
    EXPECT_GT(line.count, 100);
}

TEST(QtPreviewCanvas, PropertiesReadBackAndRefuseWhatTheyCannotTake)
{
    ensure_qt_application();
    QtCanvas canvas(100, 50, 1.0, Qt::white, Qt::black);
    EXPECT_EQ(canvas.ScaleMode(1).failure().number, 380);
    EXPECT_EQ(canvas.ScaleMode(), 2);
    EXPECT_EQ(canvas.FillStyle(), 1);
    EXPECT_TRUE(canvas.FillStyle(0));
    EXPECT_EQ(canvas.FillStyle(), 0);
    ASSERT_TRUE(canvas.DrawWidth(3) && canvas.DrawStyle(2) && canvas.DrawMode(kDrawModeWhite));
    EXPECT_EQ(canvas.DrawWidth(), 3);
    EXPECT_EQ(canvas.DrawStyle(), 2);
    EXPECT_EQ(canvas.DrawMode(), kDrawModeWhite);
}

// On a screen of twice the density the image has twice the pixels, and a
// line sits where its points say.
TEST(QtPreviewCanvas, HighDensityScreenDoublesThePixels)
{
    ensure_qt_application();
    QtCanvas canvas(100, 50, 2.0, Qt::white, Qt::black);
    EXPECT_EQ(canvas.image().size(), QSize(267, 134));
    EXPECT_EQ(canvas.image().devicePixelRatio(), 2.0);
    ASSERT_TRUE(canvas.ColoredLine(0, 30, 90, 30, kBlue));
    const Found line = find(canvas.image(), kBlue);
    EXPECT_NEAR(line.top, 80, 1);
    EXPECT_NEAR(line.right, 240, 1);
    ASSERT_TRUE(canvas.Print("X", LineEnd::Without));
    EXPECT_NEAR(canvas.CurrentX(), canvas.TextWidth("X"), 1e-3);
}

// --- showing modally

class QtPreviewModal : public QtPreviewWindowTest {
protected:
    void TearDown() override { set_preview_driver({}); }
};

TEST_F(QtPreviewModal, WithoutADisplayFailsAtOnce)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    const auto start = std::chrono::steady_clock::now();
    const Status shown = window->show_modal();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_FALSE(shown);
    EXPECT_EQ(shown.failure().number, 5);
    EXPECT_NE(shown.failure().description.find("display"), std::string::npos);
    EXPECT_FALSE(qt->dialog()->isVisible());

    // A display named does not help a window Qt draws offscreen.
    ScopedEnv named("DISPLAY", ":99");
    EXPECT_EQ(window->show_modal().failure().number, 5);
}

TEST_F(QtPreviewModal, DriverWorksTheWindowUntilTheCloseButtonClosesIt)
{
    bool wasShown = false;
    set_preview_driver([&](QDialog& dialog) {
        wasShown = dialog.isVisible() && QApplication::activeModalWidget() == &dialog;
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible()) << "Enter must not close the window";
        QTest::mouseClick(qt->widget(C::NEXT), Qt::LeftButton);
        QTest::mouseClick(qt->widget(C::Close), Qt::LeftButton);
    });
    events.calls.clear();
    ASSERT_TRUE(window->show_modal());
    EXPECT_TRUE(wasShown);
    EXPECT_EQ(events.calls, (Calls{"NEXT_Click", "Close_Click"}));
    EXPECT_FALSE(qt->dialog()->isVisible());
}

TEST_F(QtPreviewModal, OpensCentredOnTheScreenWithoutAHost)
{
    QPoint centre;
    set_preview_driver([&](QDialog& dialog) {
        centre = dialog.frameGeometry().center();
        dialog.close();
    });
    ASSERT_TRUE(window->show_modal());
    const QRect area = qt->dialog()->screen()->availableGeometry();
    // Within the frame, which is not known before the window shows.
    EXPECT_NEAR(centre.x(), area.center().x(), 3);
    EXPECT_NEAR(centre.y(), area.center().y(), 3);
}

TEST_F(QtPreviewModal, WindowsOwnCloseBoxJustCloses)
{
    set_preview_driver([](QDialog& dialog) { dialog.close(); });
    events.calls.clear();
    ASSERT_TRUE(window->show_modal());
    EXPECT_TRUE(events.calls.empty());
}

}  // namespace
}  // namespace kt482
