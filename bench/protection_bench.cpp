// The cost of protecting documents: 1,000 one-page invoices (the dense form's
// page), each recorded and printed to a PDF file of its own, plain, then
// AES-256 encrypted, then signed (RSA-2048, SHA-256). The certificate is made
// with the openssl command in the scratch folder; files go to /dev/shm.
//
//   kt482_bench_protection [benchmark flags]
//
// The summary gives each protected batch's time against the plain one.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "dense_form.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"

namespace {

using namespace kt482::bench;

constexpr int kDocuments = 1000;

enum class Protection { None, Encrypted, Signed };

const std::string& folder()
{
    static const std::string path = [] {
        char shm[] = "/dev/shm/kt482-protection-XXXXXX";
        return mkdtemp(shm) ? std::string(shm) : sub_folder("protection");
    }();
    return path;
}

// A company seal's certificate and key, made once.
const std::string& seal()
{
    static const std::string p12 = [] {
        const std::string dir = folder();
        const std::string command =
            "cd '" + dir + "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout seal.key -out seal.pem -days 2 "
            "-subj '/CN=Bench Seal' -addext keyUsage=critical,digitalSignature >/dev/null 2>&1 && openssl pkcs12 "
            "-export -inkey seal.key -in seal.pem -passout pass:bench -out seal.p12 >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? dir + "/seal.p12" : std::string();
    }();
    return p12;
}

void BM_ProtectedBatch(benchmark::State& state)
{
    const auto protection = static_cast<Protection>(state.range(0));
    if (protection == Protection::Signed && seal().empty()) {
        state.SkipWithError("the openssl command could not make a certificate");
        return;
    }
    kt482::KT482_Print job;
    job.P_Temp_Dir(folder());
    job.W_Device("KT482 PDF");
    if (protection == Protection::Encrypted)
        job.SetPdfEncryption("user", "owner", kt482::PdfPermission::Print | kt482::PdfPermission::Copy);
    if (protection == Protection::Signed)
        job.SetPdfSignature(seal(), "bench", "Invoice", "Tokyo");
    for (auto _ : state) {
        for (int i = 0; i < kDocuments; ++i) {
            job.E_StartEdit();
            record_dense_form_page(job);
            job.E_EndEdit();
            job.SetNextPdfPath(folder() + "/invoice-" + std::to_string(i % 16) + ".pdf");
            job.W_StartDoc(9, 1);
            job.W_Print(1, 1);
            job.W_EndDoc();
            job.E_Clear();
        }
        if (job.LastFailure().number != 0) {
            state.SkipWithError(job.LastFailure().description.c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kDocuments);
}

std::string summary(const Rates& rates)
{
    auto rate = [&](int mode) {
        for (const auto& [name, value] : rates)
            if (name.starts_with("BM_ProtectedBatch/" + std::to_string(mode)))
                return rate_of(rates, name);
        return 0.0;
    };
    const double plain = rate(0), encrypted = rate(1), signed_rate = rate(2);
    if (plain <= 0 || encrypted <= 0 || signed_rate <= 0)
        return {};
    char line[256];
    std::snprintf(line, sizeof line,
                  "1,000 one-page invoices: plain %.0f documents/s; encrypted %.2fx the time (goal <= 1.2), "
                  "signed %.2fx (goal <= 1.5)",
                  plain, plain / encrypted, plain / signed_rate);
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    kt482::ensure_qt_application();
    benchmark::RegisterBenchmark("BM_ProtectedBatch", BM_ProtectedBatch)
        ->ArgName("protection")
        ->Arg(0)
        ->Arg(1)
        ->Arg(2)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    const int status = run_benchmarks(argc, argv, summary, {});
    std::filesystem::remove_all(folder());
    return status;
}
