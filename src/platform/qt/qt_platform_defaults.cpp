// The real adapters behind platform/services.h: the Qt message box, the Qt
// printers and the POSIX files.
#include "platform/posix_files.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_printer_system.h"
#include "platform/services.h"

namespace kt482 {

std::unique_ptr<MessageBox> make_platform_message_box()
{
    return make_qt_message_box();
}

std::unique_ptr<PrinterSystem> make_platform_printer_system()
{
    return make_qt_printer_system();
}

std::unique_ptr<Files> make_platform_files()
{
    return make_posix_files();
}

}  // namespace kt482
