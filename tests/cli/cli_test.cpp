// The kt482 command on spool folders recorded by this process: it runs as
// another process, finds the pages from the files, and says clearly what is
// wrong with a bad folder or a damaged page.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "kt482/kt482.h"
#include "support/command_run.h"
#include "support/picture_files.h"

namespace {

namespace fs = std::filesystem;

using kt482::test::CommandRun;

// Standard output and standard error together.
CommandRun kt482_command(const std::string& arguments)
{
    return kt482::test::run_command(std::string(KT482_CLI_PATH) + " " + arguments + " 2>&1");
}

struct Case {
    const char* arguments;  // %s is the test's folder
    int status;
    const char* output;  // a part of what it says
};

class KT482Command : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char base[] = "/tmp/kt482-cli-test-XXXXXX";
        root_ = ::mkdtemp(base);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("KT482_PDF_DIR", root_.c_str(), 1);
        record(root_ + "/good", {"page one", "page two", "page three"});
        record(root_ + "/damaged", {"page one", "page two"});
        // Page 2 cut in the middle of its last record.
        const fs::path page2 = root_ + "/damaged/KT482_PRT_PAGE_0002.tmp";
        fs::resize_file(page2, fs::file_size(page2) - 3);
        fs::create_directories(root_ + "/empty");
        std::ofstream(root_ + "/plain-file") << "not a folder";
        fs::create_directory_symlink(root_ + "/good", root_ + "/link");
        // A page kept by a null text: nothing on it draws.
        fs::create_directories(root_ + "/blank");
        kt482::KT482_Print blank;
        blank.P_Temp_Dir(root_ + "/blank");
        blank.E_StartEdit();
        blank.E_String(2, 3, kt482::Variant::null());
        blank.E_EndEdit();
        record_additions(root_ + "/additions");
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    static void record(const std::string& folder, const std::vector<std::string>& pages)
    {
        fs::create_directories(folder);
        kt482::KT482_Print job;
        job.P_Temp_Dir(folder);
        job.E_StartEdit();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i)
                job.E_ChangePage();
            job.E_Pitch(15, 6);
            job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
            job.E_String(2, 3, pages[i]);
        }
        job.E_EndEdit();
    }

    // One page with every host addition; the barcode's data holds a NUL.
    static void record_additions(const std::string& folder)
    {
        fs::create_directories(folder);
        kt482::test::write_file(folder + "/logo.png", kt482::test::png_bytes(2, 2, 3, kt482::test::solid(2, 2, {9, 8, 7})));
        kt482::KT482_Print job;
        job.P_Temp_Dir(folder);
        job.E_StartEdit();
        job.E_Image(1, 2, 4, 10, folder + "/logo.png", 1);
        job.E_Fill(5, 6, 7, 8.5f, 0x12AB00);
        job.E_Color(0xFF0000);
        job.E_Barcode(9, 1, 12, 20, "QR", std::string("A\0B\\\"", 5), "ecc=H");
        job.E_EndEdit();
    }

    // Each case's command run in the test's folder: its exit status, and
    // a part of what it says.
    static void expect_answers(std::span<const Case> cases)
    {
        for (const Case& c : cases) {
            std::string arguments = c.arguments;
            for (std::size_t at; (at = arguments.find("%s")) != std::string::npos;)
                arguments.replace(at, 2, root_);
            const CommandRun run = kt482_command(arguments);
            EXPECT_EQ(run.status, c.status) << arguments << "\n" << run.out;
            EXPECT_NE(run.out.find(c.output), std::string::npos) << arguments << "\n" << run.out;
        }
    }

    static inline std::string root_;
};

TEST_F(KT482Command, AnswersEachCaseWithItsStatusAndMessage)
{
    const Case cases[] = {
        {"dump %s/good", 0, "  ST   row 2.000  col 3.000  text \"page two\""},
        {"dump %s/additions", 0, "  IMG  from row 1.000  col 2.000  to row 4.000  col 10.000  fit 1  file \""},
        {"dump %s/additions", 0, "/additions/logo.png\"\n"},
        {"dump %s/additions", 0, "  FIL  from row 5.000  col 6.000  to row 7.000  col 8.500  colour 12AB00\n"},
        {"dump %s/additions", 0, "  COL  colour FF0000\n"},
        {"dump %s/additions", 0,
         "  BAR  from row 9.000  col 1.000  to row 12.000  col 20.000  type \"QR;ecc=H\"  data \"A\\x00B\\\\\\\"\"\n"},
        {"dump %s/good 3", 0, "page 3\n  PT   row pitch 15.000  col pitch 6.000"},
        {"dump %s/good 4", 1, "no page 4"},
        {"dump %s/damaged", 1, "KT482_PRT_PAGE_0002.tmp: record 3: "},
        {"pdf %s/damaged %s/damaged.pdf", 1, "KT482_PRT_PAGE_0002.tmp: record 3: "},
        {"pdf %s/damaged %s/first.pdf --pages 1-1", 0, ""},
        {"dump %s/missing", 2, "missing: no such folder"},
        {"dump %s/plain-file", 2, "plain-file: not a folder"},
        {"dump %s/link", 2, "link: a symbolic link"},
        {"pdf %s/empty %s/x.pdf", 2, "empty: no page files"},
        {"pdf %s/blank %s/blank.pdf", 1, "draws anything"},
        {"pdf %s/good", 2, "needs SPOOLDIR and OUT.pdf"},
        {"pdf %s/good %s/x.pdf --pages 3-2", 2, "--pages needs a page range"},
        {"pdf %s/good %s/x.pdf --paper A4", 2, "--paper needs a paper code"},
        {"pdf %s/good %s/x.pdf --attach data.json", 2, "--attach needs FILE:MIME:RELATIONSHIP"},
        {"pdf %s/good %s/x.pdf --permissions print,fly", 2, "--permissions needs a list"},
        {"pdf %s/good %s/x.pdf --attach %s/none.json:application/json:Data", 1, "AttachFile"},
        {"pdf %s/good %s/x.pdf --timestamp https://tsa.example/", 1, "SetPdfTimestamp"},
        {"print %s/good", 2, "print needs --printer NAME"},
        {"print %s/good --printer \"no such printer\"", 1, "kt482: KT482_Print : "},
        {"frobnicate %s/good", 2, "unknown command frobnicate"},
        {"dump %s/good --landscape", 2, "dump takes no output options"},
        {"preview %s/good", 1, "needs a display"},
        {"pdf --help", 0, "usage: kt482 pdf SPOOLDIR OUT.pdf"},
        {"print --help", 0, "--printer NAME"},
        {"preview --help", 0, "usage: kt482 preview"},
        {"dump --help", 0, "usage: kt482 dump SPOOLDIR [PAGE]"},
        {"--help", 0, "commands:"},
    };
    expect_answers(cases);
}

TEST_F(KT482Command, WritesTheRecordedPagesIntoOnePdf)
{
    const std::string out = root_ + "/good.pdf";
    const CommandRun run = kt482_command("pdf " + root_ + "/good " + out + " --pages 2-3 --landscape");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string extracted = kt482::test::run_command("pdftotext -layout " + out + " - 2>&1").out;
    EXPECT_EQ(extracted.find("page one"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("page two"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("page three"), std::string::npos) << extracted;
}

// The paper, offset, source and kind options: every value no printer or
// queue takes is bad input (2) with the values that are taken.
TEST_F(KT482Command, StationeryOptionsRefuseWhatNoPrinterTakes)
{
    const Case cases[] = {
        {"pdf %s/good %s/x.pdf --paper 999", 2, "\n  41 German legal fanfold\n"},
        {"pdf %s/good %s/x.pdf --paper 24", 2, "256 a size of your own"},
        {"pdf %s/good %s/x.pdf --paper 256", 2, "--paper 256 needs --width-mm and --height-mm"},
        {"pdf %s/good %s/x.pdf --paper 256 --width-mm 110", 2, "--paper 256 needs --width-mm and --height-mm"},
        {"pdf %s/good %s/x.pdf --width-mm 110 --height-mm 220", 2, "belong to --paper 256"},
        {"pdf %s/good %s/x.pdf --paper 256 --width-mm 0 --height-mm 220", 2, "--width-mm needs a length"},
        {"pdf %s/good %s/x.pdf --offset 1,1", 2, "belong to the print and calibrate commands"},
        {"preview %s/good --source manual", 2, "belong to the print and calibrate commands"},
        {"print %s/good --printer \"KT482 PDF\" --offset 20.5,0", 2, "each from -20 to 20"},
        {"print %s/good --printer \"KT482 PDF\" --offset nan,0", 2, "each from -20 to 20"},
        {"print %s/good --printer \"KT482 PDF\" --offset 1", 2, "--offset needs X,Y"},
        {"print %s/good --printer \"KT482 PDF\" --source manual", 2, "no paper sources or kinds"},
        {"print %s/good --printer \"KT482 PDF\" --media-type", 2, "--media-type needs a name"},
        {"calibrate", 2, "needs QUEUE"},
        {"calibrate a b", 2, "too many arguments"},
        {"calibrate --help", 0, "alignment sheet"},
    };
    expect_answers(cases);
}

TEST_F(KT482Command, PaperOfOwnSizeIsThePdfsPage)
{
    const std::string out = root_ + "/envelope.pdf";
    const CommandRun run =
        kt482_command("pdf " + root_ + "/good " + out + " --paper 256 --width-mm 110 --height-mm 220 --pages 1");
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string info = kt482::test::run_command("pdfinfo " + out + " 2>&1").out;
    double width = 0;
    double height = 0;
    const auto at = info.find("Page size:");
    ASSERT_NE(at, std::string::npos) << info;
    ASSERT_EQ(std::sscanf(info.c_str() + at, "Page size: %lf x %lf", &width, &height), 2) << info;
    EXPECT_NEAR(width, 110 * 72 / 25.4, 1.0) << info;
    EXPECT_NEAR(height, 220 * 72 / 25.4, 1.0) << info;
}

// The offset goes into the table beside what it held; a damaged table is
// refused and stays as it was.
TEST_F(KT482Command, CalibrateStoresTheOffsetAndKeepsADamagedTable)
{
    const std::string config = root_ + "/config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    fs::create_directories(config + "/kt482");
    const std::string table = config + "/kt482/printers.json";
    std::ofstream(table) << R"({"printers":{"hall":{"offset_mm":[1,2]}}})";
    CommandRun run = kt482_command("calibrate office --offset 0.5,-1");
    EXPECT_EQ(run.status, 0) << run.out;
    std::stringstream stored;
    stored << std::ifstream(table).rdbuf();
    EXPECT_NE(stored.str().find("\"hall\""), std::string::npos) << stored.str();
    EXPECT_NE(stored.str().find("\"office\": {\n      \"offset_mm\": [\n        0.5,\n        -1.0"),
              std::string::npos)
        << stored.str();

    const std::string damaged = R"({"printers":{"hall":)";
    std::ofstream(table, std::ios::trunc) << damaged;
    run = kt482_command("calibrate office --offset 1,1");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("damaged"), std::string::npos) << run.out;
    std::stringstream kept;
    kept << std::ifstream(table).rdbuf();
    EXPECT_EQ(kept.str(), damaged);
    ::unsetenv("XDG_CONFIG_HOME");
}

// The protection options: the data attached to an archived file, or the
// file encrypted with the password from the environment.
TEST_F(KT482Command, AttachesDataToAnArchivedFileOrEncryptsIt)
{
    std::ofstream(root_ + "/data.json") << R"({"invoice":"0001"})";
    const std::string archived = root_ + "/archived.pdf";
    CommandRun run = kt482_command("pdf " + root_ + "/good " + archived + " --archive --attach " + root_
                                   + "/data.json:application/json:Data");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(kt482::test::run_command("pdfdetach -list " + archived + " 2>&1").out.find("data.json"), std::string::npos);

    const std::string encrypted = root_ + "/encrypted.pdf";
    ::setenv("KT482_PDF_USER_PASSWORD", "secret", 1);
    run = kt482_command("pdf " + root_ + "/good " + encrypted + " --encrypt --permissions print,copy");
    ::unsetenv("KT482_PDF_USER_PASSWORD");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(std::system(("qpdf --check --password=secret " + encrypted + " >/dev/null 2>&1").c_str()), 0);
    EXPECT_NE(std::system(("qpdf --check " + encrypted + " >/dev/null 2>&1").c_str()), 0);
}

}  // namespace
