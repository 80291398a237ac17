// Arbitrary bytes as a page spool file, replayed on a recording surface as
// the preview would draw it, then as the printer would. Whatever the bytes,
// the replay ends normally: a damaged page is reported, never a crash.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "job/job_state.h"
#include "job/page_file_names.h"
#include "platform/services.h"
#include "render/page_out.h"
#include "support/fakes.h"
#include "support/recording_surface.h"

namespace {

// A folder of its own, in memory when the machine has /dev/shm: the page
// file is written once per input.
const std::string& spool_folder()
{
    static const std::string folder = [] {
        std::error_code ignored;
        const std::filesystem::path base = !std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", ignored)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string templ = (base / "kt482-fuzz-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        return templ;
    }();
    static const bool removed_at_exit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(spool_folder(), ignored);
    }) == 0;
    (void)removed_at_exit;
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    static test::MessageSink sink;
    static test::FakePrinters printers;
    static ScopedServices services(&sink, &printers, nullptr);

    const std::string& folder = spool_folder();
    {
        std::ofstream out(PageFileName(folder, 1), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    JobState& s = job();
    set_fixed_defaults(s);
    s.Temp_Dir = folder;
    s.Min_Page = 1;
    s.Max_Page = 1;
    s.FontScale = 0;
    s.MeasuredFontSize = 0;
    s.FontSize = 10.5f;
    auto surface = std::make_shared<test::RecordingSurface>();
    ObjectFields fields;
    for (OutputTarget target : {OutputTarget::Preview, OutputTarget::Printer}) {
        s.OutputTarget = target;
        s.PreviewCanvas = target == OutputTarget::Preview ? surface : nullptr;
        s.PrinterObject = target == OutputTarget::Printer ? surface : nullptr;
        ZZ100_Page_Out(fields, 1);
    }
    s.PreviewCanvas = nullptr;
    s.PrinterObject = nullptr;
    // Damage ends the page with one report; nothing else is shown.
    KT482_FUZZ_CHECK(sink.messages.size() <= 2);
    sink.messages.clear();
    return 0;
}
