// Arbitrary bytes as a page spool file, replayed onto the PDF printer into a
// file, which must then be a PDF a reader can open: its header, every
// object where the cross-reference table says, the table where startxref
// says, and its end. Odd inputs write archived files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "job/job_state.h"
#include "page_replay_support.h"
#include "print/pdf_printer.h"
#include "render/page_out.h"

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The file's structure as a reader finds it.
void check_pdf(const std::string& file)
{
    KT482_FUZZ_CHECK(file.starts_with("%PDF-1."));
    KT482_FUZZ_CHECK(file.ends_with("%%EOF\n"));
    const std::size_t startxref = file.rfind("startxref\n");
    KT482_FUZZ_CHECK(startxref != std::string::npos);
    const std::size_t table = std::strtoull(file.c_str() + startxref + 10, nullptr, 10);
    KT482_FUZZ_CHECK(table < startxref && file.compare(table, 5, "xref\n") == 0);
    std::istringstream xref(file.substr(table + 5, startxref - table - 5));
    std::size_t first = 0, count = 0;
    xref >> first >> count;
    KT482_FUZZ_CHECK(first == 0 && count > 1);
    for (std::size_t object = 0; object < count; ++object) {
        std::size_t offset = 0;
        int generation = 0;
        char kind = 0;
        xref >> offset >> generation >> kind;
        KT482_FUZZ_CHECK(xref && (kind == 'n' || kind == 'f'));
        if (kind == 'f')
            continue;
        const std::string head = std::to_string(object) + " 0 obj";
        KT482_FUZZ_CHECK(offset < table && file.compare(offset, head.size(), head) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    auto& [sink, printers, page] = fuzz::replay_services();
    (void)printers;
    // The file is on /dev/shm and thrown away: no flush is worth its time.
    static const bool unsynced = ::setenv("KT482_PDF_SYNC", "0", 1) == 0 && ::setenv("KT482_PDF_THREADS", "0", 1) == 0;
    (void)unsynced;

    page.set(data, size);
    fuzz::prepare_page();
    const std::string pdf = fuzz::spool_folder() + "/page.pdf";
    auto printer = PdfPrinter::for_file(pdf);
    printer->NextDocumentProperties({"", "", "", "", size % 2 == 1});
    JobState& s = job();
    s.OutputTarget = OutputTarget::Printer;
    s.PrinterObject = printer;
    s.PreviewCanvas = nullptr;
    ObjectFields fields;
    ZZ100_Page_Out(fields, 1);
    s.PrinterObject = nullptr;
    const bool drawn = printer->document_started();
    KT482_FUZZ_CHECK(printer->EndDoc().ok());
    fuzz::check_replay(sink, page);
    if (drawn)
        check_pdf(contents(pdf));
    std::remove(pdf.c_str());
    return 0;
}
