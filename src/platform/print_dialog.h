// The printer-setup dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "kt482/failure.h"
#include "platform/printer_system.h"

namespace kt482 {

class PreviewWindow;

struct PrintDialogRequest {
    PreviewWindow* owner = nullptr;  // the preview window, or none
    uintptr_t owner_window = 0;      // else a native window id of the host, or 0
    uint32_t flags = 0;
    std::string device_name;
    std::string driver_name;
    std::string port;
    int16_t paper_size = 0;
    int16_t orientation = 0;
    int16_t duplex = 0;
    float page_height = 0;  // points, for paper 256
    float page_width = 0;
    // The paper source and kind chosen so far, empty for the printer's own.
    std::string media_source;
    std::string media_type;
    // The paper sources and kinds of the printer of that device name, asked
    // each time the dialog shows a printer; none given offers none.
    std::function<Result<PaperChoices>(const std::string&)> paper_choices;
};

struct PrintDialogResult {
    bool confirmed = false;
    std::string device_name;
    int16_t paper_size = 0;
    int16_t orientation = 0;
    int16_t copies = 0;
    int16_t duplex = 0;
    float page_height = 0;  // points, for paper 256
    float page_width = 0;
    // The paper source and kind chosen for the printer, empty for its own.
    std::string media_source;
    std::string media_type;
};

class PrintDialog {
public:
    virtual ~PrintDialog() = default;
    // Shows the dialog modally to the owner; fails at once when nobody can
    // see it.
    virtual Result<PrintDialogResult> run(const PrintDialogRequest& request) = 0;
};

}  // namespace kt482
