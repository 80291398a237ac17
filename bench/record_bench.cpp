// Recording speed: string records through KT482_Print against the floor of
// writing the very same bytes with buffered stdio, plus a million-record run
// that shows memory stays flat while pages stream to disk.
//
//   kt482_bench_record [--benchmark_min_time=0.2] [other benchmark flags]
//
// A last line gives what a recorded record costs in fwrites of its bytes
// (kept at or below 3).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "job/number_text.h"
#include "job/page_file_names.h"
#include "job/page_record.h"
#include "kt482/kt482.h"

namespace {

using namespace kt482::bench;

constexpr int kRecordsPerPage = 1000;
// Pages are cleared away after this many, under a paused clock, so disk use
// stays small and page numbers stay far below the 9999 limit.
constexpr int kPagesPerRound = 100;
constexpr int kMillion = 1'000'000;

const std::string kText = "請求書 明細 ABC 12345";

// A page's worth of distinct grid positions: 50 rows by 20 columns.
float row_of(int i)
{
    return static_cast<float>(1 + i % 50);
}

float col_of(int i)
{
    return static_cast<float>(1 + (i / 50) % 20 * 4);
}

// The bytes the library writes for one page of string records at the
// positions above, one string per record, taken from a recorded page.
const std::vector<std::string>& library_records()
{
    static const std::vector<std::string> records = [] {
        const std::string folder = sub_folder("sample");
        {
            kt482::KT482_Print job;
            job.P_Temp_Dir(folder);
            job.E_StartEdit();
            for (int i = 0; i < kRecordsPerPage; ++i)
                job.E_String(row_of(i), col_of(i), kText);
            job.E_EndEdit();
        }
        std::ifstream in(kt482::PageFileName(folder, 1), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> split;
        std::size_t pos = 0;
        while (pos + kt482::kRecordHeaderSize <= bytes.size()) {
            const auto header = kt482::decode_record_header(bytes.data() + pos);
            std::size_t end = pos + kt482::kRecordHeaderSize;
            for (int c = 0; c < header.TextLength && end < bytes.size(); ++c) {
                const std::size_t size = kt482::utf8_sequence_length(std::string_view(bytes).substr(end, 4));
                if (size == 0)
                    return std::vector<std::string>{};
                end += size;
            }
            split.push_back(bytes.substr(pos, end - pos));
            pos = end;
        }
        if (pos != bytes.size() || split.size() != static_cast<std::size_t>(kRecordsPerPage))
            return std::vector<std::string>{};
        return split;
    }();
    return records;
}

void report_memory(benchmark::State& state, long rss_before_kb)
{
    state.counters["peak_rss_kB"] = static_cast<double>(peak_rss_kb());
    state.counters["rss_growth_kB"] = static_cast<double>(current_rss_kb() - rss_before_kb);
}

void BM_RecordStrings(benchmark::State& state)
{
    const std::string folder = sub_folder("library");
    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    job.E_StartEdit();
    const long rss_before = current_rss_kb();

    int on_page = 0;
    int pages = 1;
    for (auto _ : state) {
        job.E_String(row_of(on_page), col_of(on_page), kText);
        if (++on_page < kRecordsPerPage)
            continue;
        on_page = 0;
        if (pages < kPagesPerRound) {
            job.E_ChangePage();
            ++pages;
            continue;
        }
        state.PauseTiming();
        job.E_EndEdit();
        job.E_StartEdit();  // deletes the round's pages
        pages = 1;
        state.ResumeTiming();
    }
    job.E_EndEdit();

    state.SetItemsProcessed(state.iterations());
    report_memory(state, rss_before);
    remove_files(folder);
}

void BM_FwriteBaseline(benchmark::State& state)
{
    const std::vector<std::string>& records = library_records();
    if (records.empty()) {
        state.SkipWithError("could not split a recorded page into its records");
        for (auto _ : state) {
        }
        return;
    }
    const std::string folder = sub_folder("fwrite");
    const long rss_before = current_rss_kb();

    int page = 1;
    FILE* file = std::fopen(kt482::PageFileName(folder, page).c_str(), "wb");
    int on_page = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const std::string& record = records[static_cast<std::size_t>(on_page)];
        std::fwrite(record.data(), 1, record.size(), file);
        bytes += static_cast<int64_t>(record.size());
        if (++on_page < kRecordsPerPage)
            continue;
        on_page = 0;
        std::fclose(file);
        if (page == kPagesPerRound) {
            state.PauseTiming();
            remove_files(folder);
            page = 0;
            state.ResumeTiming();
        }
        file = std::fopen(kt482::PageFileName(folder, ++page).c_str(), "wb");
    }
    std::fclose(file);

    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(bytes);
    report_memory(state, rss_before);
    remove_files(folder);
}

BENCHMARK(BM_RecordStrings)->UseRealTime();
BENCHMARK(BM_FwriteBaseline)->UseRealTime();
// A million records in one run: rss_growth_kB should stay near zero.
BENCHMARK(BM_RecordStrings)->UseRealTime()->Iterations(kMillion);

// The library's rate as a share of the fwrite floor.
std::string summary(const Rates& rates)
{
    const double library = rate_of(rates, "BM_RecordStrings/real_time");
    const double fwrite = rate_of(rates, "BM_FwriteBaseline/real_time");
    if (library <= 0 || fwrite <= 0)
        return {};
    char line[160];
    std::snprintf(line, sizeof line, "library %.0f records/s, fwrite %.0f records/s: a record costs %.2f times its fwrite",
                  library, fwrite, fwrite / library);
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    return run_benchmarks(argc, argv, summary);
}
