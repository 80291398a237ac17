#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "kt482/kt482.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

class EditingSessionTest : public SpoolTest {
protected:
    EditingSessionTest() { job.P_Temp_Dir(dir); }

    KT482_Print job;
};

TEST_F(EditingSessionTest, StartWithoutArgumentsOpensPageOneAndClearsOldFiles)
{
    std::ofstream(page_path(5)) << "old";
    std::ofstream(dir + "/other.tmp") << "keep";
    job.E_StartEdit();
    EXPECT_EQ(job.P_CurrPage(), 1);
    EXPECT_FALSE(page_exists(5));
    EXPECT_TRUE(page_exists(1));
    EXPECT_TRUE(std::filesystem::exists(dir + "/other.tmp"));
    EXPECT_FALSE(job.P_CheckEnd());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EditingSessionTest, StartRejectsPageNumbersOutsideOneTo9999)
{
    job.E_StartEdit(10000, -5, 0);
    EXPECT_EQ(job.P_CurrPage(), 1);
    job.E_String(1, 1, "x");
    job.E_ChangePage(9999);
    EXPECT_EQ(job.P_CurrPage(), 9999);  // the window is 1..9999
    job.E_ChangePage();
    EXPECT_EQ(job.P_CurrPage(), 10000);
    EXPECT_TRUE(job.P_CheckEnd());
}

TEST_F(EditingSessionTest, PagesWithDrawingAreKeptAndWidenTheBounds)
{
    job.E_StartEdit();
    job.E_String(1, 1, "one");
    job.E_ChangePage();
    job.E_Pitch(15, 6);  // settings alone do not keep a page
    job.E_ChangePage();
    job.E_Line(1, 1, 2, 2);
    job.E_EndEdit();

    EXPECT_TRUE(page_exists(1));
    EXPECT_FALSE(page_exists(2));
    EXPECT_TRUE(page_exists(3));
    EXPECT_EQ(job.P_Min_Page(), 1);
    EXPECT_EQ(job.P_Max_Page(), 3);
    EXPECT_TRUE(job.P_CheckData());
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EditingSessionTest, NullStringKeepsAnEmptyPage)
{
    job.E_StartEdit();
    job.E_String(1, 1, Variant::null());
    job.E_EndEdit();
    EXPECT_TRUE(page_exists(1));
    EXPECT_EQ(file_bytes(page_path(1)), "");
    EXPECT_EQ(job.P_Max_Page(), 1);
    EXPECT_TRUE(job.P_CheckData());
}

TEST_F(EditingSessionTest, RevisitedPageAppendsAndKeepsItsRecords)
{
    job.E_StartEdit(2);
    job.E_String(1, 1, "two");
    job.E_ChangePage(5);
    job.E_String(1, 1, "five");
    job.E_ChangePage(2);
    job.E_String(2, 1, "again");
    job.E_ChangePage(5);  // nothing new on page 5: its records stay
    job.E_EndEdit();

    auto two = read_page(2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].fields[2], "again");
    ASSERT_TRUE(page_exists(5));
    EXPECT_EQ(read_page(5).size(), 1u);
    EXPECT_EQ(job.P_Min_Page(), 2);
    EXPECT_EQ(job.P_Max_Page(), 5);
}

TEST_F(EditingSessionTest, RedundantFinishesNeverDeleteAKeptPage)
{
    job.E_StartEdit();
    job.E_String(1, 1, "one");
    job.E_EndEdit();
    job.E_EndEdit();
    EXPECT_TRUE(page_exists(1));
    EXPECT_TRUE(sink.messages.empty());

    job.E_ChangePage();  // after the end: page 2 opens, page 1 stays
    EXPECT_TRUE(page_exists(1));
    EXPECT_EQ(job.P_CurrPage(), 2);
    job.E_EndEdit();  // page 2 got nothing and goes
    EXPECT_FALSE(page_exists(2));
    EXPECT_EQ(read_page(1).size(), 1u);
}

TEST_F(EditingSessionTest, WindowLimitsRecordingAndEndsTheSession)
{
    job.E_StartEdit(1, 1, 3);
    for (int page = 1; page <= 3; ++page) {
        job.E_String(1, 1, "p");
        job.E_ChangePage();
    }
    EXPECT_EQ(job.P_CurrPage(), 4);
    EXPECT_TRUE(job.P_CheckEnd());
    job.E_String(1, 1, "beyond");
    job.E_ChangePage();
    job.E_EndEdit();
    EXPECT_EQ(job.P_CurrPage(), 4);
    EXPECT_EQ(job.P_Max_Page(), 3);
    EXPECT_TRUE(page_exists(4));
    EXPECT_EQ(file_bytes(page_path(4)), "");
}

TEST_F(EditingSessionTest, PageBeforeTheWindowNeverMovesOn)
{
    job.E_StartEdit(1, 3, 5);
    job.E_String(1, 1, "x");
    job.E_ChangePage();
    EXPECT_EQ(job.P_CurrPage(), 1);
    EXPECT_FALSE(job.P_CheckEnd());
    EXPECT_FALSE(job.P_CheckData());
}

TEST_F(EditingSessionTest, SecondDocumentKeepsTheOldBounds)
{
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_ChangePage();
    job.E_String(1, 1, "b");
    job.E_EndEdit();
    job.E_StartEdit();
    EXPECT_FALSE(page_exists(2));
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(job.P_Max_Page(), 2);
}

TEST_F(EditingSessionTest, StartClosesThePageLeftOpenBySessionBefore)
{
    job.E_StartEdit();
    job.E_String(1, 1, "unfinished");
    job.E_StartEdit();
    EXPECT_TRUE(sink.messages.empty());
    job.E_String(1, 1, "new");
    job.E_EndEdit();
    auto records = read_page(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields[2], "new");
}

TEST_F(EditingSessionTest, ClearDeletesEverythingAndReportsAnEmptySpool)
{
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_EndEdit();
    std::ofstream(dir + "/other.tmp") << "keep";
    job.E_Clear();
    EXPECT_FALSE(page_exists(1));
    EXPECT_TRUE(std::filesystem::exists(dir + "/other.tmp"));
    EXPECT_TRUE(sink.messages.empty());

    job.E_Clear();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : E_Clear");
    EXPECT_EQ(sink.messages[0].text, "File not found");
    EXPECT_EQ(sink.messages[0].buttons, 48);
    EXPECT_EQ(job.Answer(), Variant(1));
}

// One object, two documents: 3 pages, then 1. Between them E_Clear keeps
// the bounds (the second document still runs to page 3); E_NewDocument,
// called directly or late-bound, starts them afresh, and an empty spool is
// no failure to it.
TEST_F(EditingSessionTest, NewDocumentStartsTheBoundsAfreshWhereClearKeepsThem)
{
    using Between = std::function<void(KT482_Print&)>;
    const struct {
        const char* name;
        Between between;
        int16_t min, max;
    } cases[] = {
        {"E_Clear", [](KT482_Print& j) { j.E_Clear(); }, 1, 3},
        {"E_NewDocument", [](KT482_Print& j) { j.E_NewDocument(); }, 1, 1},
        {"late-bound", [](KT482_Print& j) { (void)j.Invoke(0x60030084, MemberKind::Method); }, 1, 1},
    };
    auto record = [&](KT482_Print& j, int pages) {
        j.E_StartEdit();
        for (int page = 1; page <= pages; ++page) {
            if (page > 1)
                j.E_ChangePage();
            j.E_String(1, 1, "x");
        }
        j.E_EndEdit();
    };
    for (const auto& c : cases) {
        KT482_Print j;
        j.P_Temp_Dir(dir);
        record(j, 3);
        c.between(j);
        EXPECT_FALSE(page_exists(2)) << c.name;
        record(j, 1);
        EXPECT_EQ(j.P_Min_Page(), c.min) << c.name;
        EXPECT_EQ(j.P_Max_Page(), c.max) << c.name;
        j.E_Clear();
    }
    KT482_Print fresh;
    fresh.P_Temp_Dir(dir);
    fresh.E_NewDocument();
    EXPECT_EQ(fresh.P_Min_Page(), 10000);
    EXPECT_EQ(fresh.P_Max_Page(), 0);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(EditingSessionTest, MissingFolderIsReportedAndCommandsFailToWrite)
{
    job.P_Temp_Dir(dir + "/missing");
    job.E_StartEdit();
    job.E_String(1, 1, "x");
    EXPECT_EQ(message_titles(), (std::vector<std::string>{"KT482_Print : E_StartEdit", "KT482_Print : E_String"}));
    EXPECT_EQ(sink.messages[0].text, "Path not found");
    EXPECT_EQ(sink.messages[1].text, "Bad file name or number");
    EXPECT_TRUE(job.P_CheckData());  // set before the write failed
}

// A file planted under the next page's name in a folder others can write to
// is refused, and neither it nor the file it leads to takes any record.
enum class Plant { Symlink, HardLink, OtherOwner };

class PlantedPageFileTest : public EditingSessionTest, public ::testing::WithParamInterface<Plant> {};

TEST_P(PlantedPageFileTest, IsRefusedAndLeftUntouched)
{
    const std::string outside = dir + "/outside.txt";
    std::ofstream(outside) << "precious";
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    switch (GetParam()) {
    case Plant::Symlink: std::filesystem::create_symlink(outside, page_path(2)); break;
    case Plant::HardLink: std::filesystem::create_hard_link(outside, page_path(2)); break;
    case Plant::OtherOwner:
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can plant a file of another user";
        std::ofstream(page_path(2)) << "precious";
        ASSERT_EQ(::chown(page_path(2).c_str(), 65534, 65534), 0);
        break;
    }
    job.E_ChangePage();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : E_ChangePage");
    EXPECT_EQ(sink.messages[0].text, "Path/File access error");
    job.E_String(1, 1, "b");
    EXPECT_EQ(file_bytes(outside), "precious");
    EXPECT_EQ(file_bytes(page_path(2)), "precious");
}

INSTANTIATE_TEST_SUITE_P(Plants, PlantedPageFileTest,
                         ::testing::Values(Plant::Symlink, Plant::HardLink, Plant::OtherOwner),
                         [](const auto& info) {
                             switch (info.param) {
                             case Plant::Symlink: return "Symlink";
                             case Plant::HardLink: return "HardLink";
                             case Plant::OtherOwner: return "OtherOwner";
                             }
                             return "";
                         });

TEST_F(EditingSessionTest, PageFilesAreOwnerOnly)
{
    job.E_StartEdit();
    job.E_String(1, 1, "a");
    job.E_EndEdit();
    auto perms = std::filesystem::status(page_path(1)).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(EditingSessionTest, CommandBeforeAnySessionFailsToWrite)
{
    job.E_String(1, 1, "x");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : E_String");
    EXPECT_EQ(sink.messages[0].text, "Bad file name or number");
}

}  // namespace
}  // namespace kt482::test
