// Pictures, fills and colour against the plain dense form: 1,000 pages of
// the dense form recorded and printed to the built-in PDF printer, once as
// it is and once with a logo, a seal and 20 shaded cells on every page, in
// the same run. items_per_second is pages per second of wall-clock time for
// recording and printing together; pdf_B_per_page is the PDF's size per page.
// The summary line gives the ratio of the two rates (the plain one over the
// one with pictures) and the PDF's growth per page.
//
//   kt482_bench_picture [benchmark flags]
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "dense_form.h"
#include "kt482/kt482.h"

namespace kt482::bench {
namespace {

constexpr int kPages = 1000;

// The sample invoice's pictures, drawn by scripts/draw-invoice-pictures.py.
const std::string kAssets = KT482_EXAMPLE_ASSETS;

std::map<bool, double>& bytes_per_page()
{
    static std::map<bool, double> sizes;
    return sizes;
}

void add_pictures(KT482_Print& job)
{
    job.E_Image(1, 2, 3.5f, 22, kAssets + "/logo.png");
    job.E_Image(7, 77, 11, 87, kAssets + "/seal.png");
    // 20 shaded cells: two rows of ten, alternate colours.
    for (int i = 0; i < 20; ++i) {
        const float row = 40.0f + static_cast<float>(i / 10);
        const float col = 2.0f + 8.0f * static_cast<float>(i % 10);
        job.E_Fill(row, col, row + 1, col + 8, i % 2 ? 0xD9D9D9 : 0xFFF2CC);
    }
}

void BM_RecordAndPrint(benchmark::State& state)
{
    const bool pictures = state.range(0) != 0;
    const std::string spool = sub_folder(pictures ? "spool-pictures" : "spool-plain");
    const std::string out = sub_folder(pictures ? "pdf-pictures" : "pdf-plain");
    setenv("KT482_PDF_DIR", out.c_str(), 1);
    double size = 0;
    for (auto _ : state) {
        KT482_Print job;
        job.P_Temp_Dir(spool);
        job.E_StartEdit();
        for (int page = 1; page <= kPages; ++page) {
            if (page > 1)
                job.E_ChangePage();
            record_dense_form_page(job);
            if (pictures)
                add_pictures(job);
        }
        job.E_EndEdit();
        job.W_Device("KT482 PDF");
        job.W_StartDoc(9, 1);
        job.W_Print();
        job.W_EndDoc();
        if (!job.Answer().is_empty() || job.LastPdfPath().empty()) {
            state.SkipWithError("the document failed");
            return;
        }
        state.PauseTiming();
        struct stat st {};
        if (::stat(job.LastPdfPath().c_str(), &st) == 0)
            size = static_cast<double>(st.st_size);
        remove_files(out);
        job.E_Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kPages);
    state.counters["pdf_B_per_page"] = size / kPages;
    bytes_per_page()[pictures] = size / kPages;
}
BENCHMARK(BM_RecordAndPrint)->ArgName("pictures")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string summary(const Rates& rates)
{
    const double plain = rate_of(rates, "BM_RecordAndPrint/pictures:0/real_time");
    const double with = rate_of(rates, "BM_RecordAndPrint/pictures:1/real_time");
    if (plain <= 0 || with <= 0)
        return {};
    char line[256];
    std::snprintf(line, sizeof line,
                  "1,000 pages recorded and printed: plain %.0f pages/s, with a logo, a seal and 20 shaded cells "
                  "%.0f pages/s (%.2fx the time); PDF %.0f B/page plain, %.0f B/page with them (+%.0f B/page)",
                  plain, with, plain / with, bytes_per_page()[false], bytes_per_page()[true],
                  bytes_per_page()[true] - bytes_per_page()[false]);
    return line;
}

}  // namespace
}  // namespace kt482::bench

int main(int argc, char** argv)
{
    return kt482::bench::run_benchmarks(argc, argv, kt482::bench::summary, {"--benchmark_repetitions=3"});
}
