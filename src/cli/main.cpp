// kt482: checks, lists, previews, prints or turns into a PDF a spool folder
// that a program recorded with KT482_Print, from another process.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/fill_command.h"
#include "cli/output_commands.h"
#include "cli/pdf_options.h"
#include "cli/record_listing.h"
#include "cli/spool_folder.h"
#include "base/paper_table.h"
#include "print/printer_table.h"

namespace {

using namespace kt482::cli;

constexpr int kUsageError = 2;

constexpr std::string_view kOverview =
    "usage: kt482 COMMAND SPOOLDIR [OPTIONS]\n"
    "\n"
    "Works on a spool folder recorded by a program using KT482_Print (its P_Temp_Dir).\n"
    "\n"
    "commands:\n"
    "  pdf      SPOOLDIR OUT.pdf [OPTIONS]   write the pages into a PDF file\n"
    "  print    SPOOLDIR --printer NAME [OPTIONS]  print the pages\n"
    "  preview  SPOOLDIR [OPTIONS]           show the pages in the preview window\n"
    "  dump     SPOOLDIR [PAGE]              list the records of every page, or of one\n"
    "  fill     TEMPLATE.json DATA.json [-o OUT.pdf | --print QUEUE | --preview]\n"
    "                                        fill a form template from data\n"
    "  calibrate QUEUE [--offset X,Y]        print an alignment sheet, or store QUEUE's offset\n"
    "\n"
    "kt482 COMMAND --help shows a command's options. Exit status: 0 done,\n"
    "1 a damaged page or a failure while printing, 2 a bad folder or bad arguments.\n";

constexpr std::string_view kOutputOptions =
    "options:\n"
    "  --paper CODE   paper code (9 A4, 8 A3, 11 A5, 12 B4, 13 B5, 1 Letter, ...); default 9\n"
    "                 256 is a size of your own: give --width-mm W and --height-mm H (portrait)\n"
    "  --landscape    landscape instead of portrait\n"
    "  --pages A-B    only pages A to B (A, A-, -B allowed); default every recorded page\n";

constexpr std::string_view kPrinterOptions =
    "  --offset X,Y   move the print X mm right and Y mm down (-20 to 20; negative: left, up)\n"
    "  --source NAME  the paper source, as the queue names it (auto, manual, tray-1, ...)\n"
    "  --media-type NAME  the paper kind, as the queue names it (stationery, envelope, labels, ...)\n";
std::string help_of(std::string_view command)
{
    if (command == "pdf")
        return "usage: kt482 pdf SPOOLDIR OUT.pdf [OPTIONS]\n"
               "Writes the recorded pages into OUT.pdf (replaced only once complete).\n" +
               std::string(kOutputOptions) + kPdfOptionsHelp;
    if (command == "print")
        return "usage: kt482 print SPOOLDIR --printer NAME [OPTIONS]\n"
               "Prints the recorded pages on the printer NAME (a print queue, or \"KT482 PDF\").\n"
               "A queue's offset stored by kt482 calibrate applies unless --offset is given.\n" +
               std::string(kOutputOptions) + std::string(kPrinterOptions);
    if (command == "calibrate")
        return "usage: kt482 calibrate QUEUE [--offset X,Y] [--paper CODE] [--source NAME]\n"
               "Without --offset, prints an alignment sheet on QUEUE: crosses and millimetre rulers\n"
               "at known distances from the sheet's edges, printed without any offset. Measure\n"
               "where they fell, then store the correction: --offset X,Y moves QUEUE's print\n"
               "X mm right and Y mm down from then on (-20 to 20), kept in\n"
               "$XDG_CONFIG_HOME/kt482/printers.json.\n" +
               std::string(kOutputOptions) + std::string(kPrinterOptions);
    if (command == "preview")
        return "usage: kt482 preview SPOOLDIR [OPTIONS]\n"
               "Shows the recorded pages in the preview window (needs a display).\n" +
               std::string(kOutputOptions);
    if (command == "fill")
        return kt482::cli::fill_help();
    if (command == "dump")
        return "usage: kt482 dump SPOOLDIR [PAGE]\n"
               "Lists each page file and its records, one line each; a damaged page is\n"
               "reported with the record where the damage is.\n";
    return std::string(kOverview);
}

int usage_error(std::string_view command, const std::string& message)
{
    std::fprintf(stderr, "kt482: %s\n\n%s", message.c_str(), help_of(command).c_str());
    return kUsageError;
}

std::optional<int> whole_number(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<float> decimal(std::string_view text)
{
    const std::string copy(text);
    char* end = nullptr;
    const float value = std::strtof(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The paper codes the output commands take, listed for a code they do not.
std::string paper_codes()
{
    std::string list;
    for (const kt482::PaperEntry& entry : kt482::paper_table())
        list += "\n  " + std::to_string(entry.code) + " " + std::string(entry.name);
    return list + "\n  256 a size of your own (--width-mm, --height-mm)";
}

bool known_paper(int code)
{
    return code == kt482::kPaperUserDefined || kt482::paper_entry(static_cast<int16_t>(code)).has_value();
}

// "X,Y" in millimetres, each within the offset limit.
std::optional<std::pair<float, float>> parse_offset(std::string_view text)
{
    const auto comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    const auto x = decimal(text.substr(0, comma));
    const auto y = decimal(text.substr(comma + 1));
    if (!x || !y || !kt482::check_print_offset(*x, *y))
        return std::nullopt;
    return std::pair{*x, *y};
}

// "2-3", "2", "2-", "-3"; pages 1 to 9999.
bool parse_pages(std::string_view text, OutputOptions& options)
{
    const auto dash = text.find('-');
    const std::string_view from = text.substr(0, dash);
    const std::string_view to = dash == std::string_view::npos ? from : text.substr(dash + 1);
    const auto in_range = [](std::optional<int> v) { return v && *v >= 1 && *v <= 9999; };
    const std::optional<int> first = from.empty() ? std::optional<int>(0) : whole_number(from);
    const std::optional<int> last = to.empty() ? std::optional<int>(0) : whole_number(to);
    if (!first || !last || (*first && !in_range(first)) || (*last && !in_range(last)) || text == "-" ||
        (*first && *last && *first > *last))
        return false;
    options.first = static_cast<int16_t>(*first);
    options.last = static_cast<int16_t>(*last);
    return true;
}

struct Arguments {
    std::vector<std::string> positional;
    std::string printer;
    OutputOptions output;
    PdfOptions pdf;
    bool help = false;
    std::string error;
};

Arguments parse(const std::vector<std::string>& args)
{
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (parse_pdf_option(args, i, parsed.pdf, parsed.error)) {
            // One of the PDF file's options, read where every command reads them.
        } else if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (arg == "--landscape") {
            parsed.output.orientation = 2;
        } else if (arg == "--paper") {
            const std::string* v = value();
            const std::optional<int> code = v ? whole_number(*v) : std::nullopt;
            if (!code || !known_paper(*code))
                parsed.error = "--paper needs a paper code, one of these:" + paper_codes();
            else
                parsed.output.paper = static_cast<int16_t>(*code);
        } else if (arg == "--width-mm" || arg == "--height-mm") {
            const std::string* v = value();
            const std::optional<float> mm = v ? decimal(*v) : std::nullopt;
            // A page of a millimetre to five metres: beyond, no printer takes it.
            if (!mm || *mm < 1 || *mm > 5000)
                parsed.error = arg + " needs a length in millimetres (1 to 5000)";
            else
                (arg == "--width-mm" ? parsed.output.width_mm : parsed.output.height_mm) = *mm;
        } else if (arg == "--offset") {
            const std::string* v = value();
            const auto offset = v ? parse_offset(*v) : std::nullopt;
            if (!offset)
                parsed.error = "--offset needs X,Y in millimetres, each from -20 to 20 (such as 0.5,-1)";
            else
                parsed.output.offset_mm = offset;
        } else if (arg == "--source" || arg == "--media-type") {
            const std::string* v = value();
            if (!v || v->empty())
                parsed.error = arg + " needs a name as the queue gives it";
            else
                (arg == "--source" ? parsed.output.source : parsed.output.media_type) = *v;
        } else if (arg == "--pages") {
            const std::string* v = value();
            if (!v || !parse_pages(*v, parsed.output))
                parsed.error = "--pages needs a page range such as 2-3 (pages 1 to 9999)";
        } else if (arg == "--printer") {
            const std::string* v = value();
            if (!v || v->empty())
                parsed.error = "--printer needs a printer name";
            else
                parsed.printer = *v;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            parsed.error = "unknown option " + arg;
        } else {
            parsed.positional.push_back(arg);
        }
        if (!parsed.error.empty())
            break;
    }
    return parsed;
}

int dump(const SpoolFolder& folder, std::optional<int> only)
{
    int status = 0;
    for (int page : folder.pages) {
        if (only && page != *only)
            continue;
        std::printf("page %d\n", page);
        const std::string problem = read_page(folder, page, [](const auto& header, const auto& fields) {
            // Written by length: a listed line holds every byte of its record.
            const std::string line = describe_record(header, fields) + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        });
        if (!problem.empty()) {
            std::fprintf(stderr, "kt482: %s\n", problem.c_str());
            status = 1;
        }
    }
    return status;
}

// The options that only a command for a printer takes, and the size that
// goes with paper 256 only.
std::string misplaced_option(std::string_view command, const OutputOptions& output)
{
    const bool user_size = output.width_mm > 0 || output.height_mm > 0;
    if (output.paper == kt482::kPaperUserDefined && !(output.width_mm > 0 && output.height_mm > 0))
        return "--paper 256 needs --width-mm and --height-mm";
    if (output.paper != kt482::kPaperUserDefined && user_size)
        return "--width-mm and --height-mm belong to --paper 256";
    const bool for_printer = command == "print" || command == "calibrate";
    if (!for_printer && (output.offset_mm || !output.source.empty() || !output.media_type.empty()))
        return "--offset, --source and --media-type belong to the print and calibrate commands";
    return {};
}

int calibrate(const Arguments& args)
{
    if (args.positional.size() != 1)
        return usage_error("calibrate", args.positional.empty() ? "needs QUEUE" : "too many arguments");
    const std::string& queue = args.positional[0];
    if (args.output.offset_mm)
        return store_calibration(queue, *args.output.offset_mm);
    return print_calibration(queue, args.output);
}

int run(std::string_view command, const Arguments& args)
{
    if (const std::string problem = misplaced_option(command, args.output); !problem.empty())
        return usage_error(command, problem);
    if (command == "calibrate")
        return calibrate(args);
    const std::size_t wanted = command == "pdf" ? 2 : 1;
    const std::size_t allowed = command == "dump" ? 2 : wanted;
    if (args.positional.size() < wanted)
        return usage_error(command, command == "pdf" ? "needs SPOOLDIR and OUT.pdf" : "needs SPOOLDIR");
    if (args.positional.size() > allowed)
        return usage_error(command, "too many arguments");
    if (command == "print" && args.printer.empty())
        return usage_error(command, "print needs --printer NAME");
    if (command != "print" && !args.printer.empty())
        return usage_error(command, "--printer belongs to the print command");

    const FolderScan scan = scan_spool_folder(args.positional[0]);
    if (!scan.folder) {
        std::fprintf(stderr, "kt482: %s\n", scan.problem.c_str());
        return kUsageError;
    }
    const SpoolFolder& folder = *scan.folder;

    if (command == "dump") {
        std::optional<int> page;
        if (args.positional.size() == 2) {
            page = whole_number(args.positional[1]);
            if (!page || *page < 1 || *page > 9999)
                return usage_error(command, "PAGE is a page number, 1 to 9999");
            if (std::find(folder.pages.begin(), folder.pages.end(), *page) == folder.pages.end()) {
                std::fprintf(stderr, "kt482: %s: no page %d\n", folder.path.c_str(), *page);
                return 1;
            }
        }
        return dump(folder, page);
    }

    // A damaged page is found before anything is printed, so no half-printed
    // job goes out.
    if (const std::string problem = check_pages(folder, args.output.first, args.output.last); !problem.empty()) {
        std::fprintf(stderr, "kt482: %s\n", problem.c_str());
        return 1;
    }
    if (command == "pdf")
        return write_pdf(folder, args.positional[1], args.output, args.pdf);
    if (command == "print")
        return print_on(folder, args.printer, args.output);
    return show_preview(folder, args.output);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage_error({}, "no command given");
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(help_of(argc > 2 ? argv[2] : "").c_str(), stdout);
        return 0;
    }
    if (command == "fill") {
        const std::vector<std::string> rest(argv + 2, argv + argc);
        if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
            std::fputs(kt482::cli::fill_help().c_str(), stdout);
            return 0;
        }
        return kt482::cli::run_fill(rest);
    }
    if (command != "pdf" && command != "print" && command != "preview" && command != "dump" && command != "calibrate")
        return usage_error({}, "unknown command " + std::string(command));
    const Arguments args = parse(std::vector<std::string>(argv + 2, argv + argc));
    if (args.help) {
        std::fputs(help_of(command).c_str(), stdout);
        return 0;
    }
    if (!args.error.empty())
        return usage_error(command, args.error);
    if (command == "dump" && (args.output.first || args.output.last || args.output.paper != 9 ||
                              args.output.orientation != 1 || args.output.width_mm > 0 || args.output.height_mm > 0))
        return usage_error(command, "dump takes no output options");
    return run(command, args);
}
