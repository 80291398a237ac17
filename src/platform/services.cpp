#include "platform/services.h"

#include <utility>

namespace kt482 {
namespace {

// The message box of a host that takes the messages itself.
class HandlerMessageBox final : public MessageBox {
public:
    MessageHandler handler;

    int show(std::string_view text, int buttons, std::string_view title) override
    {
        return handler(Message{title, text, buttons});
    }
};

struct ThreadServices {
    std::unique_ptr<MessageBox> own_box;
    std::unique_ptr<PrinterSystem> own_printers;
    std::unique_ptr<Files> own_files;
    std::unique_ptr<WindowToolkit> own_toolkit;
    std::unique_ptr<PrintDialog> own_dialog;
    MessageBox* box = nullptr;
    PrinterSystem* printers = nullptr;
    Files* files = nullptr;
    WindowToolkit* toolkit = nullptr;
    PrintDialog* dialog = nullptr;
    HandlerMessageBox host_box;
};

// The service in slot, made by make on first use.
template <class Service, class Make>
Service& provide(Service*& slot, std::unique_ptr<Service>& own, Make make)
{
    if (!slot) {
        if (!own)
            own = make();
        slot = own.get();
    }
    return *slot;
}

ThreadServices& thread_services()
{
    thread_local ThreadServices services;
    return services;
}

}  // namespace

MessageBox& message_box()
{
    auto& s = thread_services();
    if (s.host_box.handler)
        return s.host_box;
    return provide(s.box, s.own_box, make_platform_message_box);
}

MessageHandler set_message_handler(MessageHandler handler)
{
    auto& s = thread_services();
    return std::exchange(s.host_box.handler, std::move(handler));
}

PrinterSystem& printer_system()
{
    auto& s = thread_services();
    return provide(s.printers, s.own_printers, make_platform_printer_system);
}

Files& files()
{
    auto& s = thread_services();
    return provide(s.files, s.own_files, make_platform_files);
}

WindowToolkit& window_toolkit()
{
    auto& s = thread_services();
    return provide(s.toolkit, s.own_toolkit, make_platform_window_toolkit);
}

PrintDialog& print_dialog()
{
    auto& s = thread_services();
    return provide(s.dialog, s.own_dialog, make_platform_print_dialog);
}

ScopedServices::ScopedServices(MessageBox* box, PrinterSystem* printers, Files* files, WindowToolkit* toolkit,
                               PrintDialog* dialog)
{
    auto& s = thread_services();
    saved_box_ = s.box;
    saved_printers_ = s.printers;
    saved_files_ = s.files;
    saved_toolkit_ = s.toolkit;
    saved_dialog_ = s.dialog;
    if (toolkit)
        s.toolkit = toolkit;
    if (dialog)
        s.dialog = dialog;
    if (box)
        s.box = box;
    if (printers)
        s.printers = printers;
    if (files)
        s.files = files;
}

ScopedServices::~ScopedServices()
{
    auto& s = thread_services();
    s.box = saved_box_;
    s.printers = saved_printers_;
    s.files = saved_files_;
    s.toolkit = saved_toolkit_;
    s.dialog = saved_dialog_;
}

}  // namespace kt482
