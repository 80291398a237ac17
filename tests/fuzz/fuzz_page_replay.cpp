// Arbitrary bytes as a page spool file, replayed on a checking surface as
// the preview would draw it, then as the printer would. Whatever the bytes,
// the replay ends normally: a damaged page is reported, never a crash.
#include <cstdint>
#include <memory>

#include "checking_surface.h"
#include "job/job_state.h"
#include "page_replay_support.h"
#include "render/page_out.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    auto& [sink, printers, page] = fuzz::replay_services();
    (void)printers;
    page.set(data, size);
    fuzz::prepare_page();
    auto surface = std::make_shared<fuzz::CheckingSurface>();
    JobState& s = job();
    ObjectFields fields;
    for (OutputTarget target : {OutputTarget::Preview, OutputTarget::Printer}) {
        s.OutputTarget = target;
        s.PreviewCanvas = target == OutputTarget::Preview ? surface : nullptr;
        s.PrinterObject = target == OutputTarget::Printer ? surface : nullptr;
        ZZ100_Page_Out(fields, 1);
    }
    s.PreviewCanvas = nullptr;
    s.PrinterObject = nullptr;
    fuzz::check_replay(sink, page);
    return 0;
}
