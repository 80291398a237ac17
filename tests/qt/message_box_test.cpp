#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_message_box.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;

TEST(QtMessageBox, WithoutDisplayWritesOneLineToStandardError)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    auto box = make_qt_message_box();

    testing::internal::CaptureStderr();
    const int result = box->show("File not found", kMessageExclamationOk, "KT482_Print : E_Clear");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KT482_Print : E_Clear: File not found\n");
    EXPECT_EQ(result, kMessageResultOk);

    testing::internal::CaptureStderr();
    box->show("用紙がありません", kMessageExclamationOk, "帳票");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "帳票: 用紙がありません\n");
}

// The preview's refusal of a paper is an information, failures are
// exclamations; the buttons part of the value does not change the icon.
TEST(QtMessageBox, IconOfTheButtonsValue)
{
    const struct {
        int buttons;
        QMessageBox::Icon icon;
    } cases[] = {
        {kMessageExclamationOk, QMessageBox::Warning}, {64, QMessageBox::Information},
        {16, QMessageBox::Critical},                   {32, QMessageBox::Question},
        {64 + 1, QMessageBox::Information},            {0, QMessageBox::NoIcon},
    };
    for (const auto& c : cases)
        EXPECT_EQ(messageBoxIcon(c.buttons), c.icon) << c.buttons;
}

// With a display named but Qt running offscreen nobody could close a box, so
// the report still goes to standard error instead of blocking the caller.
TEST(QtMessageBox, OffscreenPlatformFallsBackToStandardError)
{
    ScopedEnv display("DISPLAY", ":99");
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    auto box = make_qt_message_box();
    // Qt may print its own start-up notes; only the box's line is of interest.
    ensure_qt_application();

    testing::internal::CaptureStderr();
    const int result = box->show("Printer error", kMessageExclamationOk, "KT482_Print : E_Print");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KT482_Print : E_Print: Printer error\n");
    EXPECT_EQ(result, kMessageResultOk);
}

// Qt aborts when no platform plugin starts; a display that cannot be reached
// must not take the host down. Run in a fresh process, since this one already
// has its application object.
TEST(QtMessageBoxDeathTest, UnreachableDisplayFallsBackToStandardError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto show_on_dead_display = [] {
        ::unsetenv("QT_QPA_PLATFORM");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("DISPLAY", ":987", 1);
        const int result = make_qt_message_box()->show("No paper", kMessageExclamationOk, "KT482_Print : E_Print");
        std::exit(result == kMessageResultOk ? 0 : 1);
    };
    EXPECT_EXIT(show_on_dead_display(), testing::ExitedWithCode(0), "KT482_Print : E_Print: No paper\n");
}

}  // namespace
}  // namespace kt482
