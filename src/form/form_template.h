// The form template as the loader leaves it: the page setup, the items of
// every page and of the first, the list region with its heading, detail,
// carried and brought-forward rows and groups, the computed values and the
// summary block. Every name an item refers to is resolved at load time, so
// that filling never meets an unknown name in the template.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "form/decimal.h"
#include "form/json_document.h"

namespace kt482::form {

// What a field or a {placeholder} names: a value of the filling (page
// number, sums, computed values) or a dotted path into the data.
struct Ref {
    enum class Kind { Page, Pages, RowNumber, Count, Sum, PageSum, GroupSum, GroupCount, GroupKey, Calc, Data };
    Kind kind = Kind::Data;
    int index = 0;                  // which sum or computed value
    std::vector<std::string> path;  // Data: the dotted path's parts
    std::string spelled;            // as written, for error texts
};

// A text with {placeholders}: literal pieces and references in turn.
struct TextTemplate {
    struct Piece {
        std::string literal;
        std::optional<Ref> ref;
    };
    std::vector<Piece> pieces;
};

struct FontSpec {
    std::string name;
    float size = 10;
    bool bold = false;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

enum class ItemKind { Text, Number, Line, Rules, Box, Fill, Picture, Barcode };
enum class TextAlign { Left, Spread, Center, Right, Clip };
// What a text too long for its width does: nothing (it runs on), clipped,
// shrunk, condensed (長体) or cut with "…" on its one line, or wrapped
// into a box of rows.
enum class TextFit { None, Clip, Shrink, Condense, Ellipsis, Wrap };

struct Item {
    ItemKind kind = ItemKind::Text;
    std::string where;  // the item's JSON path, for error texts
    int source = 0;
    std::size_t offset = 0;
    float row = 0, col = 0, end_row = 0, end_col = 0, width = 0;
    TextAlign align = TextAlign::Left;
    TextFit overflow = TextFit::None;   // text: the rule for a text too long
    int wrap_rows = 1;                  // text: the rows a wrapped text may take
    std::optional<TextTemplate> text;   // text, barcode data, picture file
    std::optional<Ref> field;           // the same from a field
    std::optional<Decimal> value;       // a number item's constant
    std::string picture;                // a number item's picture
    std::optional<FontSpec> font;
    std::optional<int32_t> color;
    std::optional<int16_t> line_style, line_width;
    bool across = true;                 // rules: across (E_Line_Hor) or down
    std::string offsets, span;          // rules
    int16_t fit = 0;                    // picture: 0 keeps proportions, 1 stretches
    std::string symbology, options;     // barcode
    std::optional<Ref> when_field;      // drawn only when this field ...
    std::string when_equals;            // ... reads this text
    bool when_negated = false;          // ... or, negated, does not
};

struct PageSetup {
    int16_t paper = 9;
    int16_t orientation = 1;
    float height_in = 0, width_in = 0;  // paper 256 only
    float top_mm = 10, left_mm = 10;
    float row_pitch = 15, col_pitch = 6;
    FontSpec font{"ＭＳ 明朝", 10, false};
};

struct Group {
    std::vector<std::string> key;  // the key field's dotted path in a row
    std::vector<Item> head, foot;
};

struct ListRegion {
    std::vector<std::string> data;  // the rows' dotted path in the data
    std::string data_spelled;
    float first_row = 0;
    int rows_per_page = 1;
    std::vector<Item> heading, detail, carried, brought;
    int shade_every = 0;
    int32_t shade_color = 0xF0F0F0;
    float shade_from_col = 0, shade_to_col = 0;
    std::vector<std::string> sums;  // the summed fields of a row
    std::optional<Group> group;
};

struct Calc {
    enum class Op { Sum, Count, Multiply, Add, Subtract };
    std::string name;
    Op op = Op::Sum;
    int sum_index = 0;                    // Sum: which running sum's field
    std::vector<std::string> where_field; // Sum, Count: rows whose field ...
    std::string where_equals;             // ... reads this text
    bool has_where = false;
    std::vector<Ref> operands;            // Multiply (one), Add, Subtract
    Decimal factor;                       // Multiply
    std::optional<int> places;            // rounding, when given
    Rounding rounding = Rounding::Down;
};

struct Summary {
    int rows = 0;
    std::vector<Item> items;
};

struct FormTemplate {
    PageSetup page;
    std::vector<Item> every_page, first_page;
    std::optional<ListRegion> list;
    std::vector<Calc> calcs;
    std::optional<Summary> summary;
    std::string base_dir;  // where relative picture files are found
};

// Where a problem is: "NAME:LINE:COLUMN: PATH: problem". Sources are the
// documents a filling reads (template, data, CSV files), by number.
struct Sources {
    struct Source {
        std::string name;
        SourceText content;
    };
    std::deque<Source> list;  // a deque, so that a source stays where a reader of its rows points
    int add(std::string name, std::string text);
    int add(std::string name, SourceText content);
    std::string locate(int source, std::size_t offset) const;
};

// Loads the template in source `source`; the error text (empty when loaded)
// names the JSON path and line:column of the first problem.
std::string load_template(const Sources& sources, int source, const JsonValue& root, FormTemplate& out);

}  // namespace kt482::form
