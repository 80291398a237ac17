// What the benchmarks share: a scratch folder, the process's memory, and a
// reporter that ends the usual display with a summary line of its own.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kt482::bench {

// A folder made once per process under /var/tmp (a disk, as spools are);
// run_benchmarks() removes it.
const std::string& bench_folder();
// A folder inside bench_folder(), created when missing.
std::string sub_folder(const char* name);
// Deletes the files in folder.
void remove_files(const std::string& folder);

// The peak and the current resident size of the process.
long peak_rss_kb();
long current_rss_kb();
// The peak resident size of the running program image alone (VmHWM): unlike
// peak_rss_kb() it does not inherit the peak of the process that started it,
// and reset_peak_rss() brings it down to the current size. 0 when unknown.
long image_peak_rss_kb();
// False when the kernel does not let the process reset its peak.
bool reset_peak_rss();

// items_per_second of each benchmark run, by the run's full name
// (for example "BM_RecordStrings/real_time"; "BM_RecordStrings/real_time_median"
// for the median of repeated runs).
using Rates = std::map<std::string, double>;
// The rate of the named benchmark: the median of its repetitions when it was
// repeated, else that of its run; 0 when it did not run.
double rate_of(const Rates& rates, const std::string& name);
// The summary line from the rates, or empty for none.
using Summary = std::function<std::string(const Rates&)>;

// The usual display reporter, followed by the summary line: on standard
// output after a console table, on standard error when the output is a
// machine format.
class SummaryReporter : public benchmark::BenchmarkReporter {
public:
    SummaryReporter(benchmark::BenchmarkReporter& display, bool console, Summary summary);

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    benchmark::BenchmarkReporter& display_;
    bool console_;
    Summary summary_;
    Rates rates_;
};

// The whole main() of a benchmark program: runs the benchmarks selected on
// the command line without a display (a failure then reports on standard
// error instead of waiting for a click on a message box), prints the summary
// and removes bench_folder(). Returns the exit status. default_flags
// ("--benchmark_repetitions=5") apply unless the command line sets the same
// flag.
int run_benchmarks(int argc, char** argv, const Summary& summary, const std::vector<std::string>& default_flags = {});

}  // namespace kt482::bench
