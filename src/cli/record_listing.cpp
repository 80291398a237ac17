#include "cli/record_listing.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kt482::cli {
namespace {

// How a record's last field holds two values: the host additions pack the
// picture's fit before its path, and a barcode's type before its data.
enum class LastField {
    Whole,
    FitThenPath,   // "0/srv/logo.png": one digit, then the path
    TypeThenData,  // "QR;ecc=H DS-0001": up to the first blank, then the rest
};

struct Labels {
    std::string_view code;
    // A label ending in '"' marks a text field, listed quoted. A split last
    // field takes two labels.
    std::array<std::string_view, 6> names;
    LastField last = LastField::Whole;
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
    {"IMG ", {"from row", "col", "to row", "col", "fit", "file\""}, LastField::FitThenPath},
    {"FIL ", {"from row", "col", "to row", "col", "colour"}},
    {"COL ", {"colour"}},
    {"BAR ", {"from row", "col", "to row", "col", "type\"", "data\""}, LastField::TypeThenData},
    {"NUMR", {"row", "end col", "value", "picture\""}},
    {"FIT ", {"row", "col", "text\"", "length", "mode"}},
    {"BOX ", {"from row", "col", "to row", "col", "align+text\""}},
};

// Quoted so that every byte of the field shows: a control character (a NUL
// in barcode data, a line break in a text) as \xHH, and the quote and the
// backslash escaped, so that a listed text reads back unambiguously.
std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The record's fields as listed: the last one split in two where its code
// packs two values into it.
std::vector<std::string_view> listed_values(const Labels& labels, const RecordFields& fields)
{
    std::vector<std::string_view> values;
    for (std::size_t i = 1; i < fields.size(); ++i)
        values.push_back(fields[i]);
    std::size_t last = 0;
    while (last + 1 < labels.names.size() && !labels.names[last + 1].empty())
        ++last;
    if (labels.last == LastField::Whole || last == 0 || last > values.size())
        return values;
    const std::string_view packed = values[last - 1];
    std::string_view head = packed;
    std::string_view tail;
    if (labels.last == LastField::FitThenPath) {
        head = packed.substr(0, std::min<std::size_t>(1, packed.size()));
        tail = packed.substr(head.size());
    } else if (const std::size_t blank = packed.find(' '); blank != std::string_view::npos) {
        head = packed.substr(0, blank);
        tail = packed.substr(blank + 1);
    }
    values[last - 1] = head;
    values.insert(values.begin() + static_cast<std::ptrdiff_t>(last), tail);
    return values;
}

}  // namespace

std::string describe_record(const PageRecordHeader& header, const RecordFields& fields)
{
    const std::string_view code(header.RecordCode.data(), header.RecordCode.size());
    std::string line = "  " + std::string(code) + " ";
    for (const Labels& labels : kLabels) {
        if (labels.code != code)
            continue;
        const std::vector<std::string_view> values = listed_values(labels, fields);
        for (std::size_t i = 0; i < labels.names.size() && !labels.names[i].empty() && i < values.size(); ++i) {
            std::string_view name = labels.names[i];
            const bool text = name.ends_with('"');
            if (text)
                name.remove_suffix(1);
            line += (i ? "  " : "") + std::string(name) + " " + (text ? quoted(values[i]) : std::string(values[i]));
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
