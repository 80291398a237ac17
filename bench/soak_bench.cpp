// A long-running host on one thread: 10,000 jobs of three pages, each
// recorded (a page change after every page) and printed to the built-in PDF printer (E_StartEdit ... E_EndEdit,
// W_Device "KT482 PDF", W_StartDoc, W_Print, W_EndDoc), on one object.
//
//   kt482_bench_soak [jobs]
//
// After 100, 1,000 and 10,000 jobs (and every tenfold beyond) it prints the
// process's open descriptors, its peak and current resident size, and the
// jobs per second since the last line. A host that prints for days needs the
// descriptors and the memory flat: the last line compares them with the line
// at 100 jobs. The spool and the PDF files live in a folder under /var/tmp
// (the PDFs are deleted after each job), as /tmp may be a small tmpfs.

#include <dirent.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "bench_support.h"
#include "kt482/kt482.h"

namespace {

using Clock = std::chrono::steady_clock;

int open_descriptors()
{
    int count = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        ::closedir(fds);
        --count;  // the listing's own descriptor
    }
    return count;
}

// Three pages in an editing window of three, as a host writes them that
// changes the page after every page it fills: the last change opens a page
// past the window, which E_EndEdit finishes.
void record_job(kt482::KT482_Print& job, int number)
{
    job.E_StartEdit(0, 0, 3);
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    for (int page = 1; page <= 3; ++page) {
        job.E_String(2, 3, "請求書 " + std::to_string(number) + " / " + std::to_string(page));
        job.E_Numeric(4, 30, 1234567.891 + number, "#,##0.00");
        job.E_Keisen(6, 2, 10, 60);
        job.E_ChangePage();
    }
    job.E_EndEdit();
}

void remove_pdfs(const std::string& folder)
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        std::filesystem::remove(entry.path(), ignored);
}

struct Line {
    int fds;
    long peak_kb;
    long rss_kb;
};

}  // namespace

int main(int argc, char** argv)
{
    const long jobs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    if (jobs < 1) {
        std::fprintf(stderr, "usage: %s [jobs]\n", argv[0]);
        return 2;
    }
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/var/tmp/kt482-soak-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = pattern;
    const std::string spool = root + "/spool";
    const std::string pdfs = root + "/pdf";
    std::filesystem::create_directories(spool);
    std::filesystem::create_directories(pdfs);
    ::setenv("KT482_PDF_DIR", pdfs.c_str(), 1);

    kt482::KT482_Print job;
    job.P_Temp_Dir(spool);
    std::printf("%8s %6s %14s %12s %10s\n", "jobs", "fds", "peak_rss_kB", "rss_kB", "jobs/s");
    Line first{};
    Line last{};
    long next_report = 100;
    long reported = 0;
    auto since = Clock::now();
    for (long n = 1; n <= jobs; ++n) {
        record_job(job, static_cast<int>(n));
        job.W_Device("KT482 PDF");
        job.W_StartDoc(9, 1);
        job.W_Print();
        job.W_EndDoc();
        remove_pdfs(pdfs);
        if (n == next_report || n == jobs) {
            const double seconds = std::chrono::duration<double>(Clock::now() - since).count();
            last = {open_descriptors(), kt482::bench::peak_rss_kb(), kt482::bench::current_rss_kb()};
            if (reported == 0)
                first = last;
            std::printf("%8ld %6d %14ld %12ld %10.1f\n", n, last.fds, last.peak_kb, last.rss_kb,
                        static_cast<double>(n - reported) / seconds);
            std::fflush(stdout);
            reported = n;
            since = Clock::now();
            if (n == next_report)
                next_report *= 10;
        }
    }
    job.E_Clear();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    std::printf("from the first line to the last: descriptors %+d, peak resident size %+ld kB\n",
                last.fds - first.fds, last.peak_kb - first.peak_kb);
    return 0;
}
