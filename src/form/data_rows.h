// A list's rows, one at a time. An array held whole (rows from CSV) hands
// out its items; an array parse_data left in the source has each row read
// again and parsed when it is asked for. The last two rows read are kept, as
// every pass over the list asks for the rows in order, and now and then for
// the row before again (a group's foot after its last row). Special case: a
// list of at most kKeepAll bytes of text (an invoice's) keeps every row once
// parsed, which costs a bounded amount and spares the passes after the
// first their parsing.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "form/json_document.h"
#include "form/source_text.h"

namespace kt482::form {

struct RowRead {
    std::shared_ptr<const JsonValue> value;  // null on a problem
    std::string problem;                     // what is wrong, without a position
    std::size_t offset = 0;                  // where the problem is
};

class DataRows {
public:
    // text: the source the array came from (unused when it is held whole);
    // both must outlive the rows.
    DataRows(const SourceText& text, const JsonValue& array);
    // Drops the window of the file the rows were read from.
    ~DataRows();
    DataRows(const DataRows&) = delete;
    DataRows& operator=(const DataRows&) = delete;

    std::size_t size() const;
    RowRead row(std::size_t index) const;

    static constexpr std::size_t kKeepAll = 64 * 1024;

private:
    const SourceText& text_;
    const JsonValue& array_;
    struct Kept {
        std::size_t index = 0;
        std::shared_ptr<const JsonValue> value;
    };
    mutable std::array<Kept, 2> kept_;
    mutable std::size_t next_ = 0;  // the one to replace
    mutable std::vector<std::shared_ptr<const JsonValue>> all_;  // every row, for a short list
};

}  // namespace kt482::form
