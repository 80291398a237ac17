// The platform tests run without a display, whatever the machine has: the
// message box must not wait for a click and Qt must not reach for a screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

int main(int argc, char** argv)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    // Offscreen, with the arguments given (a screen of a given size, say).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string_view(platform).substr(0, 9) != "offscreen")
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
