// The host's view of failures: the last failure of an object, and a handler
// that takes the messages in place of the message box.
#include <gtest/gtest.h>

#include <thread>

#include "kt482/kt482.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using HostMessagesTest = SpoolTest;

struct ExpectedFailure {
    const char* name;
    void (*call)(KT482_Print&, const std::string& dir);
    int32_t number;
    const char* description;
    const char* procedure;
};

class LastFailureTest : public SpoolTest, public ::testing::WithParamInterface<ExpectedFailure> {};

TEST_P(LastFailureTest, NamesNumberDescriptionAndProcedureAndStillShowsTheMessage)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    GetParam().call(job, dir);
    const FailureReport& last = job.LastFailure();
    EXPECT_EQ(last.number, GetParam().number);
    EXPECT_EQ(last.description, GetParam().description);
    EXPECT_EQ(last.procedure, GetParam().procedure);
    ASSERT_FALSE(sink.messages.empty());
    EXPECT_EQ(sink.messages.back().title, std::string("KT482_Print : ") + GetParam().procedure);
    EXPECT_EQ(sink.messages.back().text, GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Members, LastFailureTest,
    ::testing::Values(
        ExpectedFailure{"MissingSpoolFolder",
                        [](KT482_Print& job, const std::string& dir) {
                            job.P_Temp_Dir(dir + "/missing");
                            job.E_StartEdit();
                        },
                        76, "Path not found", "E_StartEdit"},
        ExpectedFailure{"LateBoundTypeMismatch",
                        [](KT482_Print& job, const std::string&) {
                            job.E_StartEdit();
                            job.Invoke("E_String", MemberKind::Method, {"two", 3, "x"});
                        },
                        13, "Type mismatch", "E_String"},
        ExpectedFailure{"LateBoundOverflow",
                        [](KT482_Print& job, const std::string&) {
                            job.Invoke("E_DrawStyle", MemberKind::Method, {1, 40000});
                        },
                        6, "Overflow", "E_DrawStyle"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostMessagesTest, LastFailureStaysUntilClearedAndBelongsToItsObject)
{
    KT482_Print job;
    EXPECT_EQ(job.LastFailure().number, 0);
    job.P_Temp_Dir(dir + "/missing");
    job.E_StartEdit();
    job.P_Temp_Dir(dir);
    job.E_StartEdit();  // succeeds; the failure before it is still the last one
    EXPECT_EQ(job.LastFailure().number, 76);

    KT482_Print other;
    EXPECT_EQ(other.LastFailure().number, 0);

    job.ClearLastFailure();
    EXPECT_EQ(job.LastFailure().number, 0);
    EXPECT_EQ(job.LastFailure().description, "");
    EXPECT_EQ(job.LastFailure().procedure, "");
}

TEST_F(HostMessagesTest, HandlerTakesEveryMessageAndAnswersForTheBox)
{
    KT482_Print job;
    std::vector<std::string> seen;
    MessageHandler previous = KT482_Print::SetMessageHandler([&](const Message& m) {
        seen.push_back(std::string(m.title) + "|" + std::string(m.text) + "|" + std::to_string(m.buttons));
        return 7;
    });
    EXPECT_FALSE(previous);
    job.P_Temp_Dir(dir + "/missing");
    job.E_StartEdit();
    job.E_String(1, 1, "x");

    EXPECT_EQ(seen, (std::vector<std::string>{"KT482_Print : E_StartEdit|Path not found|48",
                                              "KT482_Print : E_String|Bad file name or number|48"}));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(job.Answer(), Variant(7));
    EXPECT_EQ(job.LastFailure().number, 52);

    // An empty handler gives the messages back to the box.
    EXPECT_TRUE(KT482_Print::SetMessageHandler({}));
    job.E_String(2, 1, "y");
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(sink.messages.size(), 1u);
}

TEST_F(HostMessagesTest, HandlerServesOnlyTheThreadThatInstalledIt)
{
    int handled = 0;
    KT482_Print::SetMessageHandler([&](const Message&) { return ++handled, 1; });
    std::thread other([&] {
        MessageSink other_sink;
        FakePrinters other_printers;
        ScopedServices quiet(&other_sink, &other_printers, nullptr);
        KT482_Print job;
        job.P_Temp_Dir(dir + "/missing");
        job.E_StartEdit();
        EXPECT_EQ(other_sink.messages.size(), 1u);
    });
    other.join();
    KT482_Print::SetMessageHandler({});
    EXPECT_EQ(handled, 0);
}

}  // namespace
}  // namespace kt482::test
