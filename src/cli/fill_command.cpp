#include "cli/fill_command.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>

#include "kt482/form.h"
#include "kt482/kt482_print.h"

namespace kt482::cli {

const char* const kFillHelp =
    "usage: kt482 fill TEMPLATE.json DATA.json [-o OUT.pdf | --print QUEUE | --preview] [--rows LIST=FILE.csv]...\n"
    "       kt482 fill TEMPLATE.json DATA-FOLDER/ -o OUT-FOLDER/ [--rows LIST=FILE.csv]...\n"
    "Fills the form template from the data and writes a PDF file, prints on the\n"
    "queue QUEUE or shows the preview. With a folder of data files, writes one PDF\n"
    "per data file (NAME.json gives NAME.pdf), two at a time.\n"
    "options:\n"
    "  -o PATH             the PDF file, or the folder of PDF files\n"
    "  --print QUEUE       print on QUEUE (a print queue, or \"KT482 PDF\")\n"
    "  --preview           show the pages in the preview window (needs a display)\n"
    "  --rows LIST=FILE    the rows of the list at data path LIST from a CSV file\n"
    "                      whose first line names the fields\n"
    "Exit status: 0 done, 1 a failure while printing, 2 bad arguments or a\n"
    "template or data error (nothing is printed then).\n";

namespace {

namespace fs = std::filesystem;
constexpr int kBadInput = 2;

struct FillArguments {
    std::string template_path, data_path, out, queue;
    bool preview = false;
    std::vector<std::pair<std::string, std::string>> rows;  // list path, CSV file
};

int usage(const std::string& message)
{
    std::fprintf(stderr, "kt482: %s\n\n%s", message.c_str(), kFillHelp);
    return kBadInput;
}

int problem(const std::string& text)
{
    std::fprintf(stderr, "kt482: %s\n", text.c_str());
    return kBadInput;
}

// The template and the data of one document, with the CSV rows.
std::string prepare(Form& form, const FillArguments& args, const std::string& data_path)
{
    if (std::string p = form.SetDataFile(data_path); !p.empty())
        return p;
    for (const auto& [list, file] : args.rows)
        if (std::string p = form.SetRowsCsvFile(list, file); !p.empty())
            return p;
    return {};
}

int on_printer_or_preview(Form& form, const FillArguments& args)
{
    KT482_Print::SetMessageHandler([](const Message& m) {
        std::fprintf(stderr, "kt482: %.*s: %.*s\n", static_cast<int>(m.title.size()), m.title.data(),
                     static_cast<int>(m.text.size()), m.text.data());
        return 1;
    });
    std::string spool = (fs::temp_directory_path() / "kt482-fill-XXXXXX").string();
    if (!::mkdtemp(spool.data()))
        return problem("cannot make a spool folder");
    int status = 0;
    {
        KT482_Print job;
        job.P_Temp_Dir(spool);
        if (std::string p = form.Fill(job); !p.empty()) {
            status = job.LastFailure().number ? 1 : problem(p);
        } else if (args.preview) {
            job.V_Size_Set(form.PaperSize(), form.Orientation(), form.PaperHeight(), form.PaperWidth());
            if (!job.LastFailure().number)
                job.V_Preview();
            status = job.LastFailure().number ? 1 : 0;
        } else {
            job.W_Device(args.queue);
            if (!job.LastFailure().number) {
                job.W_StartDoc(form.PaperSize(), form.Orientation(), form.PaperHeight(), form.PaperWidth());
                job.W_Print();
                job.W_EndDoc();
            }
            status = job.LastFailure().number ? 1 : 0;
        }
        job.E_Clear();
    }
    std::error_code ec;
    fs::remove_all(spool, ec);
    return status;
}

// Every *.json of the folder, by name, into OUT/NAME.pdf. Two workers, each
// with its own form (and, inside WritePdf, its own job and spool folder).
int fill_folder(const FillArguments& args)
{
    std::vector<fs::path> inputs;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(args.data_path, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".json")
            inputs.push_back(entry.path());
    if (ec)
        return problem(args.data_path + ": cannot list the folder: " + ec.message());
    std::sort(inputs.begin(), inputs.end());
    fs::create_directories(args.out, ec);
    if (!fs::is_directory(args.out))
        return problem(args.out + ": cannot make the folder");

    std::atomic<std::size_t> next{0};
    std::atomic<int> status{0};
    std::mutex output;
    const auto work = [&] {
        Form form;
        const std::string loaded = form.LoadFile(args.template_path);
        for (std::size_t i; (i = next++) < inputs.size();) {
            std::string p = loaded;
            if (p.empty())
                p = prepare(form, args, inputs[i].string());
            const fs::path pdf = fs::path(args.out) / inputs[i].filename().replace_extension(".pdf");
            if (p.empty())
                p = form.WritePdf(pdf.string());
            if (!p.empty()) {
                const std::lock_guard lock(output);
                std::fprintf(stderr, "kt482: %s\n", p.c_str());
                status = kBadInput;
            }
        }
    };
    std::thread second(work);
    work();
    second.join();
    return status;
}

}  // namespace

int run_fill(const std::vector<std::string>& argv)
{
    FillArguments args;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        const bool has_value = i + 1 < argv.size();
        if (a == "-o" || a == "--output") {
            if (!has_value)
                return usage("-o needs a path");
            args.out = argv[++i];
        } else if (a == "--print") {
            if (!has_value || argv[i + 1].empty())
                return usage("--print needs a queue name");
            args.queue = argv[++i];
        } else if (a == "--preview") {
            args.preview = true;
        } else if (a == "--rows") {
            const std::string value = has_value ? argv[++i] : "";
            const auto eq = value.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
                return usage("--rows needs LIST=FILE.csv");
            args.rows.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2)
        return usage("needs TEMPLATE.json and DATA.json (or a DATA folder)");
    args.template_path = positional[0];
    args.data_path = positional[1];
    const int outputs = !args.out.empty() + !args.queue.empty() + args.preview;
    if (outputs != 1)
        return usage("give one of -o, --print and --preview");
    std::error_code ec;
    if (fs::is_directory(args.data_path, ec)) {
        if (args.out.empty())
            return usage("a folder of data files needs -o OUT-FOLDER");
        return fill_folder(args);
    }

    Form form;
    if (std::string p = form.LoadFile(args.template_path); !p.empty())
        return problem(p);
    if (std::string p = prepare(form, args, args.data_path); !p.empty())
        return problem(p);
    if (!args.out.empty()) {
        if (std::string p = form.WritePdf(args.out); !p.empty())
            return p.find("not written") != std::string::npos ? (std::fprintf(stderr, "kt482: %s\n", p.c_str()), 1)
                                                               : problem(p);
        return 0;
    }
    return on_printer_or_preview(form, args);
}

}  // namespace kt482::cli
