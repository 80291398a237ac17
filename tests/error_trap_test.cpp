#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include <utility>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "kt482/kt482.h"
#include "preview/preview_handlers.h"
#include "render/page_out.h"
#include "support/fake_preview.h"
#include "support/scoped_env.h"
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

// The descriptions a host sees are in the language the environment names
// for messages, as gettext reads it; the numbers stay. A description with a
// detail after ": " keeps the detail as it is.
struct LanguageCase {
    const char* name;
    std::optional<std::string> lc_all, lang, language;
    bool japanese;
};

void PrintTo(const LanguageCase& c, std::ostream* out)
{
    *out << c.name;
}

class FailureLanguageTest : public SpoolTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(FailureLanguageTest, DescriptionsFollowTheEnvironmentAndNumbersStay)
{
    const LanguageCase& c = GetParam();
    ScopedEnv all("LC_ALL", c.lc_all), messages("LC_MESSAGES", std::nullopt), lang("LANG", c.lang);
    ScopedEnv language("LANGUAGE", c.language);
    KT482_Print job;
    job.P_Temp_Dir(dir);
    std::vector<std::pair<int32_t, std::string>> seen;
    auto look = [&] { seen.emplace_back(job.LastFailure().number, job.LastFailure().description); };
    job.E_Clear();
    look();
    job.W_Device("経理部のプリンタ");
    look();
    job.E_StartEdit();
    job.E_Barcode(1, 1, 3, 20, "NOPE", "x");
    look();
    ASSERT_EQ(seen.size(), 3u);
    const auto expected = c.japanese
                              ? std::vector<std::pair<int32_t, std::string>>{{53, "ファイルが見つかりません"},
                                                                             {482, "その名前のプリンタはインストールされていません: \"経理部のプリンタ\""}}
                              : std::vector<std::pair<int32_t, std::string>>{{53, "File not found"},
                                                                             {482, "No printer of that name is installed: \"経理部のプリンタ\""}};
    EXPECT_EQ(seen[0], expected[0]);
    EXPECT_EQ(seen[1], expected[1]);
    EXPECT_EQ(seen[2].first, 5);
    EXPECT_TRUE(seen[2].second.starts_with(c.japanese ? "プロシージャの呼び出し、または引数が不正です: "
                                                      : "Invalid procedure call or argument: "))
        << seen[2].second;
    EXPECT_EQ(sink.messages.at(0).text, seen[0].second) << "the message box says the same";
}

INSTANTIATE_TEST_SUITE_P(
    Locales, FailureLanguageTest,
    ::testing::Values(LanguageCase{"Japanese", std::nullopt, "ja_JP.UTF-8", std::nullopt, true},
                      LanguageCase{"C", std::nullopt, "C.UTF-8", std::nullopt, false},
                      LanguageCase{"Unset", std::nullopt, std::nullopt, std::nullopt, false},
                      LanguageCase{"English", std::nullopt, "en_US.UTF-8", std::nullopt, false},
                      LanguageCase{"AllOverLang", "ja_JP.UTF-8", "en_US.UTF-8", std::nullopt, true},
                      LanguageCase{"AllCOverLang", "C", "ja_JP.UTF-8", std::nullopt, false},
                      LanguageCase{"LanguageList", std::nullopt, "en_US.UTF-8", "ja:en", true}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

// Every public member promises not to throw.
static_assert(noexcept(std::declval<KT482_Print&>().E_String(1, 1, Variant())));
static_assert(noexcept(std::declval<KT482_Print&>().W_PrtDialog(0, std::declval<const std::string&>())));
static_assert(noexcept(std::declval<KT482_Print&>().P_Temp_Dir()));
static_assert(noexcept(std::declval<KT482_Print&>().Invoke("E_Clear", MemberKind::Method)));

}  // namespace
}  // namespace kt482::test
