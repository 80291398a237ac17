#include "cli/record_listing.h"

#include <string_view>

namespace kt482::cli {
namespace {

struct Labels {
    std::string_view code;
    // A label ending in '"' marks a text field, listed quoted.
    std::array<std::string_view, 5> names;
};

constexpr Labels kLabels[] = {
    {"PT  ", {"row pitch", "col pitch"}},
    {"FT  ", {"font\"", "size", "bold", "row margin"}},
    {"DR  ", {"style", "width"}},
    {"LN  ", {"from row", "col", "to row", "col"}},
    {"KE  ", {"from row", "col", "to row", "col"}},
    {"LNH ", {"base row", "col", "rows\"", "cols\""}},
    {"LNV ", {"base row", "col", "rows\"", "cols\""}},
    {"ST  ", {"row", "col", "text\""}},
    {"STR ", {"row", "col", "text\""}},
    {"STK ", {"row", "col", "text\"", "length"}},
    {"STC ", {"row", "col", "text\"", "length"}},
    {"STL ", {"row", "col", "text\"", "length"}},
    {"STN ", {"row", "col", "value", "picture\""}},
    {"NUMR", {"row", "end col", "value", "picture\""}},
    {"FIT ", {"row", "col", "text\"", "length", "mode"}},
    {"BOX ", {"from row", "col", "to row", "col", "align+text\""}},
};

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

}  // namespace

std::string describe_record(const PageRecordHeader& header, const RecordFields& fields)
{
    const std::string_view code(header.RecordCode.data(), header.RecordCode.size());
    std::string line = "  " + std::string(code) + " ";
    for (const Labels& labels : kLabels) {
        if (labels.code != code)
            continue;
        for (std::size_t i = 0; i < labels.names.size() && !labels.names[i].empty(); ++i) {
            std::string_view name = labels.names[i];
            const bool text = name.ends_with('"');
            if (text)
                name.remove_suffix(1);
            line += (i ? "  " : "") + std::string(name) + " " + (text ? quoted(fields[i + 1]) : fields[i + 1]);
        }
        return line;
    }
    line += "(unknown code)";
    for (std::size_t i = 1; i <= 5; ++i)
        if (header.FieldLength[i] > 0 || !fields[i].empty())
            line += "  " + quoted(fields[i]);
    return line;
}

}  // namespace kt482::cli
