#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <utility>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "kt482/kt482.h"
#include "preview/preview_handlers.h"
#include "render/page_out.h"
#include "support/fake_preview.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

// Whatever a platform service throws ends in the standard report and never
// leaves a member, the renderer or a window handler.
struct ThrownKind {
    const char* name;
    std::function<void()> raise;
    const char* reported;
};

void PrintTo(const ThrownKind& kind, std::ostream* out)
{
    *out << kind.name;
}

class ThrowingPrinters : public FakePrinters {
public:
    explicit ThrowingPrinters(std::function<void()> thrower) : thrower_(std::move(thrower)) {}
    Result<std::shared_ptr<Printer>> open_printer(const std::string&) override
    {
        thrower_();
        return Failure(ErrorNumber::PrinterError);
    }

private:
    std::function<void()> thrower_;
};

class ThrowingSurface : public RecordingSurface {
public:
    explicit ThrowingSurface(std::function<void()> thrower) : thrower_(std::move(thrower)) {}
    Status Print(std::string_view, LineEnd) override
    {
        thrower_();
        return {};
    }

private:
    std::function<void()> thrower_;
};

class ThrowingWindow : public FakePreviewWindow {
public:
    ThrowingWindow(PreviewWindowEvents& events, std::function<void()> thrower)
        : FakePreviewWindow(events), thrower_(std::move(thrower))
    {
    }
    std::string text(PreviewControl) const override
    {
        thrower_();
        return {};
    }

private:
    std::function<void()> thrower_;
};

class ErrorTrapTest : public SpoolTest, public ::testing::WithParamInterface<ThrownKind> {};

TEST_P(ErrorTrapTest, AnyExceptionBecomesTheStandardReport)
{
    const ThrownKind& kind = GetParam();
    KT482_Print job;

    {
        ThrowingPrinters throwing(kind.raise);
        ScopedServices scoped(nullptr, &throwing, nullptr);
        job.W_Device("Office Laser");
    }

    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_String(2, 1, "b");
    job.E_EndEdit();
    auto surface = std::make_shared<ThrowingSurface>(kind.raise);
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Preview;
    s.PreviewCanvas = surface;
    ObjectFields fields;
    ZZ100_Page_Out(fields, 1);

    PreviewHandlers handlers;
    ThrowingWindow window(handlers, kind.raise);
    handlers.Attach(window);
    handlers.CUR_PAGE_GotFocus();
    handlers.CUR_PAGE_LostFocus();

    std::vector<std::string> seen;
    for (const auto& m : sink.messages)
        seen.push_back(m.title + " | " + m.text);
    const std::string r = kind.reported;
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "KT482_Print : W_Device | " + r,
                        "KT482_Print : ZZ100_String | " + r,
                        "KT482_Print : ZZ010_PREV : ZZ100_String | " + r,
                        "KT482_Print : ZZ010_PREV : ZZ100_String | " + r,
                    }));
    EXPECT_EQ(job.Answer(), Variant(kMessageResultOk));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ErrorTrapTest,
    ::testing::Values(ThrownKind{"OutOfMemory", [] { throw std::bad_alloc(); }, "Out of memory"},
                      ThrownKind{"Unexpected", [] { throw std::logic_error("bug"); }, "Internal error"},
                      ThrownKind{"NotAnException", [] { throw 42; }, "Internal error"},
                      ThrownKind{"Raised", [] { raise(Failure(ErrorNumber::PermissionDenied)); },
                                 "Permission denied"}),
    [](const ::testing::TestParamInfo<ThrownKind>& info) { return std::string(info.param.name); });

// Every public member promises not to throw.
static_assert(noexcept(std::declval<KT482_Print&>().E_String(1, 1, Variant())));
static_assert(noexcept(std::declval<KT482_Print&>().W_PrtDialog(0, std::declval<const std::string&>())));
static_assert(noexcept(std::declval<KT482_Print&>().P_Temp_Dir()));
static_assert(noexcept(std::declval<KT482_Print&>().Invoke("E_Clear", MemberKind::Method)));

}  // namespace
}  // namespace kt482::test
