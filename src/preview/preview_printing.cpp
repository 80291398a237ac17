#include "preview/preview_printing.h"

#include <memory>
#include <string>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/message_box.h"
#include "platform/services.h"
#include "preview/preview_handlers.h"
#include "preview/preview_state.h"
#include "print/page_setup.h"
#include "print/print_run.h"

namespace kt482 {
namespace {

// The object whose V_Size_Set made the window, or an empty one.
ObjectFields& owner()
{
    thread_local ObjectFields none;
    PreviewState& p = preview();
    return p.owner ? *p.owner : none;
}

// Prints the previewed range on the selected printer, showing the progress
// of a long run. A run the user cancels stops after the page being drawn and
// its document is dropped: false then.
bool print_range(PreviewWindow& w)
{
    JobState& s = job();
    bool cancelled = false;
    ZZ100_Print(owner(), s.OutStartP, s.OutEndP, [&](int done, int total) {
        cancelled = !w.show_progress(done, total);
        return !cancelled;
    });
    w.end_progress();
    if (cancelled) {
        if (Printer* printer = s.PrinterObject.get())
            check(printer->AbortDoc());
        s.PageStarted = false;
        return false;
    }
    ZZ100_EndDoc();
    return true;
}

// What a print run from the window changes in the job and the window needs
// back to go on previewing: the target, the view and the printer.
struct KeptTarget {
    KeptTarget() : printer(job().PrinterObject), target(job().OutputTarget), x(job().ScrollX), y(job().ScrollY) {}

    void restore_view() const
    {
        JobState& s = job();
        s.OutputTarget = target;
        s.ScrollX = x;
        s.ScrollY = y;
    }

    std::shared_ptr<Printer> printer;
    OutputTarget target;
    float x;
    float y;
};

// The queue's reasons for the user, as the server names them.
std::string reasons_text(const QueueState& state)
{
    std::string text;
    for (const std::string& reason : state.reasons)
        text += (text.empty() ? "" : ", ") + reason;
    return text.empty() ? state.message : text;
}

// Whether the run may go to the selected printer: a queue that refuses jobs
// is said and nothing is sent; a stopped one is said, and its job waits
// there until the queue goes on. A server that cannot be asked in time
// leaves the printing to report its own failure.
bool queue_takes_the_job()
{
    const Printer* printer = job().PrinterObject.get();
    if (!printer || printer->DeviceName() == kPdfPrinterName)
        return true;
    const auto state = printer_system().queue_state(printer->DeviceName());
    if (!state)
        return true;
    const std::string name = printer->DeviceName();
    const std::string why = reasons_text(*state);
    const std::string detail = why.empty() ? "" : "（" + why + "）";
    if (!state->accepting) {
        message_box().show("プリンター「" + name + "」は印刷を受け付けていません" + detail + "。",
                           kMessageExclamationOk, kPageBoxTitle);
        return false;
    }
    if (state->stopped)
        message_box().show("プリンター「" + name + "」は停止しています" + detail +
                               "。印刷はプリンターが再開されるまで待機します。",
                           kMessageExclamationOk, kPageBoxTitle);
    return true;
}

}  // namespace

void print_from_preview(PreviewWindow& w)
{
    w.set_busy(true);
    const KeptTarget view;
    ZZ100_Device("");
    if (!queue_takes_the_job()) {
        view.restore_view();
        w.set_busy(false);
        return;
    }
    ZZ100_PRT_Layout();
    JobState& s = job();
    s.ScrollX = 0;
    s.ScrollY = 0;
    if (!print_range(w)) {
        // Cancelled: nothing went out, and the window goes on showing
        // its page, with the printer chosen.
        view.restore_view();
        w.set_busy(false);
        return;
    }
    w.set_busy(false);
    w.close();
}

void save_preview_as_pdf(PreviewWindow& w)
{
    const std::string path = w.choose_pdf_file(kSuggestedPdfName);
    if (path.empty())
        return;
    struct Restore {
        KeptTarget kept;
        ~Restore()
        {
            // A save that failed half way leaves no file either.
            if (Printer* pdf = job().PrinterObject.get(); !finished && pdf && pdf != kept.printer.get())
                (void)pdf->AbortDoc();
            kept.restore_view();
            job().PrinterObject = kept.printer;
            job().PageStarted = started;
            job().SavingPreviewPdf = false;
        }
        bool started = job().PageStarted;
        bool finished = false;
    } restore;
    JobState& s = job();
    s.PrinterObject = must(printer_system().open_pdf_file_printer(path));
    s.OutputTarget = OutputTarget::Printer;
    s.PageStarted = false;
    w.set_busy(true);
    ZZ100_PRT_Layout();
    s.ScrollX = 0;
    s.ScrollY = 0;
    s.SavingPreviewPdf = true;
    print_range(w);
    restore.finished = true;
    w.set_busy(false);
}

}  // namespace kt482
