// A process killed while it writes PDF documents leaves only whole PDFs under
// PDF names, in the printer's folder and at a named file alike.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace {

// Every fsync of this process while watched: what was flushed (the file's
// name at that moment) and whether it was a folder.
struct SyncCall {
    std::string path;
    bool folder;
    bool final_name_taken;  // the published name existed at that moment
};
std::vector<SyncCall>* watched_syncs = nullptr;
std::string watched_final_name;

}  // namespace

// Replaces the C library's fsync in this test program, to see what the
// printer flushes and when; it then flushes as the C library would.
extern "C" int fsync(int fd)
{
    if (watched_syncs) {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        std::error_code error;
        const std::string path = std::filesystem::read_symlink(link, error).string();
        struct stat info {};
        ::fstat(fd, &info);
        watched_syncs->push_back(
            {path, S_ISDIR(info.st_mode), std::filesystem::exists(watched_final_name, error)});
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace kt482 {
namespace {

namespace fs = std::filesystem;

constexpr int kPages = 30;

// Writes documents until killed, telling the parent after each page.
[[noreturn]] void write_until_killed(const std::string& folder, bool named, int ticks)
{
    ::setenv("KT482_PDF_DIR", folder.c_str(), 1);
    ::setenv("KT482_PDF_THREADS", "0", 1);
    for (;;) {
        auto printer = named ? PdfPrinter::for_file(folder + "/named.pdf") : PdfPrinter::for_folder();
        for (int page = 0; page < kPages; ++page) {
            for (int row = 0; row < 40; ++row) {
                (void)printer->CurrentY(20.0f + row * 19);
                (void)printer->Print("請求書 " + std::to_string(page * 100 + row), LineEnd::Without);
            }
            if (page + 1 < kPages)
                (void)printer->NewPage();
            if (::write(ticks, "p", 1) != 1)
                ::_exit(1);
        }
        (void)printer->EndDoc();
    }
}

// Killed once this many pages were written (the writer may be further on):
// before the first, inside one, just after the last page (while the
// document ends), inside the next ones.
TEST(PdfPrinterKilled, LeavesOnlyWholePdfsUnderPdfNames)
{
    if (!test::command_output("command -v qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    for (const bool named : {false, true}) {
        for (const int pages : {0, 1, 7, kPages, kPages + 1, 2 * kPages + 13}) {
            const std::string moment = (named ? "named file, " : "folder, ") + std::to_string(pages) + " pages";
            test::TempFolder folder;
            int ticks[2];
            ASSERT_EQ(::pipe(ticks), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0)
                write_until_killed(folder.path(), named, ticks[1]);
            ::close(ticks[1]);
            bool ticking = true;
            char tick;
            for (int seen = 0; seen < pages && ticking; ++seen) {
                pollfd entry{ticks[0], POLLIN, 0};
                ticking = ::poll(&entry, 1, 20000) == 1 && ::read(ticks[0], &tick, 1) == 1;
            }
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            ::close(ticks[0]);
            EXPECT_TRUE(ticking) << moment << ": the writer stopped";
            int pdfs = 0;
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                const std::string name = entry.path().filename().string();
                if (entry.path().extension() == ".pdf") {
                    ++pdfs;
                    EXPECT_EQ(test::qpdf_problems(entry.path().string()), "") << moment << ": " << name;
                } else {
                    EXPECT_TRUE(name[0] == '.' && entry.path().extension() == ".part") << moment << ": " << name;
                }
            }
            if (pages > kPages) {  // the writer may run ahead of the ticks read, never behind
                EXPECT_GE(pdfs, 1) << moment;
            }
        }
    }
}

// What a finished document promises: flushed before it takes its name and
// its folder flushed after, so that a power cut leaves it whole under the
// name; with the flushes turned off, neither is flushed.
struct DurabilityCase {
    const char* name;
    std::optional<std::string> setting;  // $KT482_PDF_SYNC
    bool named;                          // a named file, else the folder
    bool flushed;
};

class PdfDurability : public testing::TestWithParam<DurabilityCase> {};

TEST_P(PdfDurability, FlushesTheFileBeforeItsNameAndTheFolderAfter)
{
    const DurabilityCase& c = GetParam();
    test::TempFolder folder;
    test::ScopedEnv sync("KT482_PDF_SYNC", c.setting);
    test::ScopedEnv pdf_dir("KT482_PDF_DIR", folder.path());
    test::ScopedEnv threads("KT482_PDF_THREADS", "0");
    auto printer = c.named ? PdfPrinter::for_file(folder.path() + "/named.pdf") : PdfPrinter::for_folder();
    ASSERT_TRUE(printer->FontName("ＭＳ 明朝").ok());
    ASSERT_TRUE(printer->Print("請求書", LineEnd::With).ok());
    std::vector<SyncCall> syncs;
    watched_syncs = &syncs;
    watched_final_name = folder.path() + "/named.pdf";
    const bool ended = printer->EndDoc().ok();
    watched_syncs = nullptr;
    ASSERT_TRUE(ended);
    const std::string published = printer->LastOutput();
    ASSERT_TRUE(fs::exists(published)) << published;
    if (!c.flushed) {
        EXPECT_TRUE(syncs.empty()) << syncs.front().path;
        return;
    }
    ASSERT_EQ(syncs.size(), 2u);
    // First the file, under its temporary name, then the folder, once the
    // file has its name.
    EXPECT_FALSE(syncs[0].folder);
    EXPECT_TRUE(fs::equivalent(fs::path(syncs[0].path).parent_path(), folder.path())) << syncs[0].path;
    EXPECT_TRUE(syncs[0].path.ends_with(".part")) << syncs[0].path;
    EXPECT_TRUE(syncs[1].folder);
    EXPECT_TRUE(fs::equivalent(syncs[1].path, folder.path())) << syncs[1].path;
    if (c.named) {
        EXPECT_FALSE(syncs[0].final_name_taken);
        EXPECT_TRUE(syncs[1].final_name_taken);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PdfPrinter, PdfDurability,
    testing::Values(DurabilityCase{"FolderByDefault", std::nullopt, false, true},
                    DurabilityCase{"NamedByDefault", std::nullopt, true, true},
                    DurabilityCase{"NamedWhenAsked", "1", true, true},
                    DurabilityCase{"FolderUnsynced", "0", false, false},
                    DurabilityCase{"NamedUnsynced", "0", true, false}),
    [](const testing::TestParamInfo<DurabilityCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kt482
