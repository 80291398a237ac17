// Rendering speed: a dense A4 form page replayed from its spool file by the
// renderer, against drawing the very same primitives straight onto the same
// Qt device through the same adapter. The difference is what reading the
// file, dispatching the records and converting grid positions cost.
//
//   kt482_bench_render [--benchmark_min_time=0.5] [other benchmark flags]
//
// Two devices: the preview's QImage (A4 at 96 dpi) and a PDF at 1200 dpi.
// items_per_second is pages per second of the thread's CPU time. Each
// benchmark runs five times, the runs of all four shuffled, and the medians
// are shown, which keeps the comparison steady on a busy machine; the usual
// flags (--benchmark_repetitions=1 ...) override this. A last line per device
// gives the renderer's own cost as a share of drawing directly (kept within
// 25 %).

#include <benchmark/benchmark.h>

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QPageSize>
#include <QPdfWriter>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "dense_form.h"
#include "draw_calls.h"
#include "job/job_state.h"
#include "job/object_fields.h"
#include "kt482/kt482.h"
#include "platform/draw_surface.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "render/page_out.h"

namespace {

using namespace kt482::bench;
using kt482::DrawSurface;
using kt482::QtDrawSurface;

// The page recorded once into the temp folder. The job stays alive: its
// thread's job state holds the folder and the page range the renderer reads.
struct RecordedForm {
    kt482::KT482_Print job;
    int texts = 0;
    static constexpr int rules = kDenseFormRules;

    RecordedForm()
    {
        job.P_Temp_Dir(sub_folder("spool"));
        job.E_StartEdit();
        texts = record_dense_form_page(job);
        job.E_EndEdit();
    }
};

// Made on first use and ended before main() returns: the job's state belongs
// to the thread and is gone by the time static objects are destroyed.
std::unique_ptr<RecordedForm>& form_slot()
{
    static std::unique_ptr<RecordedForm> form;
    return form;
}

RecordedForm& recorded_form()
{
    if (!form_slot())
        form_slot() = std::make_unique<RecordedForm>();
    return *form_slot();
}

// ---------------------------------------------------------------------------
// The devices. Both benchmarks of a device go through the same steps around a
// page; only the drawing between them differs.

class Device {
public:
    virtual ~Device() = default;
    // The renderer's target: 1 the printer, 2 the preview.
    virtual kt482::OutputTarget output_target() const = 0;
    virtual bool open(QtDrawSurface& surface) = 0;
    // Readies the surface for the next page. state, when given, is paused
    // for work that belongs to no page.
    virtual bool start_page(QtDrawSurface& surface, benchmark::State* state) = 0;
    virtual void finish_page(QtDrawSurface& surface) = 0;
    virtual void close(QtDrawSurface& surface) = 0;
};

// The preview's page: A4 at 96 dpi, cleared white and painted anew each time.
class ImageDevice final : public Device {
public:
    ImageDevice() : image_(794, 1123, QImage::Format_ARGB32_Premultiplied)
    {
        image_.setDotsPerMeterX(3780);  // 96 dpi
        image_.setDotsPerMeterY(3780);
    }

    kt482::OutputTarget output_target() const override { return kt482::OutputTarget::Preview; }
    bool open(QtDrawSurface&) override { return true; }
    bool start_page(QtDrawSurface& surface, benchmark::State*) override
    {
        image_.fill(Qt::white);
        return surface.begin(&image_);
    }
    void finish_page(QtDrawSurface& surface) override { surface.end(); }
    void close(QtDrawSurface& surface) override { surface.end(); }

private:
    QImage image_;
};

// A PDF at 1200 dpi, one PDF page for each page drawn. A new file every
// kPagesPerFile pages keeps the files small; closing a file writes its fonts,
// which belongs to no page and is left off the clock.
class PdfDevice final : public Device {
public:
    static constexpr int kPagesPerFile = 200;

    explicit PdfDevice(std::string path) : path_(std::move(path)) {}

    kt482::OutputTarget output_target() const override { return kt482::OutputTarget::Printer; }
    bool open(QtDrawSurface& surface) override
    {
        writer_ = std::make_unique<QPdfWriter>(QString::fromStdString(path_));
        writer_->setResolution(1200);
        writer_->setPageSize(QPageSize(QPageSize::A4));
        writer_->setPageMargins(QMarginsF(0, 0, 0, 0));
        pages_ = 0;
        return surface.begin(writer_.get());
    }
    bool start_page(QtDrawSurface& surface, benchmark::State* state) override
    {
        if (pages_ == kPagesPerFile) {
            if (state)
                state->PauseTiming();
            close(surface);
            const bool opened = open(surface);
            if (state)
                state->ResumeTiming();
            if (!opened)
                return false;
        }
        if (pages_++ > 0)
            return surface.newPage();
        return true;
    }
    void finish_page(QtDrawSurface&) override {}
    void close(QtDrawSurface& surface) override
    {
        surface.end();
        writer_.reset();
    }

private:
    std::string path_;
    std::unique_ptr<QPdfWriter> writer_;
    int pages_ = 0;
};

enum class DeviceKind { Image, Pdf };

std::unique_ptr<Device> make_device(DeviceKind kind, const char* file)
{
    if (kind == DeviceKind::Image)
        return std::make_unique<ImageDevice>();
    return std::make_unique<PdfDevice>(sub_folder("pdf") + "/" + file);
}

// Points the renderer at surface, as the printer or the preview canvas, page
// 1 of the recorded form in range.
void target(const std::shared_ptr<kt482::Printer>& surface, kt482::OutputTarget output_target)
{
    kt482::JobState& s = kt482::job();
    s.OutputTarget = output_target;
    s.PrinterObject = output_target == kt482::OutputTarget::Printer ? surface : nullptr;
    s.PreviewCanvas = output_target == kt482::OutputTarget::Preview ? surface : nullptr;
    s.OutStartP = 0;
    s.OutEndP = 9999;
    s.ScrollX = 0;
    s.ScrollY = 0;
}

void untarget()
{
    kt482::JobState& s = kt482::job();
    s.PrinterObject.reset();
    s.PreviewCanvas.reset();
}

struct Capture {
    std::vector<Call> calls;
    int prints = 0;
    int rules = 0;
    // The renderer reported no failure and drew every text and rule.
    bool complete = false;
};

// The calls of one rendering of the form on kind's device.
Capture capture(DeviceKind kind)
{
    const RecordedForm& form = recorded_form();
    kt482::ObjectFields fields;
    const auto device = make_device(kind, "capture.pdf");
    QtDrawSurface surface;
    SurfacePrinter printer(surface);
    auto capturing = std::make_shared<CapturingSurface>(printer);
    Capture result;
    if (!device->open(surface) || !device->start_page(surface, nullptr))
        return result;
    target(capturing, device->output_target());
    kt482::ZZ100_Page_Out(fields, 1);
    untarget();
    device->finish_page(surface);
    device->close(surface);
    result.calls = std::move(capturing->calls);
    for (const Call& c : result.calls) {
        result.prints += c.op == Op::Print;
        result.rules += c.op == Op::Line;
    }
    result.complete = fields.Answer.is_empty() && result.prints >= form.texts && result.rules == form.rules;
    return result;
}

// Draws a page per iteration on kind's device with draw(target), target being
// the surface as the renderer sees it. A step that fails ends the run with an
// error.
template <class Draw>
void run_pages(benchmark::State& state, DeviceKind kind, const char* file, const Capture& primitives, Draw draw)
{
    if (!primitives.complete) {
        state.SkipWithError("the form did not render completely");
        for (auto _ : state) {
        }
        return;
    }
    const auto device = make_device(kind, file);
    auto surface = std::make_shared<QtDrawSurface>();
    if (!device->open(*surface)) {
        state.SkipWithError("Qt cannot paint on the device");
        for (auto _ : state) {
        }
        return;
    }
    const auto printer = std::make_shared<SurfacePrinter>(*surface);
    target(printer, device->output_target());
    for (auto _ : state) {
        if (!device->start_page(*surface, &state) || !draw(*printer)) {
            state.SkipWithError("a page failed");
            break;
        }
        device->finish_page(*surface);
    }
    untarget();
    device->close(*surface);

    state.SetItemsProcessed(state.iterations());
    state.counters["texts"] = recorded_form().texts;
    state.counters["rules"] = primitives.rules;
    state.counters["calls"] = static_cast<double>(primitives.calls.size());
    state.counters["peak_rss_kB"] = static_cast<double>(peak_rss_kb());
}

const Capture& primitives(DeviceKind kind)
{
    static const Capture image = capture(DeviceKind::Image);
    static const Capture pdf = capture(DeviceKind::Pdf);
    return kind == DeviceKind::Image ? image : pdf;
}

void BM_RenderFromSpool(benchmark::State& state, DeviceKind kind)
{
    kt482::ensure_qt_application();
    kt482::ObjectFields fields;
    const Capture& calls = primitives(kind);
    run_pages(state, kind, "spool.pdf", calls, [&](DrawSurface&) {
        kt482::ZZ100_Page_Out(fields, 1);
        return fields.Answer.is_empty();
    });
}

void BM_DrawDirect(benchmark::State& state, DeviceKind kind)
{
    kt482::ensure_qt_application();
    const Capture& calls = primitives(kind);
    run_pages(state, kind, "direct.pdf", calls, [&](DrawSurface& surface) { return replay(calls.calls, surface); });
}

struct DeviceName {
    DeviceKind kind;
    const char* name;
    const char* label;
};

constexpr DeviceName kDevices[] = {
    {DeviceKind::Image, "image_a4_96dpi", "QImage A4 96 dpi"},
    {DeviceKind::Pdf, "pdf_a4_1200dpi", "PDF A4 1200 dpi"},
};

void register_benchmarks()
{
    for (const DeviceName& d : kDevices) {
        benchmark::RegisterBenchmark((std::string("BM_RenderFromSpool/") + d.name).c_str(), BM_RenderFromSpool, d.kind);
        benchmark::RegisterBenchmark((std::string("BM_DrawDirect/") + d.name).c_str(), BM_DrawDirect, d.kind);
    }
}

// Per device, the renderer's own cost as a share of drawing directly.
std::string summary(const Rates& rates)
{
    std::string lines;
    for (const DeviceName& d : kDevices) {
        const double spool = rate_of(rates, std::string("BM_RenderFromSpool/") + d.name);
        const double direct = rate_of(rates, std::string("BM_DrawDirect/") + d.name);
        if (spool <= 0 || direct <= 0)
            continue;
        // (t_spool - t_direct) / t_direct, with t the time of a page.
        const double overhead = (direct / spool - 1) * 100;
        char line[200];
        std::snprintf(line, sizeof line,
                      "%s: from spool %.0f pages/s, direct %.0f pages/s: the renderer adds %.1f %% (target within 25 %%)",
                      d.label, spool, direct, overhead);
        if (!lines.empty())
            lines += '\n';
        lines += line;
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    register_benchmarks();
    const int status = run_benchmarks(argc, argv, summary,
                                      {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_display_aggregates_only=true"});
    form_slot().reset();
    return status;
}
