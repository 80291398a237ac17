// The core tests run without Qt: the thread's default services are a
// message sink, a fake A4 printer and the real POSIX files. Tests that look
// at messages or printers install their own with ScopedServices.
#include "platform/posix_files.h"
#include "platform/services.h"
#include "support/fake_preview.h"
#include "support/fakes.h"

namespace kt482 {

std::unique_ptr<MessageBox> make_platform_message_box()
{
    return std::make_unique<test::MessageSink>();
}

std::unique_ptr<PrinterSystem> make_platform_printer_system()
{
    return std::make_unique<test::FakePrinters>();
}

std::unique_ptr<Files> make_platform_files()
{
    return make_posix_files();
}

std::unique_ptr<WindowToolkit> make_platform_window_toolkit()
{
    return std::make_unique<test::FakeToolkit>();
}

std::unique_ptr<PrintDialog> make_platform_print_dialog()
{
    return std::make_unique<test::FakePrintDialog>();
}

}  // namespace kt482
