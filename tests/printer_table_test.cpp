// The printer table: offsets read from the host's printers.json, a damaged
// or linked file refused and left as it was, and SetPrintOffset's limits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>

#include "kt482/kt482.h"
#include "print/printer_table.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"
#include "support/picture_files.h"
#include "support/spool_fixture.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;

struct TableCase {
    const char* name;
    const char* text;
    bool ok;
    std::optional<PrintOffset> offset;  // for the queue "office"
};

class PrinterTableText : public testing::TestWithParam<TableCase> {};

TEST_P(PrinterTableText, GivesTheQueuesOffsetOrTheDamage)
{
    const TableCase& c = GetParam();
    const auto read = offset_in_table(c.text, "office");
    ASSERT_EQ(read.ok(), c.ok) << (read.ok() ? "" : read.failure().description);
    if (!c.ok) {
        EXPECT_TRUE(read.failure().is(ErrorNumber::InvalidFileFormat));
        return;
    }
    ASSERT_EQ(read->has_value(), c.offset.has_value());
    if (c.offset) {
        EXPECT_FLOAT_EQ((*read)->x_mm, c.offset->x_mm);
        EXPECT_FLOAT_EQ((*read)->y_mm, c.offset->y_mm);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PrinterTableText,
    testing::Values(TableCase{"Stored", R"({"printers":{"office":{"offset_mm":[0.4,-1.5]}}})", true, PrintOffset{0.4f, -1.5f}},
                    TableCase{"AtTheLimit", R"({"printers":{"office":{"offset_mm":[-20,20]}}})", true, PrintOffset{-20, 20}},
                    TableCase{"OtherQueueOnly", R"({"printers":{"hall":{"offset_mm":[1,1]}}})", true, std::nullopt},
                    TableCase{"EntryWithoutOffset", R"({"printers":{"office":{"note":"x"}}})", true, std::nullopt},
                    TableCase{"EmptyObject", "{}", true, std::nullopt},
                    TableCase{"NotJson", "{\"printers\": {", false, std::nullopt},
                    TableCase{"Empty", "", false, std::nullopt},
                    TableCase{"TopLevelArray", "[1,2]", false, std::nullopt},
                    TableCase{"PrintersNotObject", R"({"printers":[]})", false, std::nullopt},
                    TableCase{"OneNumber", R"({"printers":{"office":{"offset_mm":[1]}}})", false, std::nullopt},
                    TableCase{"Texts", R"({"printers":{"office":{"offset_mm":["1","2"]}}})", false, std::nullopt},
                    TableCase{"BeyondLimit", R"({"printers":{"office":{"offset_mm":[20.5,0]}}})", false, std::nullopt},
                    TableCase{"Huge", R"({"printers":{"office":{"offset_mm":[1e300,0]}}})", false, std::nullopt},
                    TableCase{"EntryNotObject", R"({"printers":{"office":3}})", false, std::nullopt}),
    [](const testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class PrinterTableFile : public testing::Test {
protected:
    test::TempFolder folder_;
    std::string path_ = folder_.path() + "/kt482/printers.json";
};

// Storing keeps every other queue and every key it does not know, and the
// folder is made when missing.
TEST_F(PrinterTableFile, StoresBesideWhatItHeld)
{
    ASSERT_TRUE(store_print_offset(path_, "office", {0.5f, -0.25f}).ok());
    fs::create_directories(fs::path(path_).parent_path());
    {
        std::ofstream(path_) << R"({"version":7,"printers":{"hall":{"offset_mm":[1,2],"tray":"manual"},"office":{"offset_mm":[0,0]}}})";
    }
    ASSERT_TRUE(store_print_offset(path_, "office", {-3.5f, 4}).ok());
    const std::string text = contents(path_);
    EXPECT_NE(text.find("\"version\": 7"), std::string::npos) << text;
    EXPECT_NE(text.find("\"tray\": \"manual\""), std::string::npos) << text;
    const auto office = stored_print_offset(path_, "office");
    ASSERT_TRUE(office.ok() && office->has_value());
    EXPECT_FLOAT_EQ((*office)->x_mm, -3.5f);
    EXPECT_FLOAT_EQ((*office)->y_mm, 4);
    const auto hall = stored_print_offset(path_, "hall");
    ASSERT_TRUE(hall.ok() && hall->has_value());
    EXPECT_FLOAT_EQ((*hall)->y_mm, 2);
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path_).parent_path()), fs::directory_iterator()), 1);
}

// A damaged file, a link and an offset out of range are refused, and the
// file stays byte for byte what it was.
TEST_F(PrinterTableFile, RefusalsLeaveTheFileAsItWas)
{
    fs::create_directories(fs::path(path_).parent_path());
    const std::string damaged = R"({"printers":{"hall":{"offset_mm":[1,2]}},"office":)";
    { std::ofstream(path_) << damaged; }
    const Status refused = store_print_offset(path_, "office", {1, 1});
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.failure().is(ErrorNumber::InvalidFileFormat)) << refused.failure().description;
    EXPECT_EQ(contents(path_), damaged);
    EXPECT_FALSE(stored_print_offset(path_, "hall").ok());

    const std::string elsewhere = folder_.path() + "/elsewhere.json";
    { std::ofstream(elsewhere) << R"({"printers":{}})"; }
    fs::remove(path_);
    fs::create_symlink(elsewhere, path_);
    EXPECT_TRUE(stored_print_offset(path_, "office").failure().is(ErrorNumber::PathFileAccessError));
    EXPECT_FALSE(store_print_offset(path_, "office", {1, 1}).ok());
    EXPECT_EQ(contents(elsewhere), R"({"printers":{}})");
    EXPECT_TRUE(fs::is_symlink(path_));

    fs::remove(path_);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (auto [x, y] : {std::pair{20.01f, 0.0f}, std::pair{0.0f, -21.0f}, std::pair{nan, 0.0f}}) {
        EXPECT_TRUE(store_print_offset(path_, "office", {x, y}).failure().is(ErrorNumber::InvalidPropertyValue));
        EXPECT_FALSE(fs::exists(path_));
    }
}

class StationeryMembers : public test::SpoolTest {
protected:
    StationeryMembers() { job.W_Device("Office Laser"); }

    test::TempFolder config_;
    test::ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
    KT482_Print job;
};

// Each bad value is the member's own failure, with its number, and changes
// nothing; the recording printer of the tests has no offsets, trays or jobs.
TEST_F(StationeryMembers, BadValuesAreClearFailures)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* what;
        std::function<void()> call;
        int32_t number;
    };
    const Row rows[] = {
        {"offset beyond 20 mm", [&] { job.SetPrintOffset(20.5f, 0); }, 380},
        {"offset not a number", [&] { job.SetPrintOffset(0, nan); }, 380},
        {"offset on a printer that cannot move", [&] { job.SetPrintOffset(1, 1); }, 438},
        {"source on a printer without trays", [&] { job.P_PRT_Source("manual"); }, 438},
        {"no source asked", [&] { job.P_PRT_Source(""); }, 0},
        {"wait of no number", [&] { (void)job.WaitForJob(1, nan); }, 5},
        {"job state without a print server", [&] { (void)job.JobState(1); }, 438},
        {"late-bound offset", [&] { (void)job.Invoke("SetPrintOffset", MemberKind::Method, {21.0f, 0}); }, 380},
        {"late-bound by identifier", [&] { (void)job.Invoke(0x600300A0, MemberKind::Method, {0, -30}); }, 380},
        {"background not a picture", [&] { job.V_Background(dir + "/notes.txt"); }, 481},
        {"background a damaged PDF", [&] { job.V_Background(dir + "/form.pdf"); }, 481},
        {"background missing", [&] { job.V_Background(dir + "/none.png"); }, 53},
    };
    test::write_file(dir + "/notes.txt", {'n', 'o', 'p', 'e'});
    test::write_file(dir + "/form.pdf", {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n', '%', '%'});
    for (const Row& row : rows) {
        job.ClearLastFailure();
        row.call();
        EXPECT_EQ(job.LastFailure().number, row.number) << row.what << ": " << job.LastFailure().description;
    }
    EXPECT_EQ(job.P_PRT_Source(), "");
    EXPECT_EQ(job.LastJobId(), 0);
    EXPECT_EQ(job.Invoke("LastJobId", MemberKind::Method).value, Variant(0));
}

// The kt482 command's members, for a spool recorded elsewhere and the
// alignment sheet: a bad value is the member's own failure and changes
// nothing; a good range becomes the object's pages.
TEST_F(StationeryMembers, RecordedPagesAndAlignmentSheetRefuseBadValues)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const int16_t min_page = job.P_Min_Page();
    const int16_t max_page = job.P_Max_Page();
    struct Row {
        const char* what;
        std::function<void()> call;
    };
    const Row rows[] = {
        {"no page 0", [&] { job.UseRecordedPages(0, 3); }},
        {"last before first", [&] { job.UseRecordedPages(4, 3); }},
        {"past page 9999", [&] { job.UseRecordedPages(1, 10000); }},
        {"late-bound pages", [&] { (void)job.Invoke(0x600300C0, MemberKind::Method, {-1, 2}); }},
        {"sheet without width", [&] { job.PrintAlignmentSheet(0, 297); }},
        {"sheet of no height", [&] { job.PrintAlignmentSheet(210, nan); }},
        {"late-bound sheet", [&] { (void)job.Invoke("PrintAlignmentSheet", MemberKind::Method, {210.0f, -1.0f}); }},
    };
    for (const Row& row : rows) {
        job.ClearLastFailure();
        row.call();
        EXPECT_EQ(job.LastFailure().number, 380) << row.what << ": " << job.LastFailure().description;
    }
    EXPECT_EQ(job.P_Min_Page(), min_page);
    EXPECT_EQ(job.P_Max_Page(), max_page);

    job.ClearLastFailure();
    job.UseRecordedPages(3, 7);
    EXPECT_EQ(job.LastFailure().number, 0) << job.LastFailure().description;
    EXPECT_EQ(job.P_Min_Page(), 3);
    EXPECT_EQ(job.P_Max_Page(), 7);
}

// A damaged table is said once at the selection, the printer is selected
// all the same and the table is left as it was.
TEST_F(StationeryMembers, DamagedTableIsReportedAndIgnored)
{
    const std::string path = printer_table_path();
    fs::create_directories(fs::path(path).parent_path());
    { std::ofstream(path) << "{\"printers\": {\"Office Laser\": "; }
    sink.messages.clear();
    job.W_Device("Office Laser");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].text.find("damaged"), std::string::npos) << sink.messages[0].text;
    EXPECT_EQ(job.LastFailure().number, 0);
    EXPECT_TRUE(printers.opened);
    EXPECT_EQ(contents(path), "{\"printers\": {\"Office Laser\": ");
}

}  // namespace
}  // namespace kt482
