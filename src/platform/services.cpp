#include "platform/services.h"

namespace kt482 {
namespace {

struct ThreadServices {
    std::unique_ptr<MessageBox> own_box;
    std::unique_ptr<PrinterSystem> own_printers;
    std::unique_ptr<Files> own_files;
    MessageBox* box = nullptr;
    PrinterSystem* printers = nullptr;
    Files* files = nullptr;
};

ThreadServices& thread_services()
{
    thread_local ThreadServices services;
    return services;
}

}  // namespace

MessageBox& message_box()
{
    auto& s = thread_services();
    if (!s.box) {
        if (!s.own_box)
            s.own_box = make_platform_message_box();
        s.box = s.own_box.get();
    }
    return *s.box;
}

PrinterSystem& printer_system()
{
    auto& s = thread_services();
    if (!s.printers) {
        if (!s.own_printers)
            s.own_printers = make_platform_printer_system();
        s.printers = s.own_printers.get();
    }
    return *s.printers;
}

Files& files()
{
    auto& s = thread_services();
    if (!s.files) {
        if (!s.own_files)
            s.own_files = make_platform_files();
        s.files = s.own_files.get();
    }
    return *s.files;
}

ScopedServices::ScopedServices(MessageBox* box, PrinterSystem* printers, Files* files)
{
    auto& s = thread_services();
    saved_box_ = s.box;
    saved_printers_ = s.printers;
    saved_files_ = s.files;
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
}

}  // namespace kt482
