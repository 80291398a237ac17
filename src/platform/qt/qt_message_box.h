// The message box of the Qt platform: a modal box when someone can see it,
// one line on standard error when nobody can.
#pragma once

#include <QMessageBox>

#include <memory>

#include "platform/message_box.h"

namespace kt482 {

std::unique_ptr<MessageBox> make_qt_message_box();

// The icon of a buttons value: 16 critical, 32 question, 48 exclamation, 64
// information (the icon part of the value, whatever its buttons); no icon
// for none of these.
QMessageBox::Icon messageBoxIcon(int buttons);

}  // namespace kt482
