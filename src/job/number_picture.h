// Number pictures: how a form prints an amount ("#,##0", "#0.000",
// "¥#,##0;(¥#,##0)", "0.00E+00", "△#,##0", "#,##0;△#,##0;\"\"").
//
//   picture = section [";" section [";" section]]     positive ; negative ; zero
//   section = { item }
//   item    = "0"                 a digit that is always shown
//           | "#"                 a digit shown only when significant
//           | "."                 the first one is the decimal point, later ones are text
//           | ","                 between integer digits: thousands grouping;
//                                 after the last integer digit: value / 1000 per comma
//           | "%"                 value x 100, and the sign itself is shown
//           | ("E"|"e") ("+"|"-") ("0"|"#") { "0"|"#" }    scientific notation
//           | "\" char | '"' text '"'                       quoted text
//           | "△" | "▲"           the sign of a negative value, as Japanese
//                                 accounts write it; not shown otherwise
//           | any other character                           shown as it stands
//
// A section that is only a quoted text prints that text, so '""' prints
// nothing (a zero left blank); a section with nothing at all in it falls
// back to another (see format_picture).
//
// Parsing records a Picture once; formatting a value with it is pure and
// never fails. Texts are UTF-8; text items are copied byte for byte. A
// picture with more than three sections or an unclosed quote still formats
// (the extra sections ignored, the quote running to the end), but
// picture_fault names it, for members that refuse such pictures.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kt482 {

enum class PictureTokenKind {
    Literal,        // text copied to the output
    IntegerDigit,   // a digit placeholder before the decimal point
    DecimalPoint,   // the decimal point
    FractionDigit,  // a digit placeholder after the decimal point
    Exponent,       // "E+00": the letter, the exponent's sign and its digits
    NegativeSign,   // "△" or "▲": shown for a negative value only
};

struct PictureToken {
    PictureTokenKind kind = PictureTokenKind::Literal;
    // Literal: the bytes to copy. Exponent: the letter as written.
    // NegativeSign: the sign's bytes.
    std::string text;
    // Digit: "0" rather than "#". Exponent: "+" (a sign is always shown).
    bool required = false;
    // Exponent: the fewest digits the exponent shows.
    std::size_t exponent_digits = 0;
};

struct PictureSection {
    std::vector<PictureToken> tokens;
    std::size_t integer_digits = 0;
    std::size_t fraction_digits = 0;
    // The integer placeholders from the leftmost "0" on: the integer part is
    // padded with zeros to this width.
    std::size_t min_integer_digits = 0;
    // The fraction placeholders up to the last "0": shown even when zero.
    std::size_t required_fraction_digits = 0;
    bool has_point = false;
    bool grouping = false;
    bool scientific = false;
    // Commas after the last integer digit: the value is divided by 1000 each.
    int thousands_scale = 0;
    // Percent signs: the value is multiplied by 100 each.
    int percent = 0;
    // A "△" or "▲" shows the sign, so no "-" is added.
    bool sign_mark = false;
    // Quoted text was written, even empty text: the section prints it.
    bool quoted = false;

    // An empty section falls back to another one (see format_picture).
    bool empty() const { return tokens.empty() && !quoted; }
};

struct Picture {
    // None for an empty picture, which shows the value in its ordinary text;
    // otherwise one to three. Sections after the third are ignored.
    std::vector<PictureSection> sections;
    // How many sections the text had, the ignored ones included.
    std::size_t written_sections = 0;
    // A quote that no second quote closed.
    bool unclosed_quote = false;
};

Picture parse_picture(std::string_view picture);

// Why a picture is refused by the members that check it (more than three
// sections, an unclosed quote); empty for a sound picture.
std::string_view picture_fault(const Picture& picture);

// One section formats every value, with a "-" at the very start of the
// output for a negative value that does not round to zero. Two sections:
// positive and zero; negative, shown by its magnitude. Three: positive;
// negative; zero. An empty negative section formats negatives with the
// first and a "-"; an empty zero section uses the first. A negative value
// shows "△" or "▲" where its section has one, and then no "-"; the negative
// section always shows them.
// Not-a-number and infinity show in their ordinary text.
std::string format_picture(const Picture& picture, double value);

// A number text ("1234.5000", " -12 ") formatted with a picture. A text that
// is not a number is returned unchanged.
std::string format_number_text(std::string_view value_text, std::string_view picture);

}  // namespace kt482
