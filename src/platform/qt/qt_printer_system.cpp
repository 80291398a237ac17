#include "platform/qt/qt_printer_system.h"

#include "platform/qt/qt_duplex_codes.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/cups_deadline.h"
#include "platform/cups_probe.h"
#include "platform/cups_queue.h"
#include "platform/cups_queue_status.h"
#include "platform/pdf_output_folder.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_paper_codes.h"
#include "platform/qt/qt_print_queue.h"

namespace kt482 {
namespace {

constexpr const char* kFormFontName = "ＭＳ 明朝";
constexpr float kFormFontSize = 10.5f;
constexpr int16_t kPaperCodeA4 = 9;

void apply_form_defaults(PrinterSettings& settings)
{
    settings.orientation = 1;
    settings.font_name = kFormFontName;
    settings.font_size = kFormFontSize;
    settings.font_bold = false;
}

void apply_page_size(PrinterSettings& settings, const QPageSize& page)
{
    settings.paper_size = paperCodeForPageSize(page);
    const QSize twips = portraitTwips(page);
    settings.page_width_twips = twips.width();
    settings.page_height_twips = twips.height();
}

Result<PrinterSettings> pdf_printer_settings()
{
    auto folder = pdf_output_folder();
    if (!folder)
        return folder.failure();
    PrinterSettings settings;
    settings.device_name = kPdfPrinterName;
    settings.driver_name = kPdfPrinterName;
    settings.port = std::move(*folder);
    settings.copies = 1;
    settings.duplex = 1;
    settings.option = kPdfPrinterDpi;
    apply_page_size(settings, *pageSizeForPaperCode(kPaperCodeA4));
    apply_form_defaults(settings);
    return settings;
}

// The queue's own default resolution; failing that, the resolution Qt's
// printer runs at for it in high resolution mode.
int16_t default_resolution(const QPrinterInfo& info, const CupsQueueDefaults& queue)
{
    int dpi = queue.resolution_dpi;
    if (dpi <= 0)
        dpi = QPrinter(info, QPrinter::HighResolution).resolution();
    return static_cast<int16_t>(std::clamp(dpi, 1, 32767));
}

Result<PrinterSettings> queue_settings(const QPrinterInfo& info)
{
    const QPageSize page = info.defaultPageSize();
    if (!page.isValid())
        return Failure(ErrorNumber::PrinterError, "The default printer reports no paper size");
    PrinterSettings settings;
    settings.device_name = info.printerName().toStdString();
    const QString model = info.makeAndModel();
    settings.driver_name = model.isEmpty() ? "CUPS" : model.toStdString();
    const CupsQueueDefaults queue = cups_queue_defaults(settings.device_name);
    settings.port = queue.device_uri.empty() ? "CUPS" : queue.device_uri;
    settings.copies = static_cast<int16_t>(queue.copies);
    settings.duplex = duplexCodeForMode(info.defaultDuplexMode());
    settings.option = default_resolution(info, queue);
    apply_page_size(settings, page);
    apply_form_defaults(settings);
    return settings;
}

class QtPrinterSystem final : public PrinterSystem {
public:
    explicit QtPrinterSystem(PrinterMakers makers) : makers_(std::move(makers)) {}

    Result<PrinterSettings> default_printer_settings() override
    {
        if (cups_server_state_for_queries() != CupsServerState::Answers)
            return pdf_printer_settings();
        ensure_qt_application();
        CupsDeadline deadline;
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull() || deadline.expired())
            return pdf_printer_settings();
        auto settings = queue_settings(info);
        // A server that stalled half way gives no settings to rely on.
        if (deadline.expired())
            return pdf_printer_settings();
        return settings;
    }

    Result<std::vector<std::string>> installed_printers() override
    {
        std::vector<std::string> names;
        listing_ = {};
        switch (cups_server_state_for_queries()) {
        case CupsServerState::Silent:
            listing_ = silentServer();
            break;
        case CupsServerState::Answers: {
            ensure_qt_application();
            CupsDeadline deadline;
            const QStringList queues = QPrinterInfo::availablePrinterNames();
            if (deadline.expired()) {
                listing_ = silentServer();
                break;
            }
            for (const QString& name : queues)
                names.push_back(name.toStdString());
            break;
        }
        case CupsServerState::Absent:
            break;
        }
        names.push_back(kPdfPrinterName);
        return names;
    }

    Status listing_status() const override { return listing_; }

    Result<PrinterSettings> printer_settings(const std::string& device_name) override
    {
        if (device_name == kPdfPrinterName)
            return pdf_printer_settings();
        if (Status reachable = serverAnswers(); !reachable)
            return reachable.failure();
        ensure_qt_application();
        CupsDeadline deadline;
        auto info = queueInfo(device_name);
        if (!info)
            return deadline.expired() ? silentServer() : info.failure();
        auto settings = queue_settings(*info);
        if (deadline.expired())
            return silentServer();
        return settings;
    }

    Result<std::shared_ptr<Printer>> open_printer(const std::string& device_name) override
    {
        if (device_name == kPdfPrinterName)
            return makers_.pdf_folder();
        if (Status reachable = serverAnswers(); !reachable)
            return reachable.failure();
        ensure_qt_application();
        CupsDeadline deadline;
        auto info = queueInfo(device_name);
        if (!info)
            return deadline.expired() ? silentServer() : info.failure();
        auto printer = makers_.queue(make_qt_print_queue(*info));
        if (deadline.expired())
            return silentServer();
        return printer;
    }

    Result<std::shared_ptr<Printer>> open_pdf_file_printer(const std::string& path) override
    {
        return makers_.pdf_file(path);
    }

    Result<JobStatus> job_status(int32_t job_id) override { return cups_job_status(job_id); }
    Result<QueueState> queue_state(const std::string& device_name) override
    {
        if (device_name == kPdfPrinterName)
            return QueueState{};
        return cups_queue_state(device_name);
    }
    Result<PaperChoices> paper_choices(const std::string& device_name) override
    {
        if (device_name == kPdfPrinterName)
            return PaperChoices{};
        return cups_paper_choices(device_name);
    }

private:
    static Status serverAnswers()
    {
        switch (cups_server_state_for_queries()) {
        case CupsServerState::Silent:
            return silentServer();
        case CupsServerState::Absent:
            return notInstalled();
        case CupsServerState::Answers:
            break;
        }
        return {};
    }

    // The queue of that name, once the server has answered the probe.
    static Result<QPrinterInfo> queueInfo(const std::string& device_name)
    {
        QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(device_name));
        if (info.isNull())
            return notInstalled();
        return info;
    }

    static Failure silentServer() { return Failure(ErrorNumber::PrinterError, "The print server does not answer"); }
    static Failure notInstalled() { return Failure(ErrorNumber::PrinterError, "No printer of that name is installed"); }

    PrinterMakers makers_;
    Status listing_;
};

}  // namespace

std::unique_ptr<PrinterSystem> make_qt_printer_system(PrinterMakers makers)
{
    return std::make_unique<QtPrinterSystem>(std::move(makers));
}

}  // namespace kt482
