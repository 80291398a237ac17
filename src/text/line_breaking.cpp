#include "text/line_breaking.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

#include "base/utf8.h"

namespace kt482::text {
namespace {

// The paragraph as UTF-16 for ICU, and the byte offset in the UTF-8 text of
// every UTF-16 index (one past the end included). A byte that starts no
// valid sequence stands for U+FFFD, one unit long.
struct Utf16Text {
    icu::UnicodeString units;
    std::vector<std::size_t> byte_at;
};

Utf16Text to_utf16(std::string_view text)
{
    Utf16Text out;
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8Char c = decode_utf8(text.substr(at));
        const std::size_t length = c.length == 0 ? 1 : c.length;
        const int before = out.units.length();
        out.units.append(static_cast<UChar32>(c.length == 0 ? 0xFFFD : c.code_point));
        for (int i = before; i < out.units.length(); ++i)
            out.byte_at.push_back(at);
        at += length;
    }
    out.byte_at.push_back(text.size());
    return out;
}

// ICU's line iterator for Japanese, one per thread: making one looks up the
// locale's rules and builds its state each time, for every paragraph of
// every box. Null when ICU has none.
icu::BreakIterator* line_iterator()
{
    thread_local const std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The strict rules: small kana and the prolonged sound mark never
        // start a line, which the normal ones allow.
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createLineInstance(icu::Locale::createFromName("ja@lb=strict"), status));
        return U_FAILURE(status) ? nullptr : std::move(made);
    }();
    return iterator.get();
}

// The byte offsets after which a line may end, in order, the paragraph's
// end last. Without ICU's iterator every character boundary is one.
std::vector<std::size_t> break_opportunities(std::string_view paragraph)
{
    const Utf16Text text = to_utf16(paragraph);
    std::vector<std::size_t> breaks;
    icu::BreakIterator* iterator = line_iterator();
    if (!iterator) {
        for (std::size_t i = 1; i < text.byte_at.size(); ++i)
            if (text.byte_at[i] != text.byte_at[i - 1])
                breaks.push_back(text.byte_at[i]);
        return breaks;
    }
    iterator->setText(text.units);
    for (int32_t at = iterator->next(); at != icu::BreakIterator::DONE; at = iterator->next())
        breaks.push_back(text.byte_at[static_cast<std::size_t>(at)]);
    // The iterator refers to the text it was given: it goes on to an empty
    // one of its own before this paragraph's is freed.
    static const icu::UnicodeString kNoText;
    iterator->setText(kNoText);
    return breaks;
}

std::string_view without_trailing_blanks(std::string_view line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.size() >= 3 && line.substr(line.size() - 3) == "\u3000")
        return without_trailing_blanks(line.substr(0, line.size() - 3));
    return line;
}

// Breaks a piece longer than a line between characters: as many whole
// characters as fit, at least one, to a line.
void break_between_characters(std::string_view piece, double limit, const MeasureText& measure,
                              std::vector<std::string>& lines, std::string& current)
{
    while (!piece.empty()) {
        const std::size_t length = std::max<std::size_t>(1, utf8_sequence_length(piece));
        const std::string candidate = current + std::string(piece.substr(0, length));
        if (!current.empty() && measure(without_trailing_blanks(candidate)) > limit) {
            lines.push_back(std::string(without_trailing_blanks(current)));
            current.clear();
            continue;
        }
        current = candidate;
        piece.remove_prefix(length);
    }
}

// One paragraph (no line ends in it), greedily: each piece between break
// opportunities joins the line while the line still fits.
void break_paragraph(std::string_view paragraph, double limit, const MeasureText& measure,
                     std::vector<std::string>& lines)
{
    std::string current;
    std::size_t from = 0;
    for (const std::size_t to : break_opportunities(paragraph)) {
        const std::string_view piece = paragraph.substr(from, to - from);
        from = to;
        const std::string candidate = current + std::string(piece);
        if (measure(without_trailing_blanks(candidate)) <= limit) {
            current = candidate;
            continue;
        }
        if (!current.empty()) {
            lines.push_back(std::string(without_trailing_blanks(current)));
            current.clear();
        }
        if (measure(without_trailing_blanks(piece)) <= limit)
            current = std::string(piece);
        else
            break_between_characters(piece, limit, measure, lines, current);
    }
    lines.push_back(std::string(without_trailing_blanks(current)));
}

}  // namespace

std::vector<std::string> break_lines(std::string_view text, double limit, const MeasureText& measure)
{
    std::vector<std::string> lines;
    while (true) {
        const std::size_t end = text.find_first_of("\r\n");
        break_paragraph(text.substr(0, end), limit, measure, lines);
        if (end == std::string_view::npos)
            return lines;
        const std::size_t next = text.substr(end, 2) == "\r\n" ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
}

}  // namespace kt482::text
