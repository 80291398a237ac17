// A JSON document read with nlohmann's SAX parser into a small tree that
// keeps, for every value, where it starts in the source, and numbers as the
// text they were written with (so that amounts never pass through binary
// floating point). Errors name the line and column.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kt482::form {

struct JsonMember;

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a string's value, or a number as written
    std::vector<JsonValue> items;                              // an array's values
    std::vector<JsonMember> members;                           // an object's members, in order
    std::size_t offset = 0;                                    // byte where the value starts
    int source = 0;                                            // which document it came from

    const JsonValue* member(std::string_view name) const;
};

// An object's member: its key and value. A type of its own rather than a
// pair, which may not hold the value's type while that is still incomplete.
struct JsonMember {
    JsonMember(std::string key, JsonValue value) : first(std::move(key)), second(std::move(value)) {}
    std::string first;
    JsonValue second;
};

// "a string", "a number", ... for error texts.
const char* kind_name(JsonValue::Kind kind);
// The value as an error text shows it: a string quoted, an object as {...}.
std::string describe(const JsonValue& value);

// The source with its line starts, to turn a byte offset into "line:column"
// (both from 1; columns count characters, not bytes).
class SourceLines {
public:
    SourceLines() = default;
    explicit SourceLines(std::string_view text);
    std::string position(std::size_t offset) const;

private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

struct JsonParse {
    std::optional<JsonValue> root;
    std::string error;  // "line:column: what is wrong" when root is empty
};

// Parses text, rejecting duplicate keys in an object and nesting deeper
// than 64 levels.
JsonParse parse_json(std::string_view text);

}  // namespace kt482::form
