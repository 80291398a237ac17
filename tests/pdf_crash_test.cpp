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

constexpr int kPagesPerDocument = 30;

// Writes documents one after the other until killed, telling the parent
// through the pipe after each page.
[[noreturn]] void write_until_killed(const std::string& folder, bool named, int pipe_end)
{
    ::setenv("KT482_PDF_DIR", folder.c_str(), 1);
    ::setenv("KT482_PDF_THREADS", "0", 1);
    for (;;) {
        auto printer = named ? PdfPrinter::forFile(folder + "/named.pdf") : PdfPrinter::forFolder();
        for (int page = 0; page < kPagesPerDocument; ++page) {
            for (int row = 0; row < 40; ++row) {
                (void)printer->CurrentX(40);
                (void)printer->CurrentY(20.0f + row * 19);
                (void)printer->Print("請求書 page " + std::to_string(page) + " row " + std::to_string(row),
                                     LineEnd::Without);
            }
            if (page + 1 < kPagesPerDocument)
                (void)printer->NewPage();
            const char tick = 'p';
            if (::write(pipe_end, &tick, 1) != 1)
                ::_exit(1);
        }
        (void)printer->EndDoc();
    }
}

TEST(PdfPrinterKilled, LeavesOnlyWholePdfsUnderPdfNames)
{
    if (!test::command_output("command -v qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    // Killed after this many pages: in the first page, in the middle of a
    // document, just after its last page (while it ends), in the next one.
    for (const bool named : {false, true}) {
        for (const int pages : {0, 1, 7, kPagesPerDocument, kPagesPerDocument + 1, 2 * kPagesPerDocument + 13}) {
            test::TempFolder folder;
            int ticks[2];
            ASSERT_EQ(::pipe(ticks), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(ticks[0]);
                write_until_killed(folder.path(), named, ticks[1]);
            }
            ::close(ticks[1]);
            bool ticking = true;
            for (int seen = 0; seen < pages && ticking; ++seen) {
                pollfd entry{ticks[0], POLLIN, 0};
                char tick;
                ticking = ::poll(&entry, 1, 20000) == 1 && ::read(ticks[0], &tick, 1) == 1;
            }
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            ::close(ticks[0]);
            const std::string moment = (named ? "named file, " : "folder, ") + std::to_string(pages) + " pages";
            EXPECT_TRUE(ticking) << moment << ": the writer stopped";
            EXPECT_TRUE(WIFSIGNALED(status)) << moment;
            int pdfs = 0;
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                const std::string name = entry.path().filename().string();
                if (entry.path().extension() == ".pdf") {
                    ++pdfs;
                    EXPECT_EQ(test::qpdf_problems(entry.path().string()), "") << moment << ": " << name;
                } else {
                    // A temporary left over: hidden, and not named as a PDF.
                    EXPECT_TRUE(name.front() == '.' && entry.path().extension() == ".part") << moment << ": " << name;
                }
            }
            if (pages > kPagesPerDocument) {
                EXPECT_GE(pdfs, 1) << moment << ": the first document was complete";
            }
        }
    }
}

}  // namespace
}  // namespace kt482
