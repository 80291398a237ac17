// Preview speed: what a page change costs the user in the preview window.
// Two pages of the dense form are recorded; the preview opens on them (A4
// portrait, the window at 820 × 940 pixels) and, standing in for the user,
// the benchmark clicks "next" and "previous" in turn. Each click clears the
// retained page image, draws the frame and renders the whole page into it;
// a forced repaint of the canvas widget then puts the image on the screen.
// The time of click and repaint together is one redraw.
//
//   kt482_bench_preview [benchmark flags]
//
// At 100 % and at 500 % zoom, set through the zoom box. The window runs on
// Qt's offscreen platform, whose backing store is an image in memory, as a
// raster window's is. The times are wall-clock milliseconds per redraw,
// the median of five repetitions; the last line compares them with the
// 16.7 ms of one frame at 60 Hz.

#include <benchmark/benchmark.h>

#include <QDialog>
#include <QPushButton>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench_support.h"
#include "dense_form.h"
#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_preview_window.h"

namespace {

using namespace kt482::bench;
using kt482::PreviewControl;
using kt482::QtPreviewWindow;

// The window size of the documentation's screenshot: most of the page shows.
constexpr int kOuterWidthTwips = 12300;
constexpr int kOuterHeightTwips = 14100;

constexpr double kFrameMs = 1000.0 / 60;

struct RecordedForm {
    kt482::KT482_Print job;

    RecordedForm()
    {
        job.P_Temp_Dir(sub_folder("preview-spool"));
        job.E_StartEdit();
        record_dense_form_page(job);
        job.E_ChangePage();
        record_dense_form_page(job);
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

kt482::KT482_Print& recorded_job()
{
    if (!form_slot())
        form_slot() = std::make_unique<RecordedForm>();
    return form_slot()->job;
}

void click(QtPreviewWindow& window, PreviewControl button)
{
    static_cast<QPushButton*>(window.widget(button))->click();
}

// Sets the zoom as the user does: into the box, type, and leave it.
void set_zoom(QtPreviewWindow& window, int percent)
{
    window.set_focus(PreviewControl::ZOOM);
    window.set_text(PreviewControl::ZOOM, std::to_string(percent));
    window.set_focus(PreviewControl::Print);
}

// The page changes, timed inside the preview's modal loop.
void page_changes(benchmark::State& state, QtPreviewWindow& window, int percent)
{
    kt482::KT482_Print& job = recorded_job();
    window.set_outer_width(kOuterWidthTwips);
    window.set_outer_height(kOuterHeightTwips);
    set_zoom(window, percent);
    if (kt482::job().Bairitu * 100 != static_cast<float>(percent)) {
        state.SkipWithError("the zoom box did not set the zoom");
        return;
    }
    QWidget* canvas = window.widget(PreviewControl::DATA);
    canvas->repaint();
    // A failure while drawing reports itself and leaves its answer.
    const kt482::Variant answer = job.Answer();

    bool forward = true;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        click(window, forward ? PreviewControl::NEXT : PreviewControl::PREV);
        canvas->repaint();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        if (window.text(PreviewControl::CUR_PAGE) != (forward ? "   2" : "   1")) {
            state.SkipWithError("the page did not change");
            break;
        }
        forward = !forward;
    }
    if (job.Answer() != answer)
        state.SkipWithError("drawing the page failed");
    state.counters["canvas_px"] = canvas->width() * canvas->height();
}

void BM_PreviewPageChange(benchmark::State& state)
{
    const int percent = static_cast<int>(state.range(0));
    kt482::KT482_Print& job = recorded_job();
    job.P_Bairitu(1);
    job.V_Size_Set(9, 1);
    bool driven = false;
    kt482::set_preview_driver([&](QDialog& dialog) {
        driven = true;
        if (QtPreviewWindow* window = QtPreviewWindow::of(&dialog))
            page_changes(state, *window, percent);
        dialog.reject();
    });
    job.V_Preview();
    kt482::set_preview_driver({});
    if (!driven) {
        state.SkipWithError("the preview did not open");
        for (auto _ : state) {
        }
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_PreviewPageChange)
    ->ArgName("zoom")
    ->Arg(100)
    ->Arg(500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

std::string summary(const Rates& rates)
{
    std::string line = "Preview page change (clear, frame, render, blit):";
    bool any = false;
    for (int percent : {100, 500}) {
        const double rate = rate_of(rates, "BM_PreviewPageChange/zoom:" + std::to_string(percent) + "/manual_time");
        if (rate <= 0)
            continue;
        char part[80];
        std::snprintf(part, sizeof part, " %d %% %.2f ms;", percent, 1000 / rate);
        line += part;
        any = true;
    }
    if (!any)
        return {};
    char budget[60];
    std::snprintf(budget, sizeof budget, " one frame at 60 Hz is %.1f ms", kFrameMs);
    return line + budget;
}

}  // namespace

int main(int argc, char** argv)
{
    const int status = run_benchmarks(argc, argv, summary,
                                      {"--benchmark_repetitions=5", "--benchmark_display_aggregates_only=true"});
    form_slot().reset();
    return status;
}
