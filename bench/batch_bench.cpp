// Many small documents: the dense form's page as a document of its own,
// recorded and printed to a PDF file of its own, one document after the
// other, by one thread and by two threads at once (each thread with its own
// job, as a host serving several requests would). Spools and PDFs are on
// /dev/shm, so that the file system's cost stays out of the figures.
//
//   kt482_bench_batch [--keep FILE] [benchmark flags]
//   kt482_bench_batch --paired ROUNDS
//
// $KT482_BENCH_BATCH_DIR: a folder to write in instead of /dev/shm.
// $KT482_BENCH_DOCUMENTS: documents per thread, a fixed count (for callgrind).
//
// items_per_second is documents per second of wall-clock time over all
// threads; pdf_kB the size of one document. The summary gives both rates,
// the gain from one thread to two and the size. --keep copies the last
// document of the first thread to FILE.
//
// --paired measures the gain from one thread to two alone, in pairs of
// short turns side by side: a turn of one thread, then a turn of two (in
// turn, two then one; the worker that writes alone changes every second
// pair), each turn's documents taken from one count, as a batch's workers
// take them from one queue. A virtual
// machine's speed drifts by a tenth and more from second to second; in a
// pair both turns meet the same drift, and the median of the pairs' gains
// leaves out the pairs that met a jolt. The workers and their jobs are made
// once, before the first turn.

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "dense_form.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"

namespace {

using namespace kt482::bench;

// Documents each thread writes under the same names again, as a batch's
// files would be collected as they come.
constexpr int kNamesPerThread = 16;

// The batch's folder on /dev/shm (else in the scratch folder), made once;
// $KT482_BENCH_BATCH_DIR puts it in another folder, to see what a disk's
// flushes cost.
const std::string& batch_folder()
{
    static const std::string folder = [] {
        const char* base = std::getenv("KT482_BENCH_BATCH_DIR");
        std::string pattern = std::string(base && *base ? base : "/dev/shm") + "/kt482-batch-XXXXXX";
        return mkdtemp(pattern.data()) ? pattern : sub_folder("batch");
    }();
    return folder;
}

double process_cpu_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One document of a batch: the dense page recorded and printed to its file.
// False when the document was not written completely.
bool write_document(kt482::KT482_Print& job, const std::string& pdf)
{
    job.E_StartEdit();
    record_dense_form_page(job);
    job.E_EndEdit();
    job.SetNextPdfPath(pdf);
    job.W_StartDoc(9, 1);
    job.W_Print(1, 1);
    job.W_EndDoc();
    job.E_Clear();
    return job.Answer().is_empty();
}

std::atomic<double> last_pdf_bytes{0};
std::atomic<bool> incomplete{false};

// One thread's documents: record the page, print it to its own file.
void BM_BatchDocuments(benchmark::State& state)
{
    const std::string folder = batch_folder() + "/thread-" + std::to_string(state.thread_index());
    std::filesystem::create_directories(folder);
    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    job.W_Device("KT482 PDF");
    int document = 0;
    double cpu_start = 0;
    bool first = true;
    for (auto _ : state) {
        if (first && state.thread_index() == 0)
            cpu_start = process_cpu_seconds();
        first = false;
        const std::string pdf = folder + "/document-" + std::to_string(document++ % kNamesPerThread) + ".pdf";
        if (!write_document(job, pdf)) {
            incomplete = true;
            break;
        }
    }
    if (incomplete) {
        state.SkipWithError("a document was not written completely");
        return;
    }
    std::error_code error;
    const auto bytes = std::filesystem::file_size(folder + "/document-0.pdf", error);
    if (!error && state.thread_index() == 0)
        last_pdf_bytes = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations());
    // The process's processor time per document, all threads together (the
    // other threads may still end their last document): on a machine busy
    // with other work the wall clock says little about what a document
    // costs, and nothing about how threads share the work.
    if (state.thread_index() == 0)
        state.counters["cpu_ms_per_doc"] =
            (process_cpu_seconds() - cpu_start) * 1000 / static_cast<double>(state.iterations() * state.threads());
    state.counters["pdf_kB"] = benchmark::Counter(static_cast<double>(bytes) / 1024, benchmark::Counter::kAvgThreads);
}

// Two workers, each with its own job and folder, that write documents in
// turns: a turn names how many workers take part and how many documents they
// write between them.
class PairedTurns {
public:
    PairedTurns() : start_(kWorkers + 1), end_(kWorkers + 1)
    {
        for (int worker = 0; worker < kWorkers; ++worker)
            workers_.emplace_back([this, worker] { work(worker); });
    }

    ~PairedTurns()
    {
        stop_ = true;
        start_.arrive_and_wait();
        for (std::thread& worker : workers_)
            worker.join();
    }

    // Documents per second of one turn by workers from first on; 0 when a
    // document failed.
    double turn(int first, int workers, int documents)
    {
        first_ = first;
        taking_part_ = workers;
        left_ = documents;
        start_.arrive_and_wait();
        const auto begin = std::chrono::steady_clock::now();
        end_.arrive_and_wait();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
        return failed_ ? 0 : documents / took.count();
    }

private:
    static constexpr int kWorkers = 2;

    void work(int worker)
    {
        const std::string folder = batch_folder() + "/paired-" + std::to_string(worker);
        std::filesystem::create_directories(folder);
        kt482::KT482_Print job;
        job.P_Temp_Dir(folder);
        job.W_Device("KT482 PDF");
        int document = 0;
        // A first document outside any turn: fonts found, pages prepared.
        failed_ = !write_document(job, folder + "/document-0.pdf") || failed_;
        for (;;) {
            start_.arrive_and_wait();
            if (stop_)
                return;
            if ((worker - first_ + kWorkers) % kWorkers < taking_part_) {
                while (left_.fetch_sub(1) > 0) {
                    const std::string pdf = folder + "/document-" + std::to_string(document++ % kNamesPerThread) + ".pdf";
                    if (!write_document(job, pdf))
                        failed_ = true;
                }
            }
            end_.arrive_and_wait();
        }
    }

    std::barrier<> start_;
    std::barrier<> end_;
    std::atomic<int> first_{0};
    std::atomic<int> taking_part_{0};
    std::atomic<int> left_{0};
    std::atomic<bool> failed_{false};
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
};

// The --paired measurement: prints each pair's rates and gain, then the
// median gain. Returns the exit status.
int paired_rounds(int rounds)
{
    // About a quarter of a second for one thread.
    constexpr int kDocumentsPerTurn = 80;
    std::vector<double> gains;
    std::vector<double> ones;
    std::vector<double> twos;
    {
        PairedTurns turns;
        for (int round = 1; round <= rounds; ++round) {
            double one = 0;
            double two = 0;
            // Which turn comes first, and which worker writes alone, change
            // from pair to pair: neither the drift within a pair nor the
            // processor a worker runs on favours one side.
            const int alone = (round / 2) % 2;
            if (round % 2) {
                one = turns.turn(alone, 1, kDocumentsPerTurn);
                two = turns.turn(0, 2, kDocumentsPerTurn * 2);
            } else {
                two = turns.turn(0, 2, kDocumentsPerTurn * 2);
                one = turns.turn(alone, 1, kDocumentsPerTurn);
            }
            if (one <= 0 || two <= 0) {
                std::fprintf(stderr, "kt482_bench_batch: a document was not written completely\n");
                return 1;
            }
            gains.push_back(two / one);
            ones.push_back(one);
            twos.push_back(two);
            std::printf("pair %2d: %6.0f documents/s on one thread, %6.0f on two, %.2fx\n", round, one, two, two / one);
        }
    }
    std::filesystem::remove_all(batch_folder());
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    const auto [lowest, highest] = std::minmax_element(gains.begin(), gains.end());
    std::printf("Paired turns: two threads / one %.2fx, the median of %zu pairs (lowest %.2fx, highest %.2fx); "
                "median rates %.0f and %.0f documents/s, %.2fx\n",
                median(gains), gains.size(), *lowest, *highest, median(ones), median(twos),
                median(twos) / median(ones));
    return 0;
}

std::string summary(const Rates& rates)
{
    // The run's name carries its options ("BM_BatchDocuments/min_time:1.000/
    // real_time/threads:2"); the thread count ends it.
    auto rate = [&](const std::string& threads) {
        for (const auto& [name, value] : rates)
            if (name.starts_with("BM_BatchDocuments/") && name.ends_with(threads))
                return rate_of(rates, name.substr(0, name.size() - (name.ends_with("_median") ? 7 : 0)));
        return 0.0;
    };
    const double one = rate("threads:1_median") > 0 ? rate("threads:1_median") : rate("threads:1");
    const double two = rate("threads:2_median") > 0 ? rate("threads:2_median") : rate("threads:2");
    if (one <= 0 || two <= 0)
        return {};
    char line[256];
    std::snprintf(line, sizeof line,
                  "One-page documents: %.0f documents/s on one thread, %.0f on two (%.2fx, goal >= 1.8); "
                  "%.1f kB per document (goal <= 12)",
                  one, two, two / one, last_pdf_bytes.load() / 1024);
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string keep;
    if (argc >= 3 && std::string_view(argv[1]) == "--keep") {
        keep = argv[2];
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kt482::ensure_qt_application();
    if (argc == 3 && std::string_view(argv[1]) == "--paired")
        return paired_rounds(std::max(1, std::atoi(argv[2])));
    auto* batch = benchmark::RegisterBenchmark("BM_BatchDocuments", BM_BatchDocuments)
                      ->UseRealTime()
                      ->Unit(benchmark::kMillisecond)
                      ->Threads(1)
                      ->Threads(2);
    // A fixed count of documents per thread instead of a second's worth, for
    // counting instructions under callgrind, where a second holds a few.
    if (const char* documents = std::getenv("KT482_BENCH_DOCUMENTS"); documents && std::atoi(documents) > 0)
        batch->Iterations(std::atoi(documents));
    else
        batch->MinTime(1.0);
    const int status = run_benchmarks(argc, argv, summary,
                                      {"--benchmark_repetitions=3", "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_display_aggregates_only=true"});
    std::error_code error;
    if (!keep.empty())
        std::filesystem::copy_file(batch_folder() + "/thread-0/document-0.pdf", keep,
                                   std::filesystem::copy_options::overwrite_existing, error);
    std::filesystem::remove_all(batch_folder());
    return status;
}
