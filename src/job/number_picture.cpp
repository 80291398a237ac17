#include "job/number_picture.h"

#include <algorithm>
#include <cmath>

#include "job/number_text.h"

namespace kt482 {
namespace {

// The smallest double is about 4.9e-324; with 15 significant digits its last
// digit is the 338th decimal, so every decimal after the 340th is a zero and
// format_fixed is never asked for more.
constexpr std::size_t kMaxDecimals = 340;

// A picture may repeat "%" or "," thousands of times; beyond this many the
// scaled value has long overflowed or vanished, so further ones change nothing.
constexpr int kMaxScaleCount = 400;

// ----------------------------------------------------------------------------
// Parsing

enum class Part { Integer, Fraction, AfterExponent };

class SectionParser {
public:
    void literal(std::string_view bytes)
    {
        if (bytes.empty())
            return;
        auto& tokens = section_.tokens;
        // Adjacent text merges into one token, which also keeps the bytes of
        // a multi-byte character together.
        if (!tokens.empty() && tokens.back().kind == PictureTokenKind::Literal)
            tokens.back().text += bytes;
        else
            tokens.push_back({PictureTokenKind::Literal, std::string(bytes), false, 0});
    }

    void digit(char placeholder)
    {
        const bool required = placeholder == '0';
        switch (part_) {
        case Part::Integer: integer_digit(required); break;
        case Part::Fraction: fraction_digit(required); break;
        case Part::AfterExponent: literal(std::string_view(&placeholder, 1)); break;
        }
    }

    void point()
    {
        if (part_ != Part::Integer) {
            literal(".");
            return;
        }
        end_integer_part();
        section_.has_point = true;
        part_ = Part::Fraction;
        section_.tokens.push_back({PictureTokenKind::DecimalPoint, {}, false, 0});
    }

    void comma()
    {
        // Only a comma after an integer digit has a meaning; whether it groups
        // or scales depends on whether another integer digit follows.
        if (part_ != Part::Integer || section_.integer_digits == 0) {
            literal(",");
            return;
        }
        ++pending_commas_;
    }

    void percent()
    {
        section_.percent = std::min(section_.percent + 1, kMaxScaleCount);
        literal("%");
    }

    void exponent(char letter, char sign, std::size_t zeros)
    {
        end_integer_part();
        part_ = Part::AfterExponent;
        section_.scientific = true;
        section_.tokens.push_back(
            {PictureTokenKind::Exponent, std::string(1, letter), sign == '+', std::max<std::size_t>(zeros, 1)});
    }

    void sign_mark(std::string_view bytes)
    {
        section_.sign_mark = true;
        section_.tokens.push_back({PictureTokenKind::NegativeSign, std::string(bytes), false, 0});
    }

    void quoted(std::string_view text)
    {
        section_.quoted = true;
        literal(text);
    }

    bool in_exponent() const { return part_ == Part::AfterExponent; }

    PictureSection finish()
    {
        end_integer_part();
        if (first_required_ != kNone)
            section_.min_integer_digits = section_.integer_digits - first_required_;
        return std::move(section_);
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void integer_digit(bool required)
    {
        if (pending_commas_ > 0) {
            section_.grouping = true;
            pending_commas_ = 0;
        }
        if (required && first_required_ == kNone)
            first_required_ = section_.integer_digits;
        ++section_.integer_digits;
        section_.tokens.push_back({PictureTokenKind::IntegerDigit, {}, required, 0});
    }

    void fraction_digit(bool required)
    {
        ++section_.fraction_digits;
        if (required)
            section_.required_fraction_digits = section_.fraction_digits;
        section_.tokens.push_back({PictureTokenKind::FractionDigit, {}, required, 0});
    }

    // Commas that no integer digit followed scale the value.
    void end_integer_part()
    {
        const int scale = static_cast<int>(std::min<std::size_t>(pending_commas_, kMaxScaleCount));
        section_.thousands_scale = std::min(section_.thousands_scale + scale, kMaxScaleCount);
        pending_commas_ = 0;
    }

    PictureSection section_;
    Part part_ = Part::Integer;
    std::size_t pending_commas_ = 0;
    std::size_t first_required_ = kNone;
};

bool is_placeholder(char c)
{
    return c == '0' || c == '#';
}

// Reads "E+00" at `at` when it is an exponent: a letter, a sign and at least
// one placeholder. Returns the characters consumed, or 0 when it is not one.
std::size_t read_exponent(std::string_view picture, std::size_t at, SectionParser& parser)
{
    if (parser.in_exponent() || at + 2 >= picture.size())
        return 0;
    const char sign = picture[at + 1];
    if ((sign != '+' && sign != '-') || !is_placeholder(picture[at + 2]))
        return 0;
    std::size_t end = at + 2;
    std::size_t zeros = 0;
    for (; end < picture.size() && is_placeholder(picture[end]); ++end)
        zeros += picture[end] == '0';
    parser.exponent(picture[at], sign, zeros);
    return end - at;
}

// Quoted text runs to the closing quote; an unmatched quote quotes the rest
// of the picture, and is noted for picture_fault.
std::size_t read_quoted(std::string_view picture, std::size_t at, SectionParser& parser, bool& unclosed)
{
    const std::size_t close = picture.find('"', at + 1);
    if (close == std::string_view::npos) {
        unclosed = true;
        parser.quoted(picture.substr(at + 1));
        return picture.size() - at;
    }
    parser.quoted(picture.substr(at + 1, close - at - 1));
    return close + 1 - at;
}

// The negative signs of Japanese accounts, white and black triangles.
constexpr std::string_view kSignMarks[] = {"△", "▲"};

// The length of a sign mark at `at`, or 0 when none starts there.
std::size_t sign_mark_length(std::string_view picture, std::size_t at)
{
    for (std::string_view mark : kSignMarks) {
        if (picture.substr(at).starts_with(mark))
            return mark.size();
    }
    return 0;
}

// A backslash quotes the whole next character; a trailing one is dropped.
std::size_t read_escaped(std::string_view picture, std::size_t at, SectionParser& parser)
{
    if (at + 1 >= picture.size())
        return 1;
    const std::string_view rest = picture.substr(at + 1);
    const std::size_t length = std::max<std::size_t>(utf8_sequence_length(rest), 1);
    parser.literal(rest.substr(0, length));
    return 1 + length;
}

// The length of the item at `at`, after handing it to the parser.
std::size_t read_item(std::string_view picture, std::size_t at, SectionParser& parser, bool& unclosed)
{
    if (const std::size_t mark = sign_mark_length(picture, at)) {
        parser.sign_mark(picture.substr(at, mark));
        return mark;
    }
    const char c = picture[at];
    switch (c) {
    case '"': return read_quoted(picture, at, parser, unclosed);
    case '\\': return read_escaped(picture, at, parser);
    case '0':
    case '#': parser.digit(c); return 1;
    case '.': parser.point(); return 1;
    case ',': parser.comma(); return 1;
    case '%': parser.percent(); return 1;
    case 'E':
    case 'e':
        if (const std::size_t length = read_exponent(picture, at, parser))
            return length;
        break;
    default: break;
    }
    // Bytes of multi-byte characters are never one of the ASCII items above,
    // so copying byte by byte keeps them intact.
    parser.literal(picture.substr(at, 1));
    return 1;
}

// Parses the section starting at `at` up to an unquoted ";" or the end, and
// moves `at` past it. Returns whether a ";" ended it.
bool read_section(std::string_view picture, std::size_t& at, PictureSection& section, bool& unclosed)
{
    SectionParser parser;
    bool separator = false;
    while (at < picture.size()) {
        if (picture[at] == ';') {
            ++at;
            separator = true;
            break;
        }
        at += read_item(picture, at, parser, unclosed);
    }
    section = parser.finish();
    return separator;
}

// ----------------------------------------------------------------------------
// Digits

// The digits a section shows: the integer part without leading zeros (empty
// for zero), the fraction with exactly the section's decimals, and for
// scientific notation the exponent.
struct Digits {
    std::string integer;
    std::string fraction;
    long long exponent = 0;
};

bool shows_nonzero(const Digits& digits)
{
    return !digits.integer.empty() || digits.fraction.find_first_not_of('0') != std::string::npos;
}

void strip_leading_zeros(std::string& digits)
{
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
}

// The magnitude times 10^shift. The scaling is done in floating point: the
// 15 significant digits that format_fixed rounds to absorb its error.
double scale_by_power_of_ten(double magnitude, int shift)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kLargest = 22;
    while (shift != 0 && magnitude != 0 && std::isfinite(magnitude)) {
        const int step = std::min(std::abs(shift), kLargest);
        // Dividing by an exact power rounds once, where multiplying by an
        // inexact 1e-3 would round twice.
        magnitude = shift > 0 ? magnitude * kPowers[step] : magnitude / kPowers[step];
        shift += shift > 0 ? -step : step;
    }
    return magnitude;
}

Digits fixed_digits(const PictureSection& section, double magnitude)
{
    const auto decimals = static_cast<int>(std::min(section.fraction_digits, kMaxDecimals));
    const std::string text = format_fixed(magnitude, decimals);
    const std::size_t point = text.find('.');
    Digits digits;
    digits.integer = text.substr(0, point);
    strip_leading_zeros(digits.integer);
    if (point != std::string::npos)
        digits.fraction = text.substr(point + 1);
    digits.fraction.resize(section.fraction_digits, '0');
    return digits;
}

// Rounds a digit string to `keep` digits (at least one), halves away from
// zero. Returns whether the carry ran out of the first digit ("999" to
// "100"), which moves the decimal exponent up by one.
bool round_digit_string(std::string& digits, std::size_t keep)
{
    if (keep >= digits.size())
        return false;
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (!up)
        return false;
    for (std::size_t i = keep; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.front() = '1';
    return true;
}

// The significant digits of a positive magnitude as format_fixed rounds them
// (15 significant digits), and the decimal exponent of the first one.
std::string significant_digits(double magnitude, long long& first_exponent)
{
    // The estimate may be one off near powers of ten; asking for one decimal
    // more than needed only adds a zero.
    const auto estimate = static_cast<int>(std::floor(std::log10(magnitude)));
    const int decimals = std::clamp(kDoubleDigits + 1 - estimate, 0, static_cast<int>(kMaxDecimals) + 5);
    const std::string text = format_fixed(magnitude, decimals);
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string digits = text.substr(0, point);
    if (point < text.size())
        digits += text.substr(point + 1);
    const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    first_exponent = static_cast<long long>(point) - 1 - static_cast<long long>(first);
    return digits.substr(first);
}

// Scientific notation: the mantissa has exactly as many integer digits as
// the section has integer placeholders, the first of them significant.
Digits scientific_digits(const PictureSection& section, double magnitude)
{
    Digits digits;
    if (magnitude == 0) {
        digits.fraction.assign(section.fraction_digits, '0');
        return digits;
    }
    long long first_exponent = 0;
    std::string mantissa = significant_digits(magnitude, first_exponent);
    const std::size_t keep = std::max<std::size_t>(section.integer_digits + section.fraction_digits, 1);
    if (round_digit_string(mantissa, keep))
        ++first_exponent;
    mantissa.resize(keep, '0');
    digits.integer = mantissa.substr(0, section.integer_digits);
    strip_leading_zeros(digits.integer);
    digits.fraction = mantissa.substr(std::min(section.integer_digits, keep), section.fraction_digits);
    digits.exponent = first_exponent + 1 - static_cast<long long>(section.integer_digits);
    return digits;
}

// ----------------------------------------------------------------------------
// Rendering

class SectionWriter {
public:
    SectionWriter(const PictureSection& section, const Digits& digits, bool negative)
        : section_(section), digits_(digits), negative_(negative)
    {
        // "0" placeholders pad the integer part with zeros.
        integer_ = digits.integer;
        if (integer_.size() < section.min_integer_digits)
            integer_.insert(0, section.min_integer_digits - integer_.size(), '0');
        // "#" decimals drop trailing zeros, but never those of a "0".
        const std::size_t last = digits.fraction.find_last_not_of('0');
        const std::size_t significant = last == std::string::npos ? 0 : last + 1;
        shown_fraction_ = std::max(significant, section.required_fraction_digits);
        grouping_ = section.grouping && !section.scientific;
    }

    std::string write()
    {
        for (const PictureToken& token : section_.tokens)
            write_token(token);
        return std::move(out_);
    }

private:
    void write_token(const PictureToken& token)
    {
        switch (token.kind) {
        case PictureTokenKind::Literal: out_ += token.text; break;
        case PictureTokenKind::IntegerDigit: write_integer_placeholder(); break;
        case PictureTokenKind::DecimalPoint: write_point(); break;
        case PictureTokenKind::FractionDigit: write_fraction_placeholder(); break;
        case PictureTokenKind::Exponent: write_exponent(token); break;
        case PictureTokenKind::NegativeSign:
            if (negative_)
                out_ += token.text;
            break;
        }
    }

    // Placeholders stand for the integer digits from the right; the leftmost
    // one also takes every digit the picture has no placeholder for.
    void write_integer_placeholder()
    {
        const std::size_t position = section_.integer_digits - 1 - integer_seen_++;
        const bool leftmost = position + 1 == section_.integer_digits;
        const std::size_t highest = leftmost ? std::max(integer_.size(), position + 1) - 1 : position;
        write_integer_positions(highest, position);
    }

    // Without integer placeholders the integer digits stand before the point.
    void write_point()
    {
        if (section_.integer_digits == 0 && !integer_.empty())
            write_integer_positions(integer_.size() - 1, 0);
        out_ += '.';
    }

    // Writes the integer digits at positions highest down to lowest (0 is the
    // units), those that exist, with a grouping comma after each thousands
    // position.
    void write_integer_positions(std::size_t highest, std::size_t lowest)
    {
        const std::size_t size = integer_.size();
        for (std::size_t position = highest + 1; position-- > lowest;) {
            if (position >= size)
                continue;
            out_ += integer_[size - 1 - position];
            if (grouping_ && position > 0 && position % 3 == 0)
                out_ += ',';
        }
    }

    void write_fraction_placeholder()
    {
        const std::size_t index = fraction_seen_++;
        if (index < shown_fraction_)
            out_ += digits_.fraction[index];
    }

    void write_exponent(const PictureToken& token)
    {
        out_ += token.text;
        if (digits_.exponent < 0)
            out_ += '-';
        else if (token.required)
            out_ += '+';
        const std::string number = std::to_string(digits_.exponent < 0 ? -digits_.exponent : digits_.exponent);
        if (number.size() < token.exponent_digits)
            out_.append(token.exponent_digits - number.size(), '0');
        out_ += number;
    }

    const PictureSection& section_;
    const Digits& digits_;
    const bool negative_;
    std::string integer_;
    std::size_t shown_fraction_ = 0;
    bool grouping_ = false;
    std::size_t integer_seen_ = 0;
    std::size_t fraction_seen_ = 0;
    std::string out_;
};

// How a section shows the value's sign.
enum class SignRule {
    // The first section: a negative value that does not round to zero shows
    // its sign marks, or else a "-" at the very start.
    Automatic,
    // The negative section, given the magnitude: its sign marks are shown.
    Negative,
    // The zero section: no sign.
    None,
};

// Formats the value's magnitude with one section, its sign as the rule says.
std::string format_section(const PictureSection& section, double value, SignRule rule)
{
    if (section.empty())
        return number_to_text(value);
    const double magnitude =
        scale_by_power_of_ten(std::fabs(value), 2 * section.percent - 3 * section.thousands_scale);
    // Only an absurd run of "%" overflows; the value's own text is still
    // better than nothing.
    if (!std::isfinite(magnitude))
        return number_to_text(value);
    const Digits digits =
        section.scientific ? scientific_digits(section, magnitude) : fixed_digits(section, magnitude);
    const bool shown_negative = rule == SignRule::Automatic && value < 0 && shows_nonzero(digits);
    std::string text = SectionWriter(section, digits, shown_negative || rule == SignRule::Negative).write();
    if (shown_negative && !section.sign_mark)
        text.insert(0, 1, '-');
    return text;
}

}  // namespace

Picture parse_picture(std::string_view picture)
{
    Picture result;
    if (picture.empty())
        return result;
    std::size_t at = 0;
    bool more = true;
    while (more) {
        PictureSection section;
        more = read_section(picture, at, section, result.unclosed_quote);
        if (++result.written_sections <= 3)
            result.sections.push_back(std::move(section));
    }
    return result;
}

std::string_view picture_fault(const Picture& picture)
{
    if (picture.written_sections > 3)
        return "the picture has more than three sections (positive;negative;zero)";
    if (picture.unclosed_quote)
        return "the picture has a quote that is not closed";
    return {};
}

std::string format_picture(const Picture& picture, double value)
{
    if (!std::isfinite(value) || picture.sections.empty())
        return number_to_text(value);
    const auto& sections = picture.sections;
    // The negative and zero sections are chosen by the value before rounding.
    if (value < 0 && sections.size() >= 2 && !sections[1].empty())
        return format_section(sections[1], -value, SignRule::Negative);
    if (value == 0 && sections.size() >= 3 && !sections[2].empty())
        return format_section(sections[2], 0.0, SignRule::None);
    return format_section(sections[0], value, SignRule::Automatic);
}

std::string format_number_text(std::string_view value_text, std::string_view picture)
{
    const Result<double> value = parse_number_text(value_text);
    if (!value)
        return std::string(value_text);
    return format_picture(parse_picture(picture), *value);
}

}  // namespace kt482
