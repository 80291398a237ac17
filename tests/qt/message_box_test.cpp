#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kt482
