// What a host sees of the failures and messages of KT482_Print beyond the
// message box: the last failure an object reported, and a handler that
// receives each message in place of the box or the standard-error line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "kt482/export.h"

namespace kt482 {

// A failure as a member reported it. Number 0 means none.
struct FailureReport {
    int32_t number = 0;
    std::string description;  // the message's text, "File not found"
    std::string procedure;    // the procedure named in the title, "E_StartEdit"
};

// One message as it would be shown: the title ("KT482_Print : E_StartEdit"),
// the text, and the buttons value of the box (48: OK with an exclamation
// icon, 64: OK with an information icon).
struct Message {
    std::string_view title;
    std::string_view text;
    int buttons = 0;
};

// Receives a message instead of the box and returns the button the host
// answers with (1 for OK); the member stores it in Answer(). The handler
// runs on the thread of the member that reports, inside that member.
using MessageHandler = std::function<int(const Message&)>;

}  // namespace kt482
