// The message box of the Qt platform: a modal box when someone can see it,
// one line on standard error when nobody can.
#pragma once

#include <memory>

#include "platform/message_box.h"

namespace kt482 {

std::unique_ptr<MessageBox> make_qt_message_box();

}  // namespace kt482
