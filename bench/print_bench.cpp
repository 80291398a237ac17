// Printing speed and memory: a document of the dense form, 1,000 pages
// recorded once, printed through the host API to the built-in PDF printer
// (W_Device "KT482 PDF", W_StartDoc, W_Print, W_EndDoc), against drawing the
// same page's primitives straight into a QPdfWriter (A4, 1200 dpi) through
// the same Qt surface, a newPage() between pages.
//
//   kt482_bench_print [benchmark flags]
//   kt482_bench_print --dump-primitives FILE
//
// Each benchmark writes whole documents of 100 and of 1,000 pages;
// items_per_second is pages per second of wall-clock time, the PDF's
// deletion after each document left off the clock. pdf_kB is the size of
// one document. Three repetitions of each, their runs shuffled, show their
// medians; the usual flags (--benchmark_repetitions=1 ...) override this.
//
// Memory: the process's own peak resident size says little here, as it is a
// high-water mark over every benchmark run so far. So each benchmark also
// starts this program afresh for its page count (--memory-probe), which
// records the document, readies the device, then writes one document:
// peak_rss_kB is that process's peak while writing, rss_growth_kB the peak
// less its size just before the document began. Qt's PDF engine writes each
// page out as it ends and keeps little for it until the document ends, so
// the direct path hardly grows with the page count; the printer path should
// add nothing per page on top.
//
// The last lines give both paths' memory, the growth per page between 100
// and 1,000 pages, and both rates at 1,000 pages with their ratio.
//
// --dump-primitives writes one page's texts and lines, as drawn, to FILE as
// JSON (points from the top left corner of the page), for drawing the same
// page with other PDF writers, and the page as Qt drew it to FILE.pdf.

#include <benchmark/benchmark.h>

#include <QMarginsF>
#include <QPageSize>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QString>

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "cairo_page.h"
#include "dense_form.h"
#include "draw_calls.h"
#include "job/job_state.h"
#include "job/object_fields.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "render/page_out.h"
#include "text/font_service.h"

namespace {

using namespace kt482::bench;
using kt482::DrawSurface;
using kt482::LineEnd;
using kt482::QtDrawSurface;
using kt482::Status;

constexpr int kDocumentPages = 1000;
constexpr int kPageCounts[] = {100, kDocumentPages};
// The PDF printer's memory is also measured on a document this long: the
// recorded pages printed ten times over.
constexpr int kLongDocumentPages = 10000;

// ---------------------------------------------------------------------------
// The document and one page's primitives.

// The document recorded once into the temp folder; the job also prints it.
struct RecordedDocument {
    kt482::KT482_Print job;
    int texts = 0;
    bool complete = false;

    RecordedDocument()
    {
        job.P_Temp_Dir(sub_folder("spool"));
        job.E_StartEdit();
        for (int page = 1; page <= kDocumentPages; ++page) {
            if (page > 1)
                job.E_ChangePage();
            texts = record_dense_form_page(job);
        }
        job.E_EndEdit();
        complete = job.Answer().is_empty() && job.P_Min_Page() == 1 && job.P_Max_Page() == kDocumentPages;
    }
};

// Made on first use and ended by end_document() before main() returns: the
// job's state belongs to the thread and is gone by the time static objects
// are destroyed.
std::unique_ptr<RecordedDocument>& document_slot()
{
    static std::unique_ptr<RecordedDocument> document;
    return document;
}

RecordedDocument& recorded_document()
{
    if (!document_slot())
        document_slot() = std::make_unique<RecordedDocument>();
    return *document_slot();
}

int end_document(int status)
{
    document_slot().reset();
    return status;
}

std::unique_ptr<QPdfWriter> a4_pdf_writer(const std::string& path)
{
    auto writer = std::make_unique<QPdfWriter>(QString::fromStdString(path));
    writer->setResolution(1200);
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setPageMargins(QMarginsF(0, 0, 0, 0));
    return writer;
}

struct Capture {
    std::vector<Call> calls;
    int prints = 0;
    int rules = 0;
    // The renderer reported no failure and drew every text and rule.
    bool complete = false;
};

// The calls the renderer makes for page 1 of the document on a printer
// drawing into a PDF, as W_Print makes them.
Capture capture_page()
{
    RecordedDocument& document = recorded_document();
    Capture result;
    if (!document.complete)
        return result;
    const auto writer = a4_pdf_writer(sub_folder("capture") + "/capture.pdf");
    QtDrawSurface surface;
    if (!surface.begin(writer.get()))
        return result;
    SurfacePrinter printer(surface);
    auto capturing = std::make_shared<CapturingSurface>(printer);

    kt482::JobState& s = kt482::job();
    s.OutputTarget = kt482::OutputTarget::Printer;
    s.PrinterObject = capturing;
    s.OutStartP = 1;
    s.OutEndP = 1;
    s.ScrollX = 0;
    s.ScrollY = 0;
    kt482::ObjectFields fields;
    kt482::ZZ100_Page_Out(fields, 1);
    s.PrinterObject.reset();
    s.OutputTarget = kt482::OutputTarget::None;
    surface.end();
    remove_files(sub_folder("capture"));

    result.calls = std::move(capturing->calls);
    for (const Call& c : result.calls) {
        result.prints += c.op == Op::Print;
        result.rules += c.op == Op::Line;
    }
    result.complete = fields.Answer.is_empty() && result.prints >= document.texts && result.rules == kDenseFormRules;
    return result;
}

const Capture& page_primitives()
{
    static const Capture capture = capture_page();
    return capture;
}

// ---------------------------------------------------------------------------
// One document each way.

enum class Path { Printer, Direct, Cairo };

const char* path_name(Path path)
{
    switch (path) {
    case Path::Printer:
        return "printer";
    case Path::Direct:
        return "direct";
    case Path::Cairo:
        break;
    }
    return "cairo";
}

// Prints pages 1 to pages of the document to the PDF printer, a new file in
// $KT482_PDF_DIR. False on a failure.
bool print_to_pdf_printer(int pages)
{
    kt482::KT482_Print& job = recorded_document().job;
    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 1);
    // A job holds at most 9,999 pages; a longer document prints the recorded
    // pages again, each drawn anew, into the same document.
    for (int left = pages; left > 0; left -= kDocumentPages)
        job.W_Print(1, static_cast<int16_t>(std::min(left, kDocumentPages)));
    job.W_EndDoc();
    return job.Answer().is_empty();
}

// The page's calls drawn the way Qt draws text itself: QFont (the face the
// font service resolves, sized in twips under a twips scale) and drawText,
// which shapes through Qt's text layout; lines with a QPen.
void draw_natively(QPainter& painter, const std::vector<Call>& calls)
{
    QFont font;
    font.setHintingPreference(QFont::PreferVerticalHinting);
    double ascent = 0;
    double x = 0;
    double y = 0;
    int width = 1;
    int style = 0;
    const kt482::text::FontFace* face = kt482::text::FontService::shared().face("ＭＳ 明朝");
    int twips = 210;
    auto applyFont = [&] {
        font.setFamily(QString::fromStdString(face->postscript_name()));
        font.setPixelSize(twips);
        painter.setFont(font);
        ascent = static_cast<double>(twips) * face->ascender() / face->units_per_em();
    };
    applyFont();
    for (const Call& c : calls) {
        switch (c.op) {
        case Op::FontName:
            face = kt482::text::FontService::shared().face(c.text);
            applyFont();
            break;
        case Op::FontSize:
            twips = static_cast<int>(std::lround(c.x1 * 20));
            applyFont();
            break;
        case Op::FontBold:
            font.setBold(c.value != 0);
            painter.setFont(font);
            break;
        case Op::CurrentX: x = c.x1 * 20; break;
        case Op::CurrentY: y = c.y1 * 20; break;
        case Op::Print: {
            const QString text = QString::fromStdString(c.text);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(x, y + ascent), text);
            x += QFontMetricsF(font).horizontalAdvance(text);
            break;
        }
        case Op::DrawWidth: width = c.value; break;
        case Op::DrawStyle: style = c.value; break;
        case Op::Line: {
            QPen pen(Qt::black, std::max(width * 1440.0 / 600, 1.2), Qt::SolidLine, Qt::SquareCap);
            if (width == 1 && style == 2) {
                pen.setDashPattern({2.25 * 20 / pen.widthF(), 2.25 * 20 / pen.widthF()});
                pen.setCapStyle(Qt::FlatCap);
            }
            painter.setPen(pen);
            painter.drawLine(QPointF(c.x1 * 20, c.y1 * 20), QPointF(c.x2 * 20, c.y2 * 20));
            break;
        }
        default: break;
        }
    }
}

// Draws the page's primitives pages times into a new PDF at path.
bool draw_into_pdf_writer(int pages, const std::string& path)
{
    const auto writer = a4_pdf_writer(path);
    QPainter painter;
    if (!painter.begin(writer.get()))
        return false;
    painter.scale(writer->logicalDpiX() / 1440.0, writer->logicalDpiY() / 1440.0);
    bool ok = true;
    for (int page = 0; ok && page < pages; ++page) {
        ok = page == 0 || writer->newPage();
        draw_natively(painter, page_primitives().calls);
    }
    return painter.end() && ok;
}

bool write_document(Path path, int pages, const std::string& folder)
{
    if (path == Path::Printer)
        return print_to_pdf_printer(pages);
    if (path == Path::Cairo)
        return draw_into_cairo_pdf(page_primitives().calls, pages, folder + "/cairo.pdf");
    return draw_into_pdf_writer(pages, folder + "/direct.pdf");
}

// The one PDF in folder, or empty when there is not exactly one.
std::filesystem::path only_pdf(const std::string& folder)
{
    std::filesystem::path found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".pdf") {
            found = entry.path();
            ++count;
        }
    }
    return count == 1 ? found : std::filesystem::path();
}

// The folder the PDF printer writes to, the same for the direct path.
const std::string& pdf_folder()
{
    static const std::string folder = [] {
        std::string f = sub_folder("pdf");
        setenv("KT482_PDF_DIR", f.c_str(), 1);
        return f;
    }();
    return folder;
}

// ---------------------------------------------------------------------------
// Memory, measured in a fresh process per path and page count.

struct MemoryProbe {
    long before_kb = 0;  // resident size just before the document
    long peak_kb = 0;    // peak resident size while writing it
    bool ok = false;
};

// What the benchmarks measured, for the summary.
std::map<std::string, MemoryProbe>& probes()
{
    static std::map<std::string, MemoryProbe> measured;
    return measured;
}

std::string probe_key(Path path, int pages)
{
    return std::string(path_name(path)) + ":" + std::to_string(pages);
}

constexpr const char* kProbeResult = "memory-probe:";

// Child side of --memory-probe=PATH:PAGES: readies everything, then writes
// one document and prints "memory-probe: before_kB peak_kB".
int run_memory_probe(std::string_view what)
{
    const auto colon = what.find(':');
    const std::string_view name = what.substr(0, colon);
    const int pages = colon == std::string_view::npos ? 0 : std::atoi(std::string(what.substr(colon + 1)).c_str());
    const Path path = name == "printer" ? Path::Printer : name == "cairo" ? Path::Cairo : Path::Direct;
    const int most = path == Path::Printer ? kLongDocumentPages : kDocumentPages;
    if ((name != "printer" && name != "direct" && name != "cairo") || pages < 1 || pages > most) {
        std::fprintf(stderr, "kt482_bench_print: --memory-probe=printer|direct|cairo:PAGES (1 to %d)\n", most);
        return 2;
    }
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    kt482::ensure_qt_application();
    const std::string& folder = pdf_folder();
    int status = 1;
    if (page_primitives().complete) {
        if (!reset_peak_rss())
            std::fprintf(stderr, "kt482_bench_print: cannot reset the peak resident size; the peak includes the set-up\n");
        const long before = current_rss_kb();
        const bool written = write_document(path, pages, folder);
        const long peak = image_peak_rss_kb();
        if (written && !only_pdf(folder).empty()) {
            std::printf("%s %ld %ld\n", kProbeResult, before, peak);
            status = 0;
        }
    }
    std::filesystem::remove_all(bench_folder());
    return status;
}

// Runs this program with --memory-probe in a new process. Its messages
// (Qt's start-up notes among them) are shown only when it fails.
MemoryProbe probe_memory(Path path, int pages)
{
    MemoryProbe probe;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return probe;
    const std::string command = "'" + self.string() + "' --memory-probe=" + probe_key(path, pages) + " 2>&1";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return probe;
    std::string output;
    char line[512];
    bool found = false;
    while (std::fgets(line, sizeof line, child)) {
        output += line;
        const std::string_view text(line);
        if (text.starts_with(kProbeResult))
            found = std::sscanf(line + text.find(' '), "%ld %ld", &probe.before_kb, &probe.peak_kb) == 2;
    }
    probe.ok = pclose(child) == 0 && found;
    if (!probe.ok)
        std::fprintf(stderr, "%s", output.c_str());
    return probe;
}

const MemoryProbe& memory_of(Path path, int pages)
{
    const std::string key = probe_key(path, pages);
    auto found = probes().find(key);
    if (found == probes().end())
        found = probes().emplace(key, probe_memory(path, pages)).first;
    return found->second;
}

// ---------------------------------------------------------------------------
// The benchmarks.

void skip(benchmark::State& state, const char* why)
{
    state.SkipWithError(why);
    for (auto _ : state) {
    }
}

void run_documents(benchmark::State& state, Path path)
{
    const int pages = static_cast<int>(state.range(0));
    // The PDF printer's threads: the drawing thread alone, or with one
    // thread deflating page content.
    if (path == Path::Printer)
        setenv("KT482_PDF_THREADS", std::to_string(state.range(1) - 1).c_str(), 1);
    kt482::ensure_qt_application();
    if (!page_primitives().complete)
        return skip(state, "the form did not record or render completely");
    const std::string& folder = pdf_folder();
    remove_files(folder);

    double pdf_bytes = 0;
    for (auto _ : state) {
        const bool written = write_document(path, pages, folder);
        state.PauseTiming();
        const std::filesystem::path pdf = only_pdf(folder);
        if (!written || pdf.empty()) {
            state.SkipWithError("no PDF written");
            break;
        }
        pdf_bytes = static_cast<double>(std::filesystem::file_size(pdf));
        remove_files(folder);
        state.ResumeTiming();
    }
    if (state.error_occurred())
        return;

    state.SetItemsProcessed(state.iterations() * pages);
    state.counters["pdf_kB"] = pdf_bytes / 1024;
    const MemoryProbe& memory = memory_of(path, pages);
    if (!memory.ok) {
        state.SkipWithError("the memory probe failed");
        return;
    }
    state.counters["peak_rss_kB"] = static_cast<double>(memory.peak_kb);
    state.counters["rss_growth_kB"] = static_cast<double>(memory.peak_kb - memory.before_kb);
    if (path == Path::Printer && pages == kDocumentPages) {
        const MemoryProbe& longer = memory_of(path, kLongDocumentPages);
        if (longer.ok)
            state.counters["peak_rss_10000_pages_kB"] = static_cast<double>(longer.peak_kb);
    }
}

void BM_PrintToPdfPrinter(benchmark::State& state)
{
    run_documents(state, Path::Printer);
}

// Recording the document through the host API into a spool of its own, on a
// thread of its own so that the printed document's job state stays as it is:
// with the printing's rate, what a host spends end to end. The spool is on a
// tmpfs where there is one: a disk file system that has just deleted a
// thousand page files is slow to create the next thousand (recently deleted
// inodes are skipped), which would measure the file system, not the library.
void BM_RecordDocument(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    char shm[] = "/dev/shm/kt482-record-XXXXXX";
    const bool on_tmpfs = mkdtemp(shm) != nullptr;
    const std::string folder = on_tmpfs ? std::string(shm) : sub_folder("record");
    bool complete = true;
    for (auto _ : state) {
        std::thread([&] {
            kt482::KT482_Print job;
            job.P_Temp_Dir(folder);
            job.E_StartEdit();
            for (int page = 1; page <= pages; ++page) {
                if (page > 1)
                    job.E_ChangePage();
                record_dense_form_page(job);
            }
            job.E_EndEdit();
            complete = complete && job.Answer().is_empty() && job.P_Max_Page() == pages;
            job.E_Clear();
        }).join();
    }
    if (on_tmpfs)
        std::filesystem::remove_all(folder);
    if (!complete)
        return skip(state, "the form did not record completely");
    state.SetItemsProcessed(state.iterations() * pages);
}

void BM_DirectQPdfWriter(benchmark::State& state)
{
    run_documents(state, Path::Direct);
}

void BM_DirectCairoPdf(benchmark::State& state)
{
    run_documents(state, Path::Cairo);
}

void register_benchmarks()
{
    auto* printer = benchmark::RegisterBenchmark("BM_PrintToPdfPrinter", BM_PrintToPdfPrinter);
    printer->ArgNames({"pages", "threads"})->UseRealTime()->Unit(benchmark::kMillisecond);
    for (const int threads : {1, 2})
        for (const int pages : kPageCounts)
            printer->Args({pages, threads});
    benchmark::RegisterBenchmark("BM_RecordDocument", BM_RecordDocument)
        ->ArgName("pages")
        ->Arg(kDocumentPages)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    for (auto* bm : {benchmark::RegisterBenchmark("BM_DirectQPdfWriter", BM_DirectQPdfWriter),
                     benchmark::RegisterBenchmark("BM_DirectCairoPdf", BM_DirectCairoPdf)}) {
        bm->ArgName("pages")->UseRealTime()->Unit(benchmark::kMillisecond);
        for (const int pages : kPageCounts)
            bm->Arg(pages);
    }
}

std::string run_name(const char* benchmark, int pages, int threads = 0)
{
    return std::string(benchmark) + "/pages:" + std::to_string(pages)
           + (threads ? "/threads:" + std::to_string(threads) : std::string()) + "/real_time";
}

std::string summary(const Rates& rates)
{
    std::string text;
    char line[400];
    for (const int pages : kPageCounts) {
        const MemoryProbe& printer = probes()[probe_key(Path::Printer, pages)];
        const MemoryProbe& direct = probes()[probe_key(Path::Direct, pages)];
        if (!printer.ok || !direct.ok)
            continue;
        std::snprintf(line, sizeof line,
                      "Memory, %d pages, a fresh process each: printer peak %ld kB (+%ld kB over the document), "
                      "QPdfWriter directly peak %ld kB (+%ld kB)\n",
                      pages, printer.peak_kb, printer.peak_kb - printer.before_kb, direct.peak_kb,
                      direct.peak_kb - direct.before_kb);
        text += line;
    }
    const auto growth = [](Path path, int pages) {
        const MemoryProbe& p = probes()[probe_key(path, pages)];
        return static_cast<double>(p.peak_kb - p.before_kb);
    };
    const int few = kPageCounts[0];
    const int many = kPageCounts[1];
    bool all_probed = true;
    for (const int pages : kPageCounts)
        for (const Path path : {Path::Printer, Path::Direct})
            all_probed = all_probed && probes()[probe_key(path, pages)].ok;
    if (all_probed) {
        // Resident sizes move in whole 4 kB pages: below 0.01 kB a page is none.
        const auto per_page = [&](double from, double to) {
            const double kb = (to - from) / (many - few);
            return std::fabs(kb) < 0.005 ? 0.0 : kb;
        };
        const double printer = per_page(growth(Path::Printer, few), growth(Path::Printer, many));
        const double direct = per_page(growth(Path::Direct, few), growth(Path::Direct, many));
        std::snprintf(line, sizeof line,
                      "Growth per page from %d to %d pages: printer %.2f kB, QPdfWriter directly %.2f kB: "
                      "the printer path adds %.2f kB a page\n",
                      few, many, printer, direct, std::fabs(printer - direct) < 0.005 ? 0.0 : printer - direct);
        text += line;
    }
    const double printer = rate_of(rates, run_name("BM_PrintToPdfPrinter", many, 2));
    const double direct = rate_of(rates, run_name("BM_DirectQPdfWriter", many));
    if (printer > 0 && direct > 0) {
        std::snprintf(line, sizeof line,
                      "%d pages: KT482 PDF printer %.0f pages/s, QPdfWriter directly %.0f pages/s: "
                      "printer/direct %.2f (the printer path adds %.1f %% a page)",
                      many, printer, direct, printer / direct, (direct / printer - 1) * 100);
        text += line;
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// ---------------------------------------------------------------------------
// --dump-primitives: the page as drawn, for other PDF writers.

std::string json_string(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

// Passes the calls on to a Qt surface and writes down each text and line as
// it came out: the text's top left corner and baseline offset, the font as
// resolved; the line's ends and the pen as set on the painter.
class PrimitiveWriter final : public DrawSurface {
public:
    explicit PrimitiveWriter(QtDrawSurface& inner) : inner_(inner) {}

    std::vector<std::string> ops;
    std::map<std::string, std::string> families;  // face asked -> family drawn

    Status FontName(std::string_view face) override
    {
        face_ = face;
        return inner_.FontName(face);
    }
    Status FontSize(float points) override { return inner_.FontSize(points); }
    float FontSize() const override { return inner_.FontSize(); }
    Status FontBold(bool bold) override
    {
        bold_ = bold;
        return inner_.FontBold(bold);
    }
    Status FontUnderline(bool underline) override
    {
        underline_ = underline;
        return inner_.FontUnderline(underline);
    }
    Status CurrentX(float x) override { return inner_.CurrentX(x); }
    float CurrentX() const override { return inner_.CurrentX(); }
    Status CurrentY(float y) override { return inner_.CurrentY(y); }
    float TextWidth(std::string_view text) override { return inner_.TextWidth(text); }
    Status DrawMode(int16_t mode) override { return inner_.DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return inner_.DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override
    {
        style_ = style;
        return inner_.DrawStyle(style);
    }

    Status Print(std::string_view text, LineEnd end) override
    {
        const float x = inner_.CurrentX();
        const float y = inner_.currentY();
        Status status = inner_.Print(text, end);
        if (!status.ok())
            return status;
        // The face the font service resolves, which every surface draws with.
        const kt482::text::FontFace* face = kt482::text::FontService::shared().face(face_);
        const std::string family = face->postscript_name();
        families[face_] = family;
        const double ascent = static_cast<double>(inner_.FontSize()) * face->ascender() / face->units_per_em();
        ops.push_back("{\"op\":\"text\",\"x\":" + json_number(x) + ",\"y\":" + json_number(y)
                      + ",\"ascent\":" + json_number(ascent)
                      + ",\"face\":" + json_string(face_) + ",\"family\":" + json_string(family)
                      + ",\"size\":" + json_number(inner_.FontSize()) + ",\"bold\":" + (bold_ ? "true" : "false")
                      + ",\"underline\":" + (underline_ ? "true" : "false") + ",\"text\":" + json_string(text) + "}");
        return status;
    }

    Status Line(float x1, float y1, float x2, float y2) override
    {
        Status status = inner_.Line(x1, y1, x2, y2);
        if (!status.ok() || style_ == static_cast<int16_t>(kt482::LineStyle::Invisible))
            return status;
        const QPen pen = inner_.painter()->pen();
        const double width = pen.widthF() / 20;
        std::string dash;
        if (pen.style() != Qt::SolidLine) {
            // Qt keeps the pattern in pen widths.
            for (const qreal step : pen.dashPattern())
                dash += (dash.empty() ? "" : ",") + json_number(step * width);
        }
        ops.push_back("{\"op\":\"line\",\"x1\":" + json_number(x1) + ",\"y1\":" + json_number(y1)
                      + ",\"x2\":" + json_number(x2) + ",\"y2\":" + json_number(y2) + ",\"width\":"
                      + json_number(width) + ",\"dash\":[" + dash + "],\"cap\":"
                      + (pen.capStyle() == Qt::FlatCap ? "\"butt\"" : "\"square\"")
                      + ",\"color\":" + json_string(pen.color().name().toStdString()) + "}");
        return status;
    }

private:
    QtDrawSurface& inner_;
    std::string face_;
    bool bold_ = false;
    bool underline_ = false;
    int16_t style_ = 0;
};

int dump_primitives(const char* file)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    kt482::ensure_qt_application();
    const Capture& page = page_primitives();
    int status = 1;
    if (page.complete) {
        const auto writer = a4_pdf_writer(std::string(file) + ".pdf");
        QtDrawSurface surface;
        PrimitiveWriter primitives(surface);
        if (surface.begin(writer.get()) && replay(page.calls, primitives) && surface.end()) {
            std::ostringstream json;
            const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point);
            json << "{\"units\":\"pt\",\"origin\":\"top-left\",\"page\":{\"width\":" << json_number(a4.width())
                 << ",\"height\":" << json_number(a4.height()) << "},\n\"texts\":" << recorded_document().texts
                 << ",\"rules\":" << page.rules << ",\n\"fonts\":{";
            bool first = true;
            for (const auto& [face, family] : primitives.families) {
                json << (first ? "" : ",") << json_string(face) << ":" << json_string(family);
                first = false;
            }
            json << "},\n\"ops\":[\n";
            for (std::size_t i = 0; i < primitives.ops.size(); ++i)
                json << primitives.ops[i] << (i + 1 < primitives.ops.size() ? ",\n" : "\n");
            json << "]}\n";
            std::ofstream out(file, std::ios::binary);
            out << json.str();
            out.close();
            if (out) {
                std::printf("%zu primitives of one page written to %s\n", primitives.ops.size(), file);
                status = 0;
            } else {
                std::fprintf(stderr, "kt482_bench_print: cannot write %s\n", file);
            }
        }
    }
    if (status != 0 && page.calls.empty())
        std::fprintf(stderr, "kt482_bench_print: the form did not record or render completely\n");
    std::filesystem::remove_all(bench_folder());
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--dump-primitives")
        return end_document(dump_primitives(argv[2]));
    if (argc == 2 && std::string_view(argv[1]).starts_with("--memory-probe="))
        return end_document(
            run_memory_probe(std::string_view(argv[1]).substr(std::string_view("--memory-probe=").size())));
    pdf_folder();
    register_benchmarks();
    return end_document(run_benchmarks(argc, argv, summary,
                                       {"--benchmark_repetitions=3", "--benchmark_enable_random_interleaving=true",
                                        "--benchmark_display_aggregates_only=true"}));
}
