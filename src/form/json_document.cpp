#include "form/json_document.h"

#include <algorithm>
#include <iterator>

#include <nlohmann/json.hpp>

namespace kt482::form {
namespace {

constexpr std::size_t kMaxDepth = 64;

// An input iterator over the source that counts what the parser has read,
// so that the SAX handler knows where each token ended.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator() = default;
    CountingIterator(const char* at, std::size_t* consumed) : at_(at), consumed_(consumed) {}
    const char& operator*() const { return *at_; }
    CountingIterator& operator++()
    {
        ++at_;
        if (consumed_)
            ++*consumed_;
        return *this;
    }
    CountingIterator operator++(int)
    {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const CountingIterator& a, const CountingIterator& b) { return a.at_ == b.at_; }
    friend bool operator!=(const CountingIterator& a, const CountingIterator& b) { return a.at_ != b.at_; }
    friend difference_type operator-(const CountingIterator& a, const CountingIterator& b) { return a.at_ - b.at_; }

private:
    const char* at_ = nullptr;
    std::size_t* consumed_ = nullptr;
};

// Builds the tree. The parser reports a token once it has read it (for a
// number, one character more); a value therefore starts at the first
// character after the previous event's end that is not blank or a
// separator.
class TreeBuilder : public nlohmann::json_sax<nlohmann::json> {
public:
    TreeBuilder(std::string_view text, const std::size_t& consumed) : text_(text), consumed_(consumed) {}

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
        value.text = std::move(s);
        return add(std::move(value));
    }
    bool binary(binary_t&) override { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) override { return open(JsonValue::Kind::Object); }
    bool key(string_t& k) override
    {
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
            error_offset_ = position > 0 ? position - 1 : 0;
            error_ = colon == std::string::npos ? what : what.substr(colon + 2);
        }
        return false;
    }

    std::optional<JsonValue> root;
    std::string error_;
    std::size_t error_offset_ = 0;

private:
    // Where the token the parser just reported began: the number's own text
    // is scanned back from the end when it is a number.
    std::size_t token_start() const
    {
        std::size_t at = std::min(last_end_, text_.size());
        while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t' || text_[at] == '\r' ||
                                     text_[at] == '\n' || text_[at] == ',' || text_[at] == ':'))
            ++at;
        return at;
    }
    void mark() { last_end_ = consumed_; }

    bool number(const std::string& written = {})
    {
        JsonValue value;
        value.kind = JsonValue::Kind::Number;
        const std::size_t start = token_start();
        if (!written.empty()) {
            value.text = written;
        } else {
            std::size_t end = start;
            while (end < text_.size() && std::string_view("+-0123456789.eE").find(text_[end]) != std::string_view::npos)
                ++end;
            value.text = std::string(text_.substr(start, end - start));
        }
        value.offset = start;
        mark();
        return place(std::move(value));
    }
    bool add(JsonValue value)
    {
        value.offset = token_start();
        mark();
        return place(std::move(value));
    }
    bool place(JsonValue value)
    {
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
        if (stack_.size() >= kMaxDepth)
            return fail("nested deeper than 64 levels", token_start());
        JsonValue value;
        value.kind = kind;
        value.offset = token_start();
        mark();
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
        stack_.pop_back();
        mark();
        return true;
    }
    bool fail(std::string message, std::size_t offset = 0)
    {
        error_ = std::move(message);
        error_offset_ = offset;
        return false;
    }

    std::string_view text_;
    const std::size_t& consumed_;
    std::size_t last_end_ = 0;
    std::string pending_key_;
    // Pointers stay valid: a container only grows while its last element is
    // open, and the open element is always the last one of its parent.
    std::vector<JsonValue*> stack_;
};

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
    std::size_t consumed = 0;
    TreeBuilder builder(text, consumed);
    const CountingIterator first(text.data(), &consumed);
    const CountingIterator last(text.data() + text.size(), nullptr);
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(first, last, &builder);
    } catch (const std::exception& e) {
        builder.error_ = e.what();
    }
    JsonParse result;
    if (ok && builder.root) {
        result.root = std::move(builder.root);
        return result;
    }
    result.error = SourceLines(text).position(builder.error_offset_) + ": " +
                   (builder.error_.empty() ? std::string("not a JSON document") : builder.error_);
    return result;
}

}  // namespace kt482::form
