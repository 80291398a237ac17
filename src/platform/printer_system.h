// The printer subsystem: the installed printers and their settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kt482/failure.h"
#include "kt482/job_status.h"
#include "platform/printer.h"

namespace kt482 {

// Everything the job state takes from a printer when an object is created.
struct PrinterSettings {
    std::string device_name;
    std::string driver_name;
    std::string port;
    int16_t paper_size = 0;   // paper code (9 is A4, 256 user-defined)
    int16_t orientation = 0;  // 1 portrait, 2 landscape
    int16_t copies = 0;
    int16_t duplex = 0;       // 1 simplex, 2 long edge, 3 short edge
    int16_t option = 0;       // the further 16-bit setting, see the adapter
    int32_t page_height_twips = 0;
    int32_t page_width_twips = 0;
    std::string font_name;
    float font_size = 0;      // points
    bool font_bold = false;
};

// A print queue's state: stopped (by its administrator or after a backend
// failure) and whether it takes new jobs, with its reasons (as a job's, see
// kt482/job_status.h) and the server's message.
struct QueueState {
    bool stopped = false;
    bool accepting = true;
    std::vector<std::string> reasons;
    std::string message;
};

// The paper sources (IPP media-source: "auto", "manual", "tray-1", ...) and
// paper kinds (media-type: "stationery", "envelope", ...) a printer offers,
// as the print server names them, in its order.
struct PaperChoices {
    std::vector<std::string> sources;
    std::vector<std::string> kinds;
};

// Whether a job state is final: it changes no more.
inline bool job_state_is_final(const std::string& state)
{
    return state == "canceled" || state == "aborted" || state == "completed";
}

class PrinterSystem {
public:
    virtual ~PrinterSystem() = default;

    // The settings of the system's default printer, read afresh. Returns within
    // a few seconds even when the print server does not answer.
    virtual Result<PrinterSettings> default_printer_settings() = 0;

    // The device names of the installed printers in the platform's order.
    // Returns within a few seconds. Printers that do not depend on a print
    // server are always listed; a server that does not answer in time leaves
    // its own printers out, which listing_status() then tells.
    virtual Result<std::vector<std::string>> installed_printers() = 0;

    // Whether the last installed_printers() listed every printer: a failure
    // (PrinterError) when a print server that did not answer left its
    // printers out, so that a name the list does not hold may still be one.
    virtual Status listing_status() const { return {}; }

    // The settings of the installed printer of that device name (exactly as
    // listed), read afresh.
    virtual Result<PrinterSettings> printer_settings(const std::string& device_name) = 0;

    // Makes the installed printer of that device name (exactly as listed) the
    // current one, with its own settings.
    virtual Result<std::shared_ptr<Printer>> open_printer(const std::string& device_name) = 0;

    // The built-in PDF printer with every document going to the file at path
    // (replaced when the document is complete). A system without one fails.
    virtual Result<std::shared_ptr<Printer>> open_pdf_file_printer(const std::string& path)
    {
        (void)path;
        return Failure(ErrorNumber::PrinterError, "This system has no PDF printer");
    }

    // The state of the print server's job of that number and its printer's
    // reasons; the state of an installed queue. Each returns within 3
    // seconds; a system without a print server fails with NotSupported.
    virtual Result<JobStatus> job_status(int32_t job_id)
    {
        (void)job_id;
        return ErrorNumber::NotSupported;
    }
    virtual Result<QueueState> queue_state(const std::string& device_name)
    {
        (void)device_name;
        return ErrorNumber::NotSupported;
    }

    // The paper sources and kinds the installed printer of that device name
    // offers; none for a printer that has no choice of them (the PDF
    // printer). Returns within 3 seconds; fails with PrinterError when the
    // print server does not answer or has no such queue.
    virtual Result<PaperChoices> paper_choices(const std::string& device_name)
    {
        (void)device_name;
        return PaperChoices{};
    }
};

}  // namespace kt482
