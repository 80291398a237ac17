// The form layer's cost, in one run:
//
//   invoices   1,000 one-page invoices filled from one template and JSON
//              data, against the same invoices recorded by hand through the
//              members; both printed to PDF the same way. The ratio is the
//              form's documents/s over the hand-recorded documents/s.
//   statement  the monthly statement of 1,000, 10,000 and 50,000 lines to
//              PDF, each in a child process of its own: time per line, and
//              the child's peak resident memory. The data comes from a file
//              (written beforehand, as the fill command reads it), from a
//              text in memory that the child makes and keeps (as a host that
//              builds its JSON does), and from one it hands over.
//
//   kt482_bench_forms [DOCUMENTS]
//
// Spools and PDFs are on /dev/shm when it exists.

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/form.h"
#include "kt482/kt482_print.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 15;

std::string scratch()
{
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string dir = (base / "kt482-form-bench-XXXXXX").string();
    return ::mkdtemp(dir.data()) ? dir : std::string();
}

// The one-page invoice: a title, the customer, the issuer, a ruled item
// table of 15 lines and the totals. The template and the hand recording
// below draw the same records.
const char* const kInvoiceTemplate = R"({
  "page": {"pitch": {"row": 15, "col": 6}, "font": {"name": "ＭＳ 明朝", "size": 9}},
  "every_page": [
    {"type": "text", "row": 1, "col": 0, "text": "請求書", "align": "center", "width": 90, "font": {"name": "ＭＳ ゴシック", "size": 18, "bold": true}},
    {"type": "text", "row": 4, "col": 2, "text": "{customer}　御中"},
    {"type": "text", "row": 4, "col": 60, "text": "{issuer}"},
    {"type": "text", "row": 5, "col": 60, "text": "登録番号 {registration}"},
    {"type": "text", "row": 48, "col": 0, "text": "{page} / {pages}", "align": "center", "width": 90}
  ],
  "list": {"data": "items", "first_row": 9, "rows_per_page": 30, "sums": ["amount"],
    "heading": [
      {"type": "rules", "direction": "across", "row": 8, "col": 2, "offsets": "0;1;16", "span": "0-86"},
      {"type": "rules", "direction": "down", "row": 8, "col": 2, "offsets": "0;46;56;70;86", "span": "0-16"},
      {"type": "text", "row": 8, "col": 2, "text": "品名", "align": "center", "width": 46}
    ],
    "row": [
      {"type": "text", "row": 0, "col": 3, "field": "name", "align": "clip", "width": 44},
      {"type": "number", "row": 0, "col": 57, "field": "quantity", "picture": "#,##0", "align": "right"},
      {"type": "number", "row": 0, "col": 71, "field": "price", "picture": "#,##0", "align": "right"},
      {"type": "number", "row": 0, "col": 87, "field": "amount", "picture": "#,##0", "align": "right"}
    ]},
  "calc": {"tax": {"multiply": "sum.amount", "by": "0.10", "round": "down"},
           "total": {"add": ["sum.amount", "calc.tax"]}},
  "summary": {"rows": 3, "items": [
    {"type": "text", "row": 0.5, "col": 60, "text": "小計"},
    {"type": "number", "row": 0.5, "col": 87, "field": "sum.amount", "picture": "#,##0", "align": "right"},
    {"type": "text", "row": 1.5, "col": 60, "text": "消費税"},
    {"type": "number", "row": 1.5, "col": 87, "field": "calc.tax", "picture": "#,##0", "align": "right"},
    {"type": "text", "row": 2.5, "col": 60, "text": "合計"},
    {"type": "number", "row": 2.5, "col": 87, "field": "calc.total", "picture": "#,##0", "align": "right"}
  ]}
})";

struct Item {
    std::string name;
    long long quantity, price;
};

Item item(int document, int i)
{
    return {"部品 " + std::to_string(document % 97) + "-" + std::to_string(i) + " ステンレス", 1 + (document + i) % 9,
            100 + 37 * ((document * 7 + i) % 50)};
}

std::string invoice_data(int document)
{
    std::string json = R"({"customer": "株式会社 顧客)" + std::to_string(document) +
                       R"(", "issuer": "株式会社 サンプル工業", "registration": "T1234567890123", "items": [)";
    for (int i = 0; i < kItems; ++i) {
        const Item it = item(document, i);
        json += (i ? "," : "") + std::string(R"({"name": ")") + it.name + R"(", "quantity": )" +
                std::to_string(it.quantity) + R"(, "price": )" + std::to_string(it.price) +
                R"(, "amount": )" + std::to_string(it.quantity * it.price) + "}";
    }
    return json + "]}";
}

std::string grouped(long long v)
{
    std::string digits = std::to_string(v), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// The same invoice through the members, as a host writes it by hand.
void record_by_hand(kt482::KT482_Print& job, int document)
{
    job.P_TopMargin(10);
    job.P_LeftMargin(10);
    job.E_StartEdit();
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ ゴシック", 18, true, 0);
    job.E_String_Center(1, 0, "請求書", 90);
    job.E_Font("ＭＳ 明朝", 9, false, 0);
    job.E_String(4, 2, "株式会社 顧客" + std::to_string(document) + "　御中");
    job.E_String(4, 60, "株式会社 サンプル工業");
    job.E_String(5, 60, "登録番号 T1234567890123");
    job.E_String_Center(48, 0, "1 / 1", 90);
    job.E_DrawStyle(0, 1);
    job.E_Line_Hor(8, 2, "0;1;16", "0-86");
    job.E_Line_Vrt(8, 2, "0-16", "0;46;56;70;86");
    job.E_String_Center(8, 2, "品名", 46);
    long long sum = 0;
    for (int i = 0; i < kItems; ++i) {
        const Item it = item(document, i);
        const float row = 9 + static_cast<float>(i);
        job.E_String_Left(row, 3, it.name, 44);
        job.E_String_Right(row, 57, grouped(it.quantity));
        job.E_String_Right(row, 71, grouped(it.price));
        job.E_String_Right(row, 87, grouped(it.quantity * it.price));
        sum += it.quantity * it.price;
    }
    const float at = 9 + kItems;
    job.E_String(at + 0.5f, 60, "小計");
    job.E_String_Right(at + 0.5f, 87, grouped(sum));
    job.E_String(at + 1.5f, 60, "消費税");
    job.E_String_Right(at + 1.5f, 87, grouped(sum / 10));
    job.E_String(at + 2.5f, 60, "合計");
    job.E_String_Right(at + 2.5f, 87, grouped(sum + sum / 10));
    job.E_EndEdit();
}

void print_pdf(kt482::KT482_Print& job, const std::string& path)
{
    job.SetNextPdfPath(path);
    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
}

double invoices(int documents, bool by_form, const std::string& dir)
{
    kt482::KT482_Print job;
    job.P_Temp_Dir(dir);
    kt482::Form form;
    if (!form.LoadText(kInvoiceTemplate).empty())
        return 0;
    const auto start = Clock::now();
    for (int d = 0; d < documents; ++d) {
        if (by_form) {
            if (std::string p = form.SetData(invoice_data(d)); !p.empty() || !(p = form.Fill(job)).empty()) {
                std::fprintf(stderr, "%s\n", p.c_str());
                return 0;
            }
        } else {
            record_by_hand(job, d);
        }
        print_pdf(job, dir + "/invoice-" + std::to_string(d % 8) + ".pdf");
    }
    return documents / std::chrono::duration<double>(Clock::now() - start).count();
}

// The statement's data, a piece at a time.
template <class Out>
void statement_data(int lines, Out&& out)
{
    out(R"({"customer": {"name": "株式会社 山田建設"}, "issuer": {"name": "株式会社 サンプル金物",
      "registration_number": "T9876543210987"}, "period": "2026年11月", "lines": [)");
    for (int i = 0; i < lines; ++i) {
        const int day = 1 + static_cast<int>(static_cast<long long>(i) * 30 / lines);
        const int quantity = 10 + (i * 37) % 190;
        out((i ? ",\n" : "") + std::string(R"({"date": "2026/11/)") + (day < 10 ? "0" : "") + std::to_string(day) +
            R"(", "slip": "D)" + std::to_string(100000 + i / 4) +
            R"(", "name": "六角ボルト M8×30 ステンレス", "quantity": )" + std::to_string(quantity) +
            R"(, "unit_price": 24.75, "amount": )" + std::to_string(quantity * 2475 / 100) + "}");
    }
    out("]}");
}

std::string statement_text(int lines)
{
    std::string json;
    statement_data(lines, [&](const std::string& piece) { json += piece; });
    return json;
}

bool write_statement_file(int lines, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    statement_data(lines, [&](const std::string& piece) { std::fwrite(piece.data(), 1, piece.size(), file); });
    return std::fclose(file) == 0;
}

// Memory: the host keeps its text and the form copies it; Moved: the host
// hands its text over.
enum class DataFrom { File, Memory, Moved };

struct StatementRun {
    double seconds = 0;
    long peak_kb = 0;
    int pages = 0;
};

// In a child, so that its peak memory is its own.
StatementRun statement(int lines, DataFrom from, const std::string& dir)
{
    const std::string data_path = dir + "/statement-" + std::to_string(lines) + ".json";
    if (from == DataFrom::File && !write_statement_file(lines, data_path))
        return {};
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        kt482::Form form;
        StatementRun run;
        const std::string tpl = std::string(KT482_FORMS_DIR) + "/statement.json";
        if (form.LoadFile(tpl).empty()) {
            const auto start = Clock::now();
            const std::string data = from == DataFrom::Memory ? statement_text(lines) : std::string();
            const std::string problem = from == DataFrom::Memory ? form.SetData(data)
                                        : from == DataFrom::Moved ? form.SetData(statement_text(lines))
                                                                  : form.SetDataFile(data_path);
            if (problem.empty() && form.WritePdf(dir + "/statement.pdf").empty()) {
                run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
                run.pages = form.Pages();
            }
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        run.peak_kb = usage.ru_maxrss;
        (void)!::write(fds[1], &run, sizeof run);
        ::_exit(0);
    }
    ::close(fds[1]);
    StatementRun run;
    (void)!::read(fds[0], &run, sizeof run);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return run;
}

}  // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int documents = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::string dir = scratch();
    if (dir.empty())
        return 1;
    // Each fill runs once first, so that fonts and caches are warm for both.
    invoices(20, false, dir);
    invoices(20, true, dir);
    const double by_hand = invoices(documents, false, dir);
    const double by_form = invoices(documents, true, dir);
    std::printf("invoices   %d one-page documents: by hand %.1f docs/s, from the template %.1f docs/s, ratio %.2f\n",
                documents, by_hand, by_form, by_hand > 0 ? by_form / by_hand : 0);

    for (const DataFrom from : {DataFrom::File, DataFrom::Memory, DataFrom::Moved}) {
        const char* const named = from == DataFrom::File ? "file" : from == DataFrom::Memory ? "memory" : "moved";
        const StatementRun small = statement(1000, from, dir);
        const double per_small = small.seconds / 1000 * 1e6;
        std::printf("statement from %-6s  1,000 lines: %d pages, %.3f s, %.1f us/line, peak %ld kB\n", named,
                    small.pages, small.seconds, per_small, small.peak_kb);
        for (const int lines : {10000, 50000}) {
            const StatementRun large = statement(lines, from, dir);
            const double per_large = large.seconds / lines * 1e6;
            std::printf("statement from %-6s %6d lines: %d pages, %.3f s, %.1f us/line, peak %ld kB; "
                        "per line %.2fx, peak %.3fx of 1,000 lines\n",
                        named, lines, large.pages, large.seconds, per_large, large.peak_kb,
                        per_small > 0 ? per_large / per_small : 0,
                        small.peak_kb > 0 ? static_cast<double>(large.peak_kb) / small.peak_kb : 0);
        }
    }
    fs::remove_all(dir);
    return 0;
}
