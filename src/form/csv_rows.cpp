#include "form/csv_rows.h"

#include <vector>

#include "form/decimal.h"

namespace kt482::form {
namespace {

struct Cell {
    std::string text;
    std::size_t offset = 0;
    bool quoted = false;
};

// "-12", "0.5", "12000": JSON's number grammar without an exponent.
bool plain_number(std::string_view t)
{
    const auto digit = [&](std::size_t at) { return at < t.size() && t[at] >= '0' && t[at] <= '9'; };
    std::size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
    const std::size_t start = i;
    while (digit(i))
        ++i;
    if (i == start || (i - start > 1 && t[start] == '0'))
        return false;
    if (i == t.size())
        return true;
    if (t[i] != '.')
        return false;
    const std::size_t fraction = ++i;
    while (digit(i))
        ++i;
    return i == t.size() && i > fraction;
}

// A cell is a number only when it is written as a plain number: "012" and
// "1e3" stay texts, so that codes keep their digits.
JsonValue cell_value(const Cell& cell, int source)
{
    JsonValue v;
    v.offset = cell.offset;
    v.source = source;
    if (cell.text.empty() && !cell.quoted)
        return v;
    v.kind = !cell.quoted && plain_number(cell.text) && Decimal::parse(cell.text) ? JsonValue::Kind::Number
                                                                                  : JsonValue::Kind::String;
    v.text = cell.text;
    return v;
}

}  // namespace

CsvRows read_csv_rows(std::string_view text, int source)
{
    CsvRows out;
    out.rows.kind = JsonValue::Kind::Array;
    out.rows.source = source;
    std::size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    std::vector<std::string> names;
    std::vector<Cell> line;
    std::size_t line_start = i;
    const SourceLines lines(text);

    const auto finish_line = [&]() -> bool {
        if (line.size() == 1 && line[0].text.empty() && !line[0].quoted)
            return true;  // a blank line
        if (names.empty()) {
            for (const Cell& c : line) {
                if (c.text.empty()) {
                    out.error = lines.position(c.offset) + ": a field without a name in the first line";
                    return false;
                }
                names.push_back(c.text);
            }
            return true;
        }
        if (line.size() != names.size()) {
            out.error = lines.position(line_start) + ": expected " + std::to_string(names.size()) + " cells, got " +
                        std::to_string(line.size());
            return false;
        }
        JsonValue row;
        row.kind = JsonValue::Kind::Object;
        row.offset = line_start;
        row.source = source;
        for (std::size_t c = 0; c < line.size(); ++c)
            row.members.emplace_back(names[c], cell_value(line[c], source));
        out.rows.items.push_back(std::move(row));
        return true;
    };

    Cell cell;
    cell.offset = i;
    while (i <= text.size()) {
        if (i == text.size() || text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            line.push_back(std::move(cell));
            if (!finish_line())
                return out;
            line.clear();
            i += i < text.size() && text[i] == '\r' ? 2 : 1;
            line_start = i;
            cell = Cell{};
            cell.offset = i;
            if (i >= text.size())
                break;
            continue;
        }
        const char c = text[i];
        if (c == ',') {
            line.push_back(std::move(cell));
            cell = Cell{};
            cell.offset = ++i;
            continue;
        }
        if (c == '"' && cell.text.empty() && !cell.quoted) {
            cell.quoted = true;
            const std::size_t open = i++;
            while (true) {
                if (i >= text.size()) {
                    out.error = lines.position(open) + ": a quoted cell without its closing quote";
                    return out;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        cell.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell.text += text[i++];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                out.error = lines.position(i) + ": text after a quoted cell's closing quote";
                return out;
            }
            continue;
        }
        cell.text += c;
        ++i;
    }
    if (names.empty())
        out.error = "1:1: no header line naming the fields";
    return out;
}

}  // namespace kt482::form
