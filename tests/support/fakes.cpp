#include "support/fakes.h"

namespace kt482::test {

int MessageSink::show(std::string_view text, int buttons, std::string_view title)
{
    messages.push_back({std::string(text), buttons, std::string(title)});
    return kMessageResultOk;
}

FakePrinters::FakePrinters()
{
    settings.device_name = "Office Laser";
    settings.driver_name = "Generic PCL";
    settings.port = "ipp://office/queue";
    settings.paper_size = 9;
    settings.orientation = 1;
    settings.copies = 1;
    settings.duplex = 1;
    settings.option = 600;
    settings.page_height_twips = 16838;
    settings.page_width_twips = 11906;
    settings.font_name = "ＭＳ 明朝";
    settings.font_size = 10.5f;
    settings.font_bold = false;
}

Result<PrinterSettings> FakePrinters::default_printer_settings()
{
    if (fail)
        return Failure(ErrorNumber::PrinterError, "No printers are installed");
    return settings;
}

Result<std::vector<std::string>> FakePrinters::installed_printers()
{
    if (fail)
        return Failure(ErrorNumber::PrinterError, "No printers are installed");
    return names;
}

Result<PrinterSettings> FakePrinters::printer_settings(const std::string& device_name)
{
    if (fail)
        return Failure(ErrorNumber::PrinterError, "No printers are installed");
    PrinterSettings named = settings;
    named.device_name = device_name;
    named.driver_name = "driver of " + device_name;
    named.port = "port of " + device_name;
    named.option = static_cast<int16_t>(300 + device_name.size());
    return named;
}

Result<std::shared_ptr<Printer>> FakePrinters::open_printer(const std::string& device_name)
{
    if (fail)
        return Failure(ErrorNumber::PrinterError, "No printers are installed");
    opened = std::make_shared<RecordingSurface>();
    opened->device_name = device_name;
    return std::shared_ptr<Printer>(opened);
}

Status FakePrinters::listing_status() const
{
    if (incomplete_listing)
        return *incomplete_listing;
    return {};
}

Result<std::shared_ptr<Printer>> FakePrinters::open_pdf_file_printer(const std::string& path)
{
    pdf_file = std::make_shared<RecordingSurface>();
    pdf_file->device_name = "KT482 PDF";
    pdf_file->failing_operation = pdf_file_failing;
    pdf_file_path = path;
    return std::shared_ptr<Printer>(pdf_file);
}

}  // namespace kt482::test
