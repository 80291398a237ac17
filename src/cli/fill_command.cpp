#include "cli/fill_command.h"

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "cli/pdf_options.h"
#include "kt482/form.h"
#include "kt482/kt482_print.h"

namespace kt482::cli {

std::string fill_help()
{
    return std::string(
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
               "with -o, the PDF file's protection:\n"
               "  --attach-data  attach the data file (application/json) and the CSV files\n"
               "                 (text/csv) the form was filled from, as its Data\n") +
           kPdfOptionsHelp +
           "Exit status: 0 done, 1 a failure while printing, 2 bad arguments or a\n"
           "template or data error (nothing is printed then).\n";
}

namespace {

namespace fs = std::filesystem;
constexpr int kBadInput = 2;

struct FillArguments {
    std::string template_path, data_path, out, queue;
    bool preview = false;
    std::vector<std::pair<std::string, std::string>> rows;  // list path, CSV file
    PdfOptions pdf;
    bool attach_data = false;
};

int usage(const std::string& message)
{
    std::fprintf(stderr, "kt482: %s\n\n%s", message.c_str(), fill_help().c_str());
    return kBadInput;
}

int problem(const std::string& text)
{
    std::fprintf(stderr, "kt482: %s\n", text.c_str());
    return kBadInput;
}

// Whether a member of this thread's job reported a failure since the last
// look; a note without a message (a wrapped text's lines that did not fit)
// is none.
thread_local bool g_reported = false;

// The members' messages on standard error, for the calling thread.
void report_messages_on_stderr()
{
    KT482_Print::SetMessageHandler([](const Message& m) {
        std::fprintf(stderr, "kt482: %.*s: %.*s\n", static_cast<int>(m.title.size()), m.title.data(),
                     static_cast<int>(m.text.size()), m.text.data());
        g_reported = true;
        return 1;
    });
}

// A spool folder of its own for one document, removed with what is in it.
class SpoolFolder {
public:
    SpoolFolder() : path_((fs::temp_directory_path() / "kt482-fill-XXXXXX").string())
    {
        if (!::mkdtemp(path_.data()))
            path_.clear();
    }
    ~SpoolFolder()
    {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    SpoolFolder(const SpoolFolder&) = delete;
    SpoolFolder& operator=(const SpoolFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

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

// The protection asked for, and the files the document was filled from
// attached as its data; false once a member reported a failure.
bool protect(KT482_Print& job, const FillArguments& args, const std::string& data_path)
{
    job.ClearAttachments();
    if (!apply_pdf_options(job, args.pdf))
        return false;
    if (!args.attach_data)
        return true;
    job.AttachFile(data_path, "application/json", "Data", "the data the form was filled from");
    for (const auto& [list, file] : args.rows)
        if (job.LastFailure().number == 0)
            job.AttachFile(file, "text/csv", "Data", "the rows of " + list + " the form was filled from");
    return job.LastFailure().number == 0;
}

// One document filled on a job of this thread's and written to out through
// "KT482 PDF", protected as asked: the exit status, its reason written.
int write_document(Form& form, const FillArguments& args, const std::string& data_path, const std::string& out)
{
    if (std::string p = prepare(form, args, data_path); !p.empty())
        return problem(p);
    SpoolFolder spool;
    if (spool.path().empty())
        return problem("cannot make a spool folder in " + fs::temp_directory_path().string());
    g_reported = false;
    KT482_Print job;
    job.P_Temp_Dir(spool.path());
    int status = 0;
    if (!protect(job, args, data_path)) {
        status = 1;
    } else if (std::string p = form.Fill(job); !p.empty()) {
        status = g_reported ? 1 : problem(p);
    } else {
        std::error_code ec;
        const fs::path target = fs::absolute(out, ec);
        job.SetNextPdfPath(ec ? out : target.string());
        job.W_Device("KT482 PDF");
        if (!g_reported) {
            job.W_StartDoc(form.PaperSize(), form.Orientation(), form.PaperHeight(), form.PaperWidth());
            job.W_Print();
            job.W_EndDoc();
        }
        if (g_reported || job.LastPdfPath().empty()) {
            std::fprintf(stderr, "kt482: %s not written\n", out.c_str());
            status = 1;
        }
    }
    job.E_Clear();
    return status;
}

int on_printer_or_preview(Form& form, const FillArguments& args)
{
    SpoolFolder spool;
    if (spool.path().empty())
        return problem("cannot make a spool folder");
    g_reported = false;
    KT482_Print job;
    job.P_Temp_Dir(spool.path());
    int status = 0;
    if (std::string p = form.Fill(job); !p.empty()) {
        status = g_reported ? 1 : problem(p);
    } else if (args.preview) {
        job.V_Size_Set(form.PaperSize(), form.Orientation(), form.PaperHeight(), form.PaperWidth());
        if (!g_reported)
            job.V_Preview();
        status = g_reported ? 1 : 0;
    } else {
        job.W_Device(args.queue);
        if (!g_reported) {
            job.W_StartDoc(form.PaperSize(), form.Orientation(), form.PaperHeight(), form.PaperWidth());
            job.W_Print();
            job.W_EndDoc();
        }
        status = g_reported ? 1 : 0;
    }
    job.E_Clear();
    return status;
}

// Every *.json of the folder, by name, into OUT/NAME.pdf. Two workers, each
// with its own form and, on its own thread, its own job.
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
    const auto work = [&] {
        report_messages_on_stderr();
        Form form;
        const std::string loaded = form.LoadFile(args.template_path);
        for (std::size_t i; (i = next++) < inputs.size();) {
            const fs::path pdf = fs::path(args.out) / inputs[i].filename().replace_extension(".pdf");
            const int done = loaded.empty() ? write_document(form, args, inputs[i].string(), pdf.string()) : problem(loaded);
            // A bad document outweighs a failed one: the first says the input is at fault.
            for (int seen = status; done > seen && !status.compare_exchange_weak(seen, done);) {
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
        std::string error;
        if (parse_pdf_option(argv, i, args.pdf, error)) {
            if (!error.empty())
                return usage(error);
        } else if (a == "--attach-data") {
            args.attach_data = true;
        } else if (a == "-o" || a == "--output") {
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
    if ((args.pdf.any() || args.attach_data) && args.out.empty())
        return usage("the PDF file's options (--archive, --attach, --attach-data, --encrypt, --sign, --timestamp) "
                     "go with -o");
    std::error_code ec;
    if (fs::is_directory(args.data_path, ec)) {
        if (args.out.empty())
            return usage("a folder of data files needs -o OUT-FOLDER");
        return fill_folder(args);
    }

    report_messages_on_stderr();
    Form form;
    if (std::string p = form.LoadFile(args.template_path); !p.empty())
        return problem(p);
    if (!args.out.empty())
        return write_document(form, args, args.data_path, args.out);
    if (std::string p = prepare(form, args, args.data_path); !p.empty())
        return problem(p);
    return on_printer_or_preview(form, args);
}

}  // namespace kt482::cli
