// A JSON document read with nlohmann's SAX parser into a small tree that
// keeps, for every value, where it starts in the source, and numbers as the
// text they were written with (so that amounts never pass through binary
// floating point). Errors name the line and column.
//
// Data can be read with its arrays' elements left in the source: the whole
// document is checked as it is read, each element keeps only where it lies,
// and parse_element reads one again when it is asked for. A list of many
// thousand rows then costs a few bytes a row instead of its tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "form/source_text.h"

namespace kt482::form {

struct JsonMember;

// Where an array's element lies in its source: bytes [begin, begin +
// length), and for a file a hash of them that tells the element read again
// from the one checked (a text in memory cannot change, and is not hashed).
// Sixteen bytes, as a long list keeps one for every row.
struct JsonSpan {
    uint64_t begin = 0;
    uint32_t length = 0;
    uint32_t hash = 0;
    std::size_t end() const { return static_cast<std::size_t>(begin) + length; }
};

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a string's value, or a number as written
    std::vector<JsonValue> items;                              // an array's values
    std::vector<JsonMember> members;                           // an object's members, in order
    std::vector<JsonSpan> spans;                               // an array's elements left in the source
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
    std::string error;           // "line:column: what is wrong" when root is empty
    std::string problem;         // the same without the position
    std::size_t error_offset = 0;  // the byte the position is of
};

// Parses text, rejecting duplicate keys in an object and nesting deeper
// than 64 levels.
JsonParse parse_json(std::string_view text);

// Parses a whole data document as parse_json does, but leaves every
// element of an array that is not itself inside an array's element in the
// source (an array's items stay empty, its spans say where they lie). Every
// value is marked as from `source`. A file is read a window at a time.
// Built: the arrays' elements built as parse_json builds them, for a short
// document (an invoice's data), whose few rows would cost more to read
// again than the tree they make.
enum class DataRowsHeld { LeftInText, Built };
JsonParse parse_data(const SourceText& text, int source, DataRowsHeld rows = DataRowsHeld::LeftInText);
// The size up to which a fill builds the rows of data held in memory (a
// file's are read again, so that one changed under the form is noticed).
inline constexpr std::size_t kDataBuiltWhole = 16 * 1024;

// An element of an array parse_data left in the source, parsed whole, with
// the offsets of the document. An error when the bytes are no longer those
// that were checked (a file changed since).
JsonParse parse_element(const SourceText& text, const JsonSpan& span, int source);

// The hash JsonSpan keeps, of bytes read again.
uint32_t span_hash(std::string_view bytes);

}  // namespace kt482::form
