// Records the sample invoice and lists what went into the spool: each page
// file with its size and its records, one line each. With --print it then
// prints the invoice on the default printer through the host's members and
// says where the output went.
//
//   kt482_invoice_demo [--print] [FOLDER]    FOLDER defaults to a new folder under /tmp

#include <stdlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "job/job_state.h"
#include "job/page_file_names.h"
#include "job/page_reader.h"
#include "job/record_code.h"
#include "kt482/kt482.h"
#include "platform/printer.h"
#include "platform/services.h"
#include "sample_invoice.h"

namespace {

using Fields = std::array<std::string, 6>;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// One record as a line: the code, then the fields labelled by kind.
std::string describe(const kt482::PageRecordHeader& header, const Fields& f)
{
    const std::string_view code_text(header.RecordCode.data(), header.RecordCode.size());
    const auto code = kt482::record_code_of(code_text);
    std::string line = "  " + std::string(code_text) + " ";
    if (!code) {
        line += "(unknown code)";
        for (int i = 1; i <= 5; ++i)
            line += "  " + quoted(f[static_cast<std::size_t>(i)]);
        return line;
    }
    const auto at = [&](const char* what_row, const char* what_col) {
        return std::string(what_row) + " " + f[1] + "  " + what_col + " " + f[2];
    };
    using kt482::RecordCode;
    switch (*code) {
    case RecordCode::Pitch:
        return line + "row pitch " + f[1] + "  col pitch " + f[2];
    case RecordCode::Font:
        return line + "font " + quoted(f[1]) + "  size " + f[2] + "  bold " + f[3] + "  row margin " + f[4];
    case RecordCode::DrawStyle:
        return line + "style " + f[1] + "  width " + f[2];
    case RecordCode::Line:
    case RecordCode::Keisen:
        return line + "from row " + f[1] + "  col " + f[2] + "  to row " + f[3] + "  col " + f[4];
    case RecordCode::LineHor:
    case RecordCode::LineVrt:
        return line + at("base row", "col") + "  rows " + quoted(f[3]) + "  cols " + quoted(f[4]);
    case RecordCode::String:
    case RecordCode::StringRight:
        return line + at("row", "col") + "  text " + quoted(f[3]);
    case RecordCode::StringKin:
    case RecordCode::StringCenter:
    case RecordCode::StringLeft:
        return line + at("row", "col") + "  text " + quoted(f[3]) + "  length " + f[4];
    case RecordCode::Numeric:
        return line + at("row", "col") + "  value " + f[3] + "  picture " + quoted(f[4]);
    case RecordCode::Image:
        return line + "from row " + f[1] + "  col " + f[2] + "  to row " + f[3] + "  col " + f[4] + "  fit "
               + f[5].substr(0, 1) + "  file " + quoted(f[5].substr(1));
    case RecordCode::Fill:
        return line + "from row " + f[1] + "  col " + f[2] + "  to row " + f[3] + "  col " + f[4] + "  colour "
               + f[5];
    case RecordCode::Color:
        return line + "colour " + f[1];
    case RecordCode::Barcode:
        return line + "from row " + f[1] + "  col " + f[2] + "  to row " + f[3] + "  col " + f[4] + "  barcode "
               + quoted(f[5]);
    case RecordCode::NumericRight:
        return line + at("row", "end col") + "  value " + f[3] + "  picture " + quoted(f[4]);
    case RecordCode::StringFit:
        return line + at("row", "col") + "  text " + quoted(f[3]) + "  length " + f[4] + "  mode " + f[5];
    case RecordCode::StringBox:
        return line + "from row " + f[1] + "  col " + f[2] + "  to row " + f[3] + "  col " + f[4] + "  align "
               + f[5].substr(0, 1) + "  text " + quoted(f[5].substr(1));
    }
    return line;
}

struct PageSummary {
    bool ok = true;
    long records = 0;
};

PageSummary list_page(const std::string& path)
{
    PageSummary summary;
    kt482::Files& files = kt482::files();
    auto handle = files.free_handle();
    if (!handle) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), handle.failure().description.c_str());
        return {false, 0};
    }
    if (auto opened = files.open(*handle, path); !opened) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), opened.failure().description.c_str());
        return {false, 0};
    }
    kt482::PageReader reader(files, *handle);
    kt482::PageRecordHeader header;
    Fields fields;
    for (;;) {
        auto more = reader.next(header, fields);
        if (!more) {
            std::fprintf(stderr, "%s: record %ld: %s\n", path.c_str(), summary.records + 1,
                         more.failure().description.c_str());
            summary.ok = false;
            break;
        }
        if (!*more)
            break;
        ++summary.records;
        std::printf("%s\n", describe(header, fields).c_str());
    }
    (void)files.close(*handle);
    return summary;
}

std::string spool_folder(const char* given)
{
    if (given) {
        std::error_code ec;
        std::filesystem::create_directories(given, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", given, ec.message().c_str());
            return {};
        }
        return given;
    }
    char folder[] = "/tmp/kt482-invoice-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return {};
    }
    return folder;
}

// Prints every recorded page on the default printer, A4 portrait, as a host
// program would; a failing member reports itself on standard error.
bool print_invoice(kt482::KT482_Print& job)
{
    job.W_Device("");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    const auto& printer = kt482::job().PrinterObject;
    const std::string output = printer ? printer->LastOutput() : std::string();
    if (output.empty()) {
        std::fprintf(stderr, "the invoice was not printed\n");
        return false;
    }
    std::printf("\nprinted on %s: %s\n", printer->DeviceName().c_str(), output.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bool print = false;
    const char* given = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--print" && !print) {
            print = true;
        } else if (!arg.starts_with("-") && !given) {
            given = argv[i];
        } else {
            std::fprintf(stderr, "usage: %s [--print] [FOLDER]\n", argv[0]);
            return 2;
        }
    }
    const std::string folder = spool_folder(given);
    if (folder.empty())
        return 1;

    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    record_sample_invoice(job);

    const int first = job.P_Min_Page();
    const int last = job.P_Max_Page();
    std::printf("spool folder %s\n", folder.c_str());

    bool ok = first == 1 && last == kSampleInvoicePages;
    long records = 0;
    uintmax_t bytes = 0;
    for (int page = first; page <= last; ++page) {
        const std::string path = kt482::PageFileName(folder, page);
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), ec.message().c_str());
            ok = false;
            continue;
        }
        std::printf("\npage %d  %s  %ju bytes\n", page, std::filesystem::path(path).filename().c_str(), size);
        const PageSummary summary = list_page(path);
        ok = ok && summary.ok;
        records += summary.records;
        bytes += size;
    }

    std::printf("\npages %d to %d (%d), records %ld, bytes %ju, P_CheckData %s\n", first, last,
                last >= first ? last - first + 1 : 0, records, bytes, job.P_CheckData() ? "True" : "False");
    if (!ok) {
        std::fprintf(stderr, "expected pages 1 to %d, all readable\n", kSampleInvoicePages);
        return 1;
    }
    if (print && !print_invoice(job))
        return 1;
    return 0;
}
