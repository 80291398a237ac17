#include "form/json_document.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include <nlohmann/json.hpp>

namespace kt482::form {
namespace {

constexpr std::size_t kMaxDepth = 64;
constexpr uint64_t kHashFactor = 1099511628211ULL;

bool blank_or_separator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ':'; }

uint64_t power(uint64_t base, std::size_t exponent)
{
    uint64_t result = 1;
    for (; exponent; exponent >>= 1, base *= base)
        if (exponent & 1)
            result *= base;
    return result;
}

// What the parser has read, byte by byte. The parser reports a token once it
// has read it (for a number, one byte more); the token therefore starts at
// the first byte after the previous report that is not blank or a
// separator, and its first bytes give a number's text as written. A hash of
// everything read lets an element's bytes be hashed without holding them.
struct ReadTrack {
    std::size_t consumed = 0;  // the offset of the next byte
    bool seeking = true;       // the next byte that is not blank starts a token
    std::size_t token_start = 0;
    uint64_t hash = 0;           // of the bytes before `consumed`
    uint64_t hash_at_token = 0;  // of the bytes before token_start
    std::string token;           // a number's first bytes
    bool in_number = false;
    bool hashing = true;         // only a file's bytes can change; a text in memory is not hashed

    void see(char c)
    {
        if (seeking && !blank_or_separator(c)) {
            seeking = false;
            token_start = consumed;
            hash_at_token = hash;
            token.clear();
            in_number = c == '-' || (c >= '0' && c <= '9');
        }
        if (in_number && token.size() < 48)
            token += c;
        if (hashing)
            hash = hash * kHashFactor + static_cast<unsigned char>(c) + 1;
        ++consumed;
    }
    // The hash of the bytes from `begin`, whose preceding bytes hashed to
    // `before`, to here.
    uint64_t hash_since(std::size_t begin, uint64_t before) const
    {
        return hash - before * power(kHashFactor, consumed - begin);
    }
};

// The bytes [begin, end) of a source, a window at a time, with what has
// been read tracked.
struct Cursor {
    Cursor(const SourceText& t, std::size_t begin, std::size_t e) : text(t), end(std::min(e, t.size()))
    {
        track.consumed = begin;
        track.hashing = !text.in_memory();
    }

    // Whether a byte is left, reading the next window when needed.
    bool more()
    {
        if (!piece.empty())
            return true;
        if (track.consumed >= end || failed)
            return false;
        const std::size_t to = text.in_memory() ? end : std::min(end, track.consumed + SourceText::kWindow);
        const auto next = text.bytes(track.consumed, to);
        if (!next || next->empty()) {
            failed = true;
            return false;
        }
        piece = *next;
        return true;
    }
    void advance()
    {
        track.see(piece.front());
        piece.remove_prefix(1);
    }

    const SourceText& text;
    std::size_t end;
    std::string_view piece;
    ReadTrack track;
    bool failed = false;
};

// The parser's input: an input iterator over a cursor; the end is a null
// cursor, and any iterator that has read everything equals it.
class CursorIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CursorIterator() = default;
    explicit CursorIterator(Cursor* cursor) : cursor_(cursor) {}
    const char& operator*() const { return cursor_->piece.front(); }
    CursorIterator& operator++()
    {
        cursor_->advance();
        return *this;
    }
    CursorIterator operator++(int)
    {
        CursorIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const CursorIterator& a, const CursorIterator& b) { return a.at_end() == b.at_end(); }
    friend bool operator!=(const CursorIterator& a, const CursorIterator& b) { return !(a == b); }

private:
    bool at_end() const { return !cursor_ || !cursor_->more(); }
    Cursor* cursor_ = nullptr;
};

// Arrays built whole (templates, and an element read again), or with their
// elements left in the source (data).
enum class Arrays { Whole, InSource };

// Builds the tree.
class TreeBuilder : public nlohmann::json_sax<nlohmann::json> {
public:
    TreeBuilder(ReadTrack& track, Arrays arrays, int source) : track_(track), arrays_(arrays), source_(source) {}

    bool null() override { return add(JsonValue{}); }
    bool boolean(bool v) override
    {
        JsonValue value;
        value.kind = JsonValue::Kind::Bool;
        value.boolean = v;
        return add(std::move(value));
    }
    bool number_integer(number_integer_t) override { return number(); }
    bool number_unsigned(number_unsigned_t) override { return number(); }
    bool number_float(number_float_t, const string_t& s) override { return number(s); }
    bool string(string_t& s) override
    {
        JsonValue value;
        value.kind = JsonValue::Kind::String;
        if (skipped_.empty())
            value.text = std::move(s);
        return add(std::move(value));
    }
    bool binary(binary_t&) override { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) override { return open(JsonValue::Kind::Object); }
    bool key(string_t& k) override
    {
        if (!skipped_.empty()) {
            // Inside an element left in the source: only its keys are kept,
            // while its object is open, to find a duplicate.
            std::vector<std::string>& keys = skipped_.back();
            if (std::find(keys.begin(), keys.end(), k) != keys.end())
                return fail("duplicate key \"" + k + "\"", token_start());
            keys.push_back(std::move(k));
            mark();
            return true;
        }
        JsonValue& object = *stack_.back();
        for (const auto& [name, _] : object.members)
            if (name == k)
                return fail("duplicate key \"" + k + "\"", token_start());
        mark();
        pending_key_ = std::move(k);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(JsonValue::Kind::Array); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override
    {
        if (error_.empty()) {
            // nlohmann's message: "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
            std::string what = ex.what();
            const auto colon = what.find(": ", what.find("column"));
            error_offset_ = begin_ + (position > 0 ? position - 1 : 0);
            error_ = colon == std::string::npos ? what : what.substr(colon + 2);
        }
        return false;
    }

    std::optional<JsonValue> root;
    std::string error_;
    std::size_t error_offset_ = 0;
    std::size_t begin_ = 0;  // where the parser's positions count from

private:
    std::size_t token_start() const { return track_.token_start; }
    void mark()
    {
        track_.seeking = true;
        track_.in_number = false;
    }

    // Whether a value placed in the open container is an element left in
    // the source.
    bool element_in_source() const
    {
        return arrays_ == Arrays::InSource && skipped_.empty() && !stack_.empty() &&
               stack_.back()->kind == JsonValue::Kind::Array;
    }

    bool number(const std::string& written = {})
    {
        JsonValue value;
        value.kind = JsonValue::Kind::Number;
        if (!written.empty()) {
            value.text = written;
        } else {
            const std::string_view token = track_.token;
            value.text = std::string(token.substr(0, token.find_first_not_of("+-0123456789.eE")));
        }
        return add(std::move(value));
    }
    bool add(JsonValue value)
    {
        value.offset = token_start();
        value.source = source_;
        mark();
        return place(std::move(value));
    }
    bool place(JsonValue value)
    {
        if (!skipped_.empty())
            return true;
        if (element_in_source()) {
            return add_span(value.offset, track_.hash_at_token);
        }
        if (stack_.empty()) {
            root = std::move(value);
            return true;
        }
        JsonValue& parent = *stack_.back();
        if (parent.kind == JsonValue::Kind::Array)
            parent.items.push_back(std::move(value));
        else
            parent.members.emplace_back(std::move(pending_key_), std::move(value));
        return true;
    }
    bool open(JsonValue::Kind kind)
    {
        if (stack_.size() + skipped_.size() >= kMaxDepth)
            return fail("nested deeper than 64 levels", token_start());
        const std::size_t start = token_start();
        mark();
        if (!skipped_.empty() || element_in_source()) {
            if (skipped_.empty()) {
                element_begin_ = start;
                element_hash_ = track_.hash_at_token;
            }
            skipped_.emplace_back();
            return true;
        }
        JsonValue value;
        value.kind = kind;
        value.offset = start;
        value.source = source_;
        JsonValue* placed = nullptr;
        if (stack_.empty()) {
            root = std::move(value);
            placed = &*root;
        } else {
            JsonValue& parent = *stack_.back();
            if (parent.kind == JsonValue::Kind::Array) {
                parent.items.push_back(std::move(value));
                placed = &parent.items.back();
            } else {
                parent.members.emplace_back(std::move(pending_key_), std::move(value));
                placed = &parent.members.back().second;
            }
        }
        stack_.push_back(placed);
        return true;
    }
    bool close()
    {
        mark();
        if (!skipped_.empty()) {
            skipped_.pop_back();
            return !skipped_.empty() || add_span(element_begin_, element_hash_);
        }
        // A long array's spans grew by doubling; what is left over would
        // be held for as long as the data.
        stack_.back()->spans.shrink_to_fit();
        stack_.pop_back();
        return true;
    }
    // The element of the open array from begin to here, whose preceding
    // bytes hashed to `before`.
    bool add_span(std::size_t begin, uint64_t before)
    {
        const std::size_t length = track_.consumed - begin;
        if (length > UINT32_MAX)
            return fail("an array's element longer than 4 GiB", begin);
        stack_.back()->spans.push_back(
            {begin, static_cast<uint32_t>(length), static_cast<uint32_t>(track_.hash_since(begin, before) >> 32)});
        return true;
    }
    bool fail(std::string message, std::size_t offset = 0)
    {
        error_ = std::move(message);
        error_offset_ = offset;
        return false;
    }

    ReadTrack& track_;
    Arrays arrays_;
    int source_;
    std::string pending_key_;
    // Pointers stay valid: a container only grows while its last element is
    // open, and the open element is always the last one of its parent.
    std::vector<JsonValue*> stack_;
    // The containers open inside an element left in the source, each with
    // its keys so far (none for an array), and where the element began.
    std::vector<std::vector<std::string>> skipped_;
    std::size_t element_begin_ = 0;
    uint64_t element_hash_ = 0;
};

enum class Whole { Document, Prefix };

// Parses the bytes [begin, end) of text; Prefix stops after the first
// value, as an element's bytes may run one byte past a number.
JsonParse parse_range(const SourceText& text, std::size_t begin, std::size_t end, Arrays arrays, Whole whole,
                      int source)
{
    Cursor cursor(text, begin, end);
    TreeBuilder builder(cursor.track, arrays, source);
    builder.begin_ = begin;
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(CursorIterator(&cursor), CursorIterator(), &builder,
                                       nlohmann::json::input_format_t::json, whole == Whole::Document);
    } catch (const std::exception& e) {
        builder.error_ = e.what();
    }
    JsonParse result;
    if (ok && builder.root && !cursor.failed) {
        result.root = std::move(builder.root);
        return result;
    }
    if (cursor.failed) {
        builder.error_ = "cannot read the text any more";
        builder.error_offset_ = cursor.track.consumed;
    }
    result.problem = builder.error_.empty() ? std::string("not a JSON document") : builder.error_;
    result.error_offset = builder.error_offset_;
    result.error = text.position(builder.error_offset_) + ": " + result.problem;
    return result;
}

}  // namespace

const JsonValue* JsonValue::member(std::string_view name) const
{
    for (const auto& [key, value] : members)
        if (key == name)
            return &value;
    return nullptr;
}

const char* kind_name(JsonValue::Kind kind)
{
    switch (kind) {
    case JsonValue::Kind::Null: return "null";
    case JsonValue::Kind::Bool: return "a boolean";
    case JsonValue::Kind::Number: return "a number";
    case JsonValue::Kind::String: return "a string";
    case JsonValue::Kind::Array: return "an array";
    case JsonValue::Kind::Object: return "an object";
    }
    return "a value";
}

std::string describe(const JsonValue& value)
{
    switch (value.kind) {
    case JsonValue::Kind::Null: return "null";
    case JsonValue::Kind::Bool: return value.boolean ? "true" : "false";
    case JsonValue::Kind::Number: return value.text;
    case JsonValue::Kind::String: {
        std::string shown = value.text.size() > 40 ? value.text.substr(0, 40) + "..." : value.text;
        return "\"" + shown + "\"";
    }
    case JsonValue::Kind::Array: return "an array";
    case JsonValue::Kind::Object: return "an object";
    }
    return {};
}

SourceLines::SourceLines(std::string_view text) : text_(text)
{
    starts_.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
            starts_.push_back(i + 1);
}

std::string SourceLines::position(std::size_t offset) const
{
    if (starts_.empty())
        return "1:1";
    offset = std::min(offset, text_.size());
    const auto line = std::upper_bound(starts_.begin(), starts_.end(), offset) - 1;
    std::size_t column = 1;
    for (std::size_t i = *line; i < offset; ++i)
        if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80)
            ++column;
    return std::to_string(line - starts_.begin() + 1) + ":" + std::to_string(column);
}

JsonParse parse_json(std::string_view text)
{
    // A view, not a copy: the text outlives the parse.
    const SourceText view = SourceText::borrowed(text);
    return parse_range(view, 0, text.size(), Arrays::Whole, Whole::Document, 0);
}

JsonParse parse_data(const SourceText& text, int source, DataRowsHeld rows)
{
    const Arrays arrays = rows == DataRowsHeld::Built ? Arrays::Whole : Arrays::InSource;
    JsonParse parsed = parse_range(text, 0, text.size(), arrays, Whole::Document, source);
    text.forget_window();
    return parsed;
}

JsonParse parse_element(const SourceText& text, const JsonSpan& span, int source)
{
    const auto bytes = text.bytes(span.begin, span.end());
    if (!bytes || bytes->size() != span.length || (!text.in_memory() && span_hash(*bytes) != span.hash)) {
        JsonParse changed;
        changed.problem = "the data changed since it was read";
        changed.error_offset = span.begin;
        changed.error = text.position(span.begin) + ": " + changed.problem;
        return changed;
    }
    return parse_range(text, span.begin, span.end(), Arrays::Whole, Whole::Prefix, source);
}

uint32_t span_hash(std::string_view bytes)
{
    uint64_t hash = 0;
    for (const char c : bytes)
        hash = hash * kHashFactor + static_cast<unsigned char>(c) + 1;
    // The high half, which every byte stirs; the low bits of such a product
    // depend on the low bits of the bytes alone.
    return static_cast<uint32_t>(hash >> 32);
}

}  // namespace kt482::form
