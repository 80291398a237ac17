#include "bench_support.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

namespace kt482::bench {

const std::string& bench_folder()
{
    static const std::string folder = [] {
        char name[] = "/var/tmp/kt482-bench-XXXXXX";
        if (!mkdtemp(name)) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        return std::string(name);
    }();
    return folder;
}

std::string sub_folder(const char* name)
{
    const std::string folder = bench_folder() + "/" + name;
    std::filesystem::create_directories(folder);
    return folder;
}

void remove_files(const std::string& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove(entry.path());
}

long peak_rss_kb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long current_rss_kb()
{
    long pages_total = 0;
    long pages_resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages_total, &pages_resident) != 2)
            pages_resident = 0;
        std::fclose(f);
    }
    return pages_resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long image_peak_rss_kb()
{
    long peak = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1)
                break;
        }
        std::fclose(f);
    }
    return peak;
}

bool reset_peak_rss()
{
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool written = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && written;
}

double rate_of(const Rates& rates, const std::string& name)
{
    auto found = rates.find(name + "_median");
    if (found == rates.end())
        found = rates.find(name);
    return found == rates.end() ? 0 : found->second;
}

SummaryReporter::SummaryReporter(benchmark::BenchmarkReporter& display, bool console, Summary summary)
    : display_(display), console_(console), summary_(std::move(summary))
{
}

bool SummaryReporter::ReportContext(const Context& context)
{
    return display_.ReportContext(context);
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs)
{
    display_.ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.error_occurred)
            continue;
        if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
            continue;
        const auto rate = run.counters.find("items_per_second");
        if (rate != run.counters.end())
            rates_[run.benchmark_name()] = rate->second;
    }
}

void SummaryReporter::Finalize()
{
    display_.Finalize();
    const std::string line = summary_ ? summary_(rates_) : std::string();
    if (!line.empty())
        (console_ ? display_.GetOutputStream() : display_.GetErrorStream()) << line << '\n' << std::flush;
}

namespace {

bool console_format(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--benchmark_format=") && arg != "--benchmark_format=console")
            return false;
    }
    return true;
}

}  // namespace

// The flag's name with its "=": "--benchmark_repetitions=".
std::string_view flag_name(std::string_view flag)
{
    return flag.substr(0, flag.find('=') + 1);
}

int run_benchmarks(int argc, char** argv, const Summary& summary, const std::vector<std::string>& default_flags)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");

    std::vector<char*> args(argv, argv + argc);
    for (const std::string& flag : default_flags) {
        bool given = false;
        for (int i = 1; i < argc; ++i)
            given = given || std::string_view(argv[i]).starts_with(flag_name(flag));
        if (!given)
            args.push_back(const_cast<char*>(flag.c_str()));
    }
    args.push_back(nullptr);
    argc = static_cast<int>(args.size()) - 1;
    argv = args.data();

    const bool console = console_format(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::unique_ptr<benchmark::BenchmarkReporter> display(benchmark::CreateDefaultDisplayReporter());
    SummaryReporter reporter(*display, console, summary);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(bench_folder());
    return 0;
}

}  // namespace kt482::bench
