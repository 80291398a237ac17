// A process killed while it writes PDF documents leaves only whole PDFs under
// PDF names, in the printer's folder and at a named file alike.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/poppler.h"

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
        auto printer = named ? PdfPrinter::forFile(folder + "/named.pdf") : PdfPrinter::forFolder();
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

}  // namespace
}  // namespace kt482
