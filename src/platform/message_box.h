// Modal message boxes: the failure report of every member goes through here.
#pragma once

#include <string_view>

namespace kt482 {

// Buttons value 48: an OK button with an exclamation icon.
inline constexpr int kMessageExclamationOk = 48;
// The result of a box closed with OK.
inline constexpr int kMessageResultOk = 1;

class MessageBox {
public:
    virtual ~MessageBox() = default;

    // Shows text with the buttons value and the title, modally; returns the
    // button pressed (kMessageResultOk). Without a user it returns at once.
    virtual int show(std::string_view text, int buttons, std::string_view title) = 0;
};

}  // namespace kt482
