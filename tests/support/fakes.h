// Test doubles of the platform services.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/printer_system.h"
#include "support/recording_surface.h"

namespace kt482::test {

// Records every message box instead of showing it.
class MessageSink : public MessageBox {
public:
    struct Message {
        std::string text;
        int buttons;
        std::string title;
    };

    int show(std::string_view text, int buttons, std::string_view title) override;

    std::vector<Message> messages;
};

// An A4 office printer, or a printer system that fails on demand.
class FakePrinters : public PrinterSystem {
public:
    FakePrinters();

    Result<PrinterSettings> default_printer_settings() override;
    Result<std::vector<std::string>> installed_printers() override;
    // The settings above under the given name.
    Result<PrinterSettings> printer_settings(const std::string& device_name) override;
    // A recording printer; the last one opened stays in `opened`.
    Result<std::shared_ptr<Printer>> open_printer(const std::string& device_name) override;
    Status listing_status() const override;
    // A recording printer named "KT482 PDF"; it stays in `pdf_file` and its
    // path in `pdf_file_path`.
    Result<std::shared_ptr<Printer>> open_pdf_file_printer(const std::string& path) override;

    PrinterSettings settings;
    std::vector<std::string> names{"Office Laser", "KT482 PDF"};
    bool fail = false;
    // Set: the list leaves out a server's printers for this reason.
    std::optional<Failure> incomplete_listing;
    std::shared_ptr<RecordingSurface> opened;
    std::shared_ptr<RecordingSurface> pdf_file;
    std::string pdf_file_path;
    std::string pdf_file_failing;  // the operation the PDF file printer fails
};

}  // namespace kt482::test
