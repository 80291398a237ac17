// CSV rows for a list: RFC 4180 (quoted cells, doubled quotes, CRLF or LF,
// a UTF-8 byte-order mark ignored), the first line naming the fields. Each
// row becomes a JSON object whose values point back at their cell.
#pragma once

#include <string>
#include <string_view>

#include "form/json_document.h"

namespace kt482::form {

struct CsvRows {
    JsonValue rows;     // an array of objects
    std::string error;  // "LINE:COLUMN: what is wrong" when not read
};

CsvRows read_csv_rows(std::string_view text, int source);

}  // namespace kt482::form
