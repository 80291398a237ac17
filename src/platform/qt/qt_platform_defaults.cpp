// The real adapters behind platform/services.h: the Qt message box, the Qt
// printers, the POSIX files, the preview window and the printer settings
// dialog. This is where the library is put together, so it alone names the
// PDF printers (print/) that the Qt printer system is handed; the adapters
// themselves know only the platform's interfaces.
#include "platform/posix_files.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_preview_window.h"
#include "platform/qt/qt_print_dialog.h"
#include "platform/qt/qt_printer_system.h"
#include "platform/services.h"
#include "print/pdf_printer.h"

namespace kt482 {

std::unique_ptr<MessageBox> make_platform_message_box()
{
    return make_qt_message_box();
}

std::unique_ptr<PrinterSystem> make_platform_printer_system()
{
    return make_qt_printer_system(pdf_printer_makers());
}

std::unique_ptr<Files> make_platform_files()
{
    return make_posix_files();
}

std::unique_ptr<WindowToolkit> make_platform_window_toolkit()
{
    return make_qt_window_toolkit();
}

std::unique_ptr<PrintDialog> make_platform_print_dialog()
{
    return make_qt_print_dialog();
}

}  // namespace kt482
