// The platform services of the calling thread. The library installs the real
// adapters on first use; tests replace them for the thread with ScopedServices.
#pragma once

#include <memory>

#include "kt482/host_messages.h"

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/print_dialog.h"
#include "platform/printer_system.h"
#include "platform/window_toolkit.h"

namespace kt482 {

MessageBox& message_box();
PrinterSystem& printer_system();
Files& files();
WindowToolkit& window_toolkit();
PrintDialog& print_dialog();

// The host's handler for the thread's messages: while one is installed,
// message_box() hands each message to it. Returns the one replaced.
MessageHandler set_message_handler(MessageHandler handler);

// The real adapters, provided by the platform layer the library is linked with.
std::unique_ptr<MessageBox> make_platform_message_box();
std::unique_ptr<PrinterSystem> make_platform_printer_system();
std::unique_ptr<Files> make_platform_files();
std::unique_ptr<WindowToolkit> make_platform_window_toolkit();
std::unique_ptr<PrintDialog> make_platform_print_dialog();

// Replaces the thread's services for its lifetime; a null pointer keeps the
// current one. Not owning: the replacements must outlive the scope.
class ScopedServices {
public:
    ScopedServices(MessageBox* box, PrinterSystem* printers, Files* files, WindowToolkit* toolkit = nullptr,
                   PrintDialog* dialog = nullptr);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    MessageBox* saved_box_;
    PrinterSystem* saved_printers_;
    Files* saved_files_;
    WindowToolkit* saved_toolkit_;
    PrintDialog* saved_dialog_;
};

}  // namespace kt482
