#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using JobObjectTest = SpoolTest;

TEST_F(JobObjectTest, CreationTakesThePrinterAndTheFixedDefaults)
{
    KT482_Print job;
    EXPECT_EQ(job.P_PaperSize(), 9);
    EXPECT_EQ(job.P_Orientation(), 1);
    EXPECT_EQ(job.P_PRT_Copy(), 1);
    EXPECT_EQ(job.P_Bairitu(), 1.0f);
    EXPECT_EQ(job.P_TopMargin(), 10.0f);
    EXPECT_EQ(job.P_LeftMargin(), 10.0f);
    EXPECT_EQ(job.P_RowPitch(), 15.0f);
    EXPECT_EQ(job.P_ColPitch(), 6.0f);
    EXPECT_EQ(job.P_CurrPage(), 0);
    EXPECT_EQ(job.P_Min_Page(), 10000);
    EXPECT_EQ(job.P_Max_Page(), 0);
    EXPECT_EQ(job.P_Temp_Dir(), "");
    EXPECT_FALSE(job.P_CheckEnd());
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(job.P_PRINT(), nullptr);
    const JobState& s = kt482::job();
    EXPECT_EQ(s.DeviceName, "Office Laser");
    EXPECT_EQ(s.PageHeight, 841.9f);
    EXPECT_EQ(s.PageWidth, 595.3f);
    EXPECT_EQ(s.FontSize, 10.5f);
    EXPECT_EQ(s.PrinterOption, 600);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(JobObjectTest, PrinterFailureIsReportedButDefaultsAreSet)
{
    printers.fail = true;
    KT482_Print job;
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : Class_Initialize");
    EXPECT_EQ(sink.messages[0].text, "No printers are installed");
    EXPECT_EQ(job.P_Bairitu(), 1.0f);
    EXPECT_FALSE(job.P_CheckEnd());
    EXPECT_EQ(job.P_Min_Page(), 10000);
}

TEST_F(JobObjectTest, PropertySettersIgnoreInvalidValues)
{
    KT482_Print job;
    job.P_Bairitu(0.2f);
    EXPECT_EQ(job.P_Bairitu(), 0.2f);
    job.P_Bairitu(5);
    EXPECT_EQ(job.P_Bairitu(), 5.0f);
    job.P_Bairitu(0.19f);
    job.P_Bairitu(5.01f);
    EXPECT_EQ(job.P_Bairitu(), 5.0f);

    job.P_PRT_Copy(99);
    for (int16_t bad : {0, 100, -1})
        job.P_PRT_Copy(bad);
    EXPECT_EQ(job.P_PRT_Copy(), 99);

    job.P_TopMargin(0);
    job.P_TopMargin(-0.5f);
    EXPECT_EQ(job.P_TopMargin(), 0.0f);
    job.P_LeftMargin(12.5f);
    job.P_LeftMargin(-1);
    EXPECT_EQ(job.P_LeftMargin(), 12.5f);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        job.P_TopMargin(bad);
        job.P_LeftMargin(bad);
        job.P_Bairitu(bad);
    }
    EXPECT_EQ(job.P_TopMargin(), 0.0f);
    EXPECT_EQ(job.P_LeftMargin(), 12.5f);
    EXPECT_EQ(job.P_Bairitu(), 5.0f);

    job.P_Temp_Dir("/some/dir/");
    EXPECT_EQ(job.P_Temp_Dir(), "/some/dir/");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(JobObjectTest, SecondObjectResetsTheSharedState)
{
    KT482_Print first;
    first.P_Temp_Dir(dir);
    first.P_TopMargin(3);
    first.E_StartEdit(4);
    first.E_String(1, 1, "x");
    first.E_EndEdit();
    ASSERT_EQ(first.P_Max_Page(), 4);

    KT482_Print second;
    EXPECT_EQ(first.P_CurrPage(), 0);
    EXPECT_EQ(first.P_Min_Page(), 10000);
    EXPECT_EQ(first.P_Max_Page(), 0);
    EXPECT_EQ(first.P_TopMargin(), 10.0f);
    EXPECT_EQ(first.P_Temp_Dir(), "");
    // Each object keeps its own data flag.
    EXPECT_TRUE(first.P_CheckData());
    EXPECT_FALSE(second.P_CheckData());
}

TEST_F(JobObjectTest, EachThreadHasItsOwnJobState)
{
    KT482_Print job;
    job.P_TopMargin(7);
    float other_thread_margin = -1;
    std::thread([&] {
        ScopedServices quiet(&sink, &printers, nullptr);
        KT482_Print other;
        other.P_TopMargin(3);
        other_thread_margin = other.P_TopMargin();
    }).join();
    EXPECT_EQ(other_thread_margin, 3.0f);
    EXPECT_EQ(job.P_TopMargin(), 7.0f);
}

}  // namespace
}  // namespace kt482::test

namespace kt482::test {
namespace {

// A host's static object is destroyed after the thread's job state at exit;
// its destruction must leave the state alone (the sanitizer run catches a
// use after free here).
TEST(JobObjectLifetime, ObjectDestroyedAfterTheThreadsJobState)
{
    float margin = 0;
    std::thread([&] {
        // Constructed before the thread's job state, so destroyed after it.
        thread_local std::unique_ptr<KT482_Print> late;
        MessageSink sink;
        FakePrinters printers;
        ScopedServices quiet(&sink, &printers, nullptr);
        late = std::make_unique<KT482_Print>();
        margin = late->P_TopMargin();
    }).join();
    EXPECT_EQ(margin, 10.0f);
}

}  // namespace
}  // namespace kt482::test
