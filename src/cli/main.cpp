// kt482: checks, lists, previews, prints or turns into a PDF a spool folder
// that a program recorded with KT482_Print, from another process.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/fill_command.h"
#include "cli/output_commands.h"
#include "cli/record_listing.h"
#include "cli/spool_folder.h"

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
    "\n"
    "kt482 COMMAND --help shows a command's options. Exit status: 0 done,\n"
    "1 a damaged page or a failure while printing, 2 a bad folder or bad arguments.\n";

constexpr std::string_view kOutputOptions =
    "options:\n"
    "  --paper CODE   paper code (9 A4, 8 A3, 11 A5, 12 B4, 13 B5, 1 Letter, ...); default 9\n"
    "  --landscape    landscape instead of portrait\n"
    "  --pages A-B    only pages A to B (A, A-, -B allowed); default every recorded page\n";

std::string help_of(std::string_view command)
{
    if (command == "pdf")
        return "usage: kt482 pdf SPOOLDIR OUT.pdf [OPTIONS]\n"
               "Writes the recorded pages into OUT.pdf (replaced only once complete).\n" +
               std::string(kOutputOptions);
    if (command == "print")
        return "usage: kt482 print SPOOLDIR --printer NAME [OPTIONS]\n"
               "Prints the recorded pages on the printer NAME (a print queue, or \"KT482 PDF\").\n" +
               std::string(kOutputOptions);
    if (command == "preview")
        return "usage: kt482 preview SPOOLDIR [OPTIONS]\n"
               "Shows the recorded pages in the preview window (needs a display).\n" +
               std::string(kOutputOptions);
    if (command == "fill")
        return kt482::cli::kFillHelp;
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
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (arg == "--landscape") {
            parsed.output.orientation = 2;
        } else if (arg == "--paper") {
            const std::string* v = value();
            const std::optional<int> code = v ? whole_number(*v) : std::nullopt;
            if (!code || *code < 1 || *code > 32767)
                parsed.error = "--paper needs a paper code (1 to 32767)";
            else
                parsed.output.paper = static_cast<int16_t>(*code);
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

int run(std::string_view command, const Arguments& args)
{
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
        return write_pdf(folder, args.positional[1], args.output);
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
            std::fputs(kt482::cli::kFillHelp, stdout);
            return 0;
        }
        return kt482::cli::run_fill(rest);
    }
    if (command != "pdf" && command != "print" && command != "preview" && command != "dump")
        return usage_error({}, "unknown command " + std::string(command));
    const Arguments args = parse(std::vector<std::string>(argv + 2, argv + argc));
    if (args.help) {
        std::fputs(help_of(command).c_str(), stdout);
        return 0;
    }
    if (!args.error.empty())
        return usage_error(command, args.error);
    if (command == "dump" && (args.output.first || args.output.last || args.output.paper != 9 ||
                              args.output.orientation != 1))
        return usage_error(command, "dump takes no output options");
    return run(command, args);
}
