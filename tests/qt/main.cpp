// The platform tests run without a display, whatever the machine has: the
// message box must not wait for a click and Qt must not reach for a screen.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
