#include "form/form_template.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace kt482::form {
namespace {

using Kind = JsonValue::Kind;

struct LoadError {
    std::size_t offset;
    std::string message;
};

std::vector<std::string> split_path(std::string_view text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        parts.emplace_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts;
}

// "1;2.5;3" (separator ';', 1 to 200 numbers) or "0-86" (separator '-',
// exactly two), numbers 0 to 1000.
bool number_list(std::string_view text, char separator, std::size_t least, std::size_t most)
{
    std::size_t count = 0;
    while (true) {
        const std::size_t end = std::min(text.find(separator), text.size());
        const auto d = Decimal::parse(text.substr(0, end));
        if (!d || !d->fits(4, 3) || d->text().front() == '-' || text.substr(0, end).find_first_of("eE+") != std::string_view::npos)
            return false;
        ++count;
        if (end == text.size())
            break;
        text.remove_prefix(end + 1);
    }
    return count >= least && count <= most;
}

// Reads the template's values, each check naming the JSON path of what it
// reads; the first problem ends the load.
class Reader {
public:
    explicit Reader(FormTemplate& out) : out_(out) {}

    [[noreturn]] void fail(const JsonValue& at, const std::string& path, const std::string& problem) const
    {
        throw LoadError{at.offset, (path.empty() ? std::string("(top)") : path) + ": " + problem};
    }

    void expect(const JsonValue& v, const std::string& path, Kind kind) const
    {
        if (v.kind != kind)
            fail(v, path, std::string("expected ") + kind_name(kind) + ", got " + describe(v));
    }

    // The object's members, none but the allowed ones.
    void keys(const JsonValue& v, const std::string& path, std::initializer_list<std::string_view> allowed) const
    {
        expect(v, path, Kind::Object);
        for (const auto& [name, value] : v.members)
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                fail(value, join(path, name), "unknown key \"" + name + "\"");
    }

    static std::string join(const std::string& path, const std::string& name)
    {
        return path.empty() ? name : path + "." + name;
    }

    float number(const JsonValue& v, const std::string& path, double low, double high) const
    {
        expect(v, path, Kind::Number);
        const std::optional<Decimal> d = Decimal::parse(v.text);
        const double x = d ? d->to_double() : NAN;
        if (!(x >= low && x <= high))
            fail(v, path, "expected a number from " + Decimal::parse(std::to_string(low))->text() + " to " +
                              Decimal::parse(std::to_string(high))->text() + ", got " + v.text);
        return static_cast<float>(x);
    }

    int whole(const JsonValue& v, const std::string& path, int low, int high) const
    {
        const float x = number(v, path, low, high);
        if (x != std::floor(x))
            fail(v, path, "expected a whole number, got " + v.text);
        return static_cast<int>(x);
    }

    const std::string& string(const JsonValue& v, const std::string& path) const
    {
        expect(v, path, Kind::String);
        return v.text;
    }

    bool boolean(const JsonValue& v, const std::string& path) const
    {
        expect(v, path, Kind::Bool);
        return v.boolean;
    }

    int32_t color(const JsonValue& v, const std::string& path) const
    {
        const std::string& text = string(v, path);
        const bool ok = text.size() == 7 && text[0] == '#' &&
                        std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
        if (!ok)
            fail(v, path, "expected a colour \"#RRGGBB\", got " + describe(v));
        return static_cast<int32_t>(std::stoul(text.substr(1), nullptr, 16));
    }

    FontSpec font(const JsonValue& v, const std::string& path, const FontSpec& base) const
    {
        keys(v, path, {"name", "size", "bold", "vertical"});
        FontSpec f = base;
        if (const JsonValue* n = v.member("name")) {
            f.name = string(*n, join(path, "name"));
            if (f.name.empty())
                fail(*n, join(path, "name"), "expected a font name");
        }
        if (const JsonValue* s = v.member("size"))
            f.size = number(*s, join(path, "size"), 1, 500);
        if (const JsonValue* b = v.member("bold"))
            f.bold = boolean(*b, join(path, "bold"));
        if (const JsonValue* vert = v.member("vertical")) {
            // A face name starting with "@" sets the text in columns.
            const bool vertical = boolean(*vert, join(path, "vertical"));
            if (vertical && f.name.rfind('@', 0) != 0)
                f.name = "@" + f.name;
        }
        return f;
    }

    std::pair<float, float> corner(const JsonValue& v, const std::string& path) const
    {
        expect(v, path, Kind::Array);
        if (v.items.size() != 2)
            fail(v, path, "expected [row, column]");
        return {number(v.items[0], path + "[0]", -1000, 1000), number(v.items[1], path + "[1]", -1000, 1000)};
    }

    Ref ref(const JsonValue& at, const std::string& path, std::string_view text) const
    {
        Ref r;
        r.spelled = std::string(text);
        const auto named = [&](std::string_view prefix) -> std::optional<std::string_view> {
            if (text.substr(0, prefix.size()) == prefix)
                return text.substr(prefix.size());
            return std::nullopt;
        };
        const auto sum_index = [&](std::string_view name) {
            const auto& sums = out_.list ? out_.list->sums : std::vector<std::string>{};
            const auto it = std::find(sums.begin(), sums.end(), name);
            if (it == sums.end())
                fail(at, path, "\"" + std::string(text) + "\" names no field of list.sums");
            return static_cast<int>(it - sums.begin());
        };
        if (text == "page") {
            r.kind = Ref::Kind::Page;
        } else if (text == "pages") {
            r.kind = Ref::Kind::Pages;
        } else if (text == "row_number") {
            r.kind = Ref::Kind::RowNumber;
        } else if (text == "count") {
            r.kind = Ref::Kind::Count;
        } else if (text == "group_count") {
            r.kind = Ref::Kind::GroupCount;
        } else if (text == "group_key") {
            r.kind = Ref::Kind::GroupKey;
        } else if (auto s = named("sum.")) {
            r.kind = Ref::Kind::Sum;
            r.index = sum_index(*s);
        } else if (auto p = named("page_sum.")) {
            r.kind = Ref::Kind::PageSum;
            r.index = sum_index(*p);
        } else if (auto g = named("group_sum.")) {
            r.kind = Ref::Kind::GroupSum;
            r.index = sum_index(*g);
        } else if (auto c = named("calc.")) {
            r.kind = Ref::Kind::Calc;
            const auto it = std::find_if(calc_names_.begin(), calc_names_.end(), [&](const std::string& n) { return n == *c; });
            if (it == calc_names_.end())
                fail(at, path, "\"" + std::string(text) + "\" names no computed value defined before it");
            r.index = static_cast<int>(it - calc_names_.begin());
        } else {
            r.kind = Ref::Kind::Data;
            r.path = data_path(at, path, text);
        }
        return r;
    }

    std::vector<std::string> data_path(const JsonValue& at, const std::string& path, std::string_view text) const
    {
        std::vector<std::string> parts = split_path(text);
        if (std::any_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); }))
            fail(at, path, "expected a dotted field path such as \"customer.name\", got \"" + std::string(text) + "\"");
        return parts;
    }

    // "{page} / {pages}": literal pieces and references; "{{" and "}}" are
    // the braces themselves.
    TextTemplate text_template(const JsonValue& v, const std::string& path) const
    {
        const std::string& text = string(v, path);
        TextTemplate t;
        std::string literal;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
                literal += c;
                ++i;
                continue;
            }
            if (c == '}')
                fail(v, path, "a \"}\" without its \"{\" (write \"}}\" for the brace itself)");
            if (c != '{') {
                literal += c;
                continue;
            }
            const std::size_t close = text.find('}', i);
            if (close == std::string::npos)
                fail(v, path, "a \"{\" without its \"}\" (write \"{{\" for the brace itself)");
            t.pieces.push_back({std::move(literal), std::nullopt});
            literal.clear();
            t.pieces.push_back({{}, ref(v, path, std::string_view(text).substr(i + 1, close - i - 1))});
            i = close;
        }
        if (!literal.empty() || t.pieces.empty())
            t.pieces.push_back({std::move(literal), std::nullopt});
        return t;
    }

    Item item(const JsonValue& v, const std::string& path) const
    {
        expect(v, path, Kind::Object);
        const JsonValue* type = v.member("type");
        if (!type)
            fail(v, path, "missing \"type\" (text, number, line, rules, box, fill, picture or barcode)");
        const std::string& name = string(*type, join(path, "type"));
        Item it;
        it.where = path;
        it.offset = v.offset;
        if (name == "text") {
            it.kind = ItemKind::Text;
            keys(v, path, {"type", "when", "row", "col", "text", "field", "align", "width", "fit", "rows", "font", "color"});
        } else if (name == "number") {
            it.kind = ItemKind::Number;
            keys(v, path, {"type", "when", "row", "col", "value", "field", "picture", "align", "font", "color"});
        } else if (name == "line" || name == "box" || name == "fill") {
            it.kind = name == "line" ? ItemKind::Line : name == "box" ? ItemKind::Box : ItemKind::Fill;
            keys(v, path, {"type", "when", "from", "to", "color", "style", "line_width"});
        } else if (name == "rules") {
            it.kind = ItemKind::Rules;
            keys(v, path, {"type", "when", "direction", "row", "col", "offsets", "span", "color", "style", "line_width"});
        } else if (name == "picture") {
            it.kind = ItemKind::Picture;
            keys(v, path, {"type", "when", "from", "to", "file", "field", "fit"});
        } else if (name == "barcode") {
            it.kind = ItemKind::Barcode;
            keys(v, path, {"type", "when", "from", "to", "symbology", "data", "field", "options"});
        } else {
            fail(*type, join(path, "type"),
                 "unknown item type \"" + name + "\" (text, number, line, rules, box, fill, picture or barcode)");
        }
        const auto member = [&](const char* key) { return v.member(key); };
        const auto required = [&](const char* key) -> const JsonValue& {
            const JsonValue* m = v.member(key);
            if (!m)
                fail(v, path, std::string("missing \"") + key + "\"");
            return *m;
        };
        if (it.kind == ItemKind::Text || it.kind == ItemKind::Number || it.kind == ItemKind::Rules) {
            it.row = number(required("row"), join(path, "row"), -1000, 1000);
            it.col = number(required("col"), join(path, "col"), -1000, 1000);
        } else {
            std::tie(it.row, it.col) = corner(required("from"), join(path, "from"));
            if (it.kind != ItemKind::Line || member("to"))
                std::tie(it.end_row, it.end_col) = corner(required("to"), join(path, "to"));
        }
        if (const JsonValue* f = member("font"))
            it.font = font(*f, join(path, "font"), out_.page.font);
        if (const JsonValue* c = member("color"))
            it.color = color(*c, join(path, "color"));
        if (const JsonValue* s = member("style"))
            it.line_style = static_cast<int16_t>(whole(*s, join(path, "style"), 0, 4));
        if (const JsonValue* w = member("line_width"))
            it.line_width = static_cast<int16_t>(whole(*w, join(path, "line_width"), 1, 20));
        if (const JsonValue* f = member("field"))
            it.field = ref(*f, join(path, "field"), string(*f, join(path, "field")));
        if (const JsonValue* w = member("when"))
            condition(*w, join(path, "when"), it);
        switch (it.kind) {
        case ItemKind::Text: text_item(v, path, it); break;
        case ItemKind::Number: number_item(v, path, it); break;
        case ItemKind::Rules: rules_item(v, path, it); break;
        case ItemKind::Fill:
            if (!it.color)
                fail(v, path, "missing \"color\"");
            break;
        case ItemKind::Picture: picture_item(v, path, it); break;
        case ItemKind::Barcode: barcode_item(v, path, it); break;
        default: break;
        }
        return it;
    }

    // "when": {"field": ..., "equals": ...} or {"field": ..., "not_equals": ...}
    void condition(const JsonValue& w, const std::string& at, Item& it) const
    {
        keys(w, at, {"field", "equals", "not_equals"});
        const JsonValue* f = w.member("field");
        const JsonValue* e = w.member("equals");
        const JsonValue* n = w.member("not_equals");
        if (!f || !e == !n)
            fail(w, at, "expected \"field\" and one of \"equals\" and \"not_equals\"");
        it.when_field = ref(*f, join(at, "field"), string(*f, join(at, "field")));
        const JsonValue& value = e ? *e : *n;
        it.when_equals = value.kind == Kind::Number ? value.text : string(value, join(at, e ? "equals" : "not_equals"));
        it.when_negated = n != nullptr;
    }

    void one_source(const JsonValue& v, const std::string& path, const Item& it, const char* key) const
    {
        if (it.field && v.member(key))
            fail(v, path, std::string("give either \"") + key + "\" or \"field\", not both");
        if (!it.field && !v.member(key))
            fail(v, path, std::string("missing \"") + key + "\" or \"field\"");
    }

    void text_item(const JsonValue& v, const std::string& path, Item& it) const
    {
        one_source(v, path, it, "text");
        if (const JsonValue* t = v.member("text"))
            it.text = text_template(*t, join(path, "text"));
        std::string align = "left";
        if (const JsonValue* a = v.member("align"))
            align = string(*a, join(path, "align"));
        static const std::pair<const char*, TextAlign> kAligns[] = {{"left", TextAlign::Left},
            {"spread", TextAlign::Spread}, {"center", TextAlign::Center}, {"right", TextAlign::Right},
            {"clip", TextAlign::Clip}};
        const auto found = std::find_if(std::begin(kAligns), std::end(kAligns), [&](const auto& a) { return align == a.first; });
        if (found == std::end(kAligns))
            fail(*v.member("align"), join(path, "align"), "expected left, spread, center, right or clip, got " + describe(*v.member("align")));
        it.align = found->second;
        text_fit(v, path, it, align);
        const bool needs_width = it.align == TextAlign::Spread || it.align == TextAlign::Center ||
                                 it.align == TextAlign::Clip || it.overflow != TextFit::None;
        if (needs_width && !v.member("width"))
            fail(v, path, "missing \"width\" (" + (it.overflow != TextFit::None ? "fit" : align) + " needs the width in columns)");
        if (!needs_width && v.member("width"))
            fail(*v.member("width"), join(path, "width"), align + " text takes no width");
        if (const JsonValue* w = v.member("width"))
            it.width = number(*w, join(path, "width"), 0, 1000);
        if (it.overflow != TextFit::None && it.width <= 0)
            fail(*v.member("width"), join(path, "width"), "a fitted text needs a width above 0");
    }

    // "fit": the rule for a text longer than its width. The one-line rules
    // start at the column, as E_String_Fit does; a wrapped text fills a box
    // of "rows" rows, its lines placed by "align" (right: ending at the
    // box's right edge).
    void text_fit(const JsonValue& v, const std::string& path, Item& it, const std::string& align) const
    {
        const JsonValue* f = v.member("fit");
        const JsonValue* rows = v.member("rows");
        if (!f) {
            if (rows)
                fail(*rows, join(path, "rows"), "\"rows\" belongs to \"fit\": \"wrap\"");
            return;
        }
        static const std::pair<const char*, TextFit> kFits[] = {{"clip", TextFit::Clip}, {"shrink", TextFit::Shrink},
            {"condense", TextFit::Condense}, {"ellipsis", TextFit::Ellipsis}, {"wrap", TextFit::Wrap}};
        const std::string& name = string(*f, join(path, "fit"));
        const auto found = std::find_if(std::begin(kFits), std::end(kFits), [&](const auto& k) { return name == k.first; });
        if (found == std::end(kFits))
            fail(*f, join(path, "fit"), "expected clip, shrink, condense, ellipsis or wrap, got " + describe(*f));
        it.overflow = found->second;
        if (it.overflow == TextFit::Wrap) {
            if (it.align != TextAlign::Left && it.align != TextAlign::Center && it.align != TextAlign::Right)
                fail(*v.member("align"), join(path, "align"), "a wrapped text is aligned left, center or right, got " + describe(*v.member("align")));
            if (rows)
                it.wrap_rows = whole(*rows, join(path, "rows"), 1, 1000);
            return;
        }
        if (rows)
            fail(*rows, join(path, "rows"), "\"rows\" belongs to \"fit\": \"wrap\"");
        // Special case: "align": "clip" is the older spelling of "fit": "clip".
        if (it.align != TextAlign::Left && !(it.align == TextAlign::Clip && it.overflow == TextFit::Clip))
            fail(*v.member("align"), join(path, "align"), "a text fitted on its line starts at its column: " + align +
                                                             " does not go with \"fit\": \"" + name + "\"");
    }

    void number_item(const JsonValue& v, const std::string& path, Item& it) const
    {
        one_source(v, path, it, "value");
        if (const JsonValue* n = v.member("value")) {
            expect(*n, join(path, "value"), Kind::Number);
            it.value = Decimal::parse(n->text);
            if (!it.value)
                fail(*n, join(path, "value"), "a number out of range: " + n->text);
        }
        it.picture = "#,##0";
        if (const JsonValue* p = v.member("picture"))
            it.picture = string(*p, join(path, "picture"));
        if (it.picture.empty() || it.picture.size() > 64)
            fail(v, path, "expected a picture of 1 to 64 characters");
        if (const JsonValue* a = v.member("align")) {
            const std::string& align = string(*a, join(path, "align"));
            if (align != "left" && align != "right")
                fail(*a, join(path, "align"), "expected left or right, got " + describe(*a));
            it.align = align == "right" ? TextAlign::Right : TextAlign::Left;
        }
    }

    void rules_item(const JsonValue& v, const std::string& path, Item& it) const
    {
        const JsonValue* d = v.member("direction");
        if (!d)
            fail(v, path, "missing \"direction\" (across or down)");
        const std::string& dir = string(*d, join(path, "direction"));
        if (dir != "across" && dir != "down")
            fail(*d, join(path, "direction"), "expected across or down, got " + describe(*d));
        it.across = dir == "across";
        for (const char* key : {"offsets", "span"}) {
            const JsonValue* m = v.member(key);
            if (!m)
                fail(v, path, std::string("missing \"") + key + "\"");
            (key[0] == 'o' ? it.offsets : it.span) = string(*m, join(path, key));
        }
        // The members read "a;b;c" for the rules' offsets and "from-to" for
        // their extent; anything else would only fail when a page is drawn.
        if (!number_list(it.offsets, ';', 1, 200))
            fail(*v.member("offsets"), join(path, "offsets"), "expected offsets such as \"0;1;5\", got " + describe(*v.member("offsets")));
        if (!number_list(it.span, '-', 2, 2))
            fail(*v.member("span"), join(path, "span"), "expected an extent such as \"0-86\", got " + describe(*v.member("span")));
    }

    void picture_item(const JsonValue& v, const std::string& path, Item& it) const
    {
        one_source(v, path, it, "file");
        if (const JsonValue* f = v.member("file"))
            it.text = text_template(*f, join(path, "file"));
        if (const JsonValue* f = v.member("fit")) {
            const std::string& fit = string(*f, join(path, "fit"));
            if (fit != "keep" && fit != "stretch")
                fail(*f, join(path, "fit"), "expected keep or stretch, got " + describe(*f));
            it.fit = fit == "stretch" ? 1 : 0;
        }
    }

    void barcode_item(const JsonValue& v, const std::string& path, Item& it) const
    {
        one_source(v, path, it, "data");
        if (const JsonValue* d = v.member("data"))
            it.text = text_template(*d, join(path, "data"));
        const JsonValue* s = v.member("symbology");
        if (!s)
            fail(v, path, "missing \"symbology\"");
        it.symbology = string(*s, join(path, "symbology"));
        static const char* kKnown[] = {"QR", "CODE128", "GS1-128", "JAN13", "EAN13", "JAN8", "EAN8", "NW7", "ITF", "POSTAL"};
        if (std::none_of(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return it.symbology == k; }))
            fail(*s, join(path, "symbology"), "unknown symbology " + describe(*s));
        if (const JsonValue* o = v.member("options"))
            it.options = string(*o, join(path, "options"));
    }

    std::vector<Item> items(const JsonValue& v, const std::string& path) const
    {
        expect(v, path, Kind::Array);
        std::vector<Item> list;
        for (std::size_t i = 0; i < v.items.size(); ++i)
            list.push_back(item(v.items[i], path + "[" + std::to_string(i) + "]"));
        return list;
    }

    void page(const JsonValue& v, const std::string& path)
    {
        keys(v, path, {"paper", "orientation", "width_mm", "height_mm", "margins", "pitch", "font"});
        PageSetup& p = out_.page;
        if (const JsonValue* paper = v.member("paper")) {
            if (paper->kind == Kind::String) {
                static const std::pair<const char*, int16_t> kNamed[] = {
                    {"A3", 8}, {"A4", 9}, {"A5", 11}, {"B4", 12}, {"B5", 13}, {"Letter", 1}, {"user", 256}};
                const auto it = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const auto& n) { return paper->text == n.first; });
                if (it == std::end(kNamed))
                    fail(*paper, join(path, "paper"), "expected A3, A4, A5, B4, B5, Letter, user or a paper code, got " + describe(*paper));
                p.paper = it->second;
            } else {
                p.paper = static_cast<int16_t>(whole(*paper, join(path, "paper"), 1, 32767));
            }
        }
        if (const JsonValue* o = v.member("orientation")) {
            const std::string& text = string(*o, join(path, "orientation"));
            if (text != "portrait" && text != "landscape")
                fail(*o, join(path, "orientation"), "expected portrait or landscape, got " + describe(*o));
            p.orientation = text == "portrait" ? 1 : 2;
        }
        const JsonValue* w = v.member("width_mm");
        const JsonValue* h = v.member("height_mm");
        if ((p.paper == 256) != (w && h))
            fail(v, path, "a user paper size needs \"width_mm\" and \"height_mm\", and only it");
        if (w && h) {
            p.width_in = number(*w, join(path, "width_mm"), 10, 2000) / 25.4f;
            p.height_in = number(*h, join(path, "height_mm"), 10, 2000) / 25.4f;
        }
        if (const JsonValue* m = v.member("margins")) {
            const std::string at = join(path, "margins");
            keys(*m, at, {"top", "left"});
            if (const JsonValue* t = m->member("top"))
                p.top_mm = number(*t, join(at, "top"), 0, 500);
            if (const JsonValue* l = m->member("left"))
                p.left_mm = number(*l, join(at, "left"), 0, 500);
        }
        if (const JsonValue* pitch = v.member("pitch")) {
            const std::string at = join(path, "pitch");
            keys(*pitch, at, {"row", "col"});
            if (const JsonValue* r = pitch->member("row"))
                p.row_pitch = number(*r, join(at, "row"), 1, 500);
            if (const JsonValue* c = pitch->member("col"))
                p.col_pitch = number(*c, join(at, "col"), 1, 500);
        }
        if (const JsonValue* f = v.member("font"))
            p.font = font(*f, join(path, "font"), p.font);
    }

    // The list's own settings first: its sums are what items refer to.
    void list_settings(const JsonValue& v, const std::string& path)
    {
        keys(v, path, {"data", "first_row", "rows_per_page", "last_row", "heading", "row", "carried", "brought",
                       "shade", "sums", "group"});
        ListRegion& l = out_.list.emplace();
        const JsonValue* data = v.member("data");
        if (!data)
            fail(v, path, "missing \"data\" (the rows' field path)");
        l.data_spelled = string(*data, join(path, "data"));
        l.data = data_path(*data, join(path, "data"), l.data_spelled);
        const JsonValue* first = v.member("first_row");
        if (!first)
            fail(v, path, "missing \"first_row\"");
        l.first_row = number(*first, join(path, "first_row"), 0, 1000);
        const JsonValue* per_page = v.member("rows_per_page");
        const JsonValue* last = v.member("last_row");
        if (!per_page == !last)
            fail(v, path, "give one of \"rows_per_page\" and \"last_row\"");
        if (per_page)
            l.rows_per_page = whole(*per_page, join(path, "rows_per_page"), 1, 1000);
        else
            l.rows_per_page = whole(*last, join(path, "last_row"), 0, 1000) - static_cast<int>(l.first_row) + 1;
        if (l.rows_per_page < 3)
            fail(per_page ? *per_page : *last, join(path, per_page ? "rows_per_page" : "last_row"),
                 "a list needs room for at least 3 rows on a page");
        if (const JsonValue* sums = v.member("sums")) {
            expect(*sums, join(path, "sums"), Kind::Array);
            for (std::size_t i = 0; i < sums->items.size(); ++i)
                l.sums.push_back(string(sums->items[i], join(path, "sums") + "[" + std::to_string(i) + "]"));
        }
        if (const JsonValue* shade = v.member("shade")) {
            const std::string at = join(path, "shade");
            keys(*shade, at, {"every", "color", "from_col", "to_col"});
            const JsonValue* every = shade->member("every");
            const JsonValue* from = shade->member("from_col");
            const JsonValue* to = shade->member("to_col");
            if (!every || !from || !to)
                fail(*shade, at, "expected \"every\", \"from_col\" and \"to_col\"");
            l.shade_every = whole(*every, join(at, "every"), 1, 1000);
            l.shade_from_col = number(*from, join(at, "from_col"), -1000, 1000);
            l.shade_to_col = number(*to, join(at, "to_col"), -1000, 1000);
            if (const JsonValue* c = shade->member("color"))
                l.shade_color = color(*c, join(at, "color"));
        }
    }

    void list_items(const JsonValue& v, const std::string& path)
    {
        ListRegion& l = *out_.list;
        const JsonValue* row = v.member("row");
        if (!row)
            fail(v, path, "missing \"row\" (the items of one detail row)");
        l.detail = items(*row, join(path, "row"));
        if (const JsonValue* h = v.member("heading"))
            l.heading = items(*h, join(path, "heading"));
        if (const JsonValue* c = v.member("carried"))
            l.carried = items(*c, join(path, "carried"));
        if (const JsonValue* b = v.member("brought"))
            l.brought = items(*b, join(path, "brought"));
        if (const JsonValue* g = v.member("group")) {
            const std::string at = join(path, "group");
            keys(*g, at, {"key", "head", "foot"});
            Group& group = l.group.emplace();
            const JsonValue* key = g->member("key");
            if (!key)
                fail(*g, at, "missing \"key\"");
            group.key = data_path(*key, join(at, "key"), string(*key, join(at, "key")));
            if (const JsonValue* h = g->member("head"))
                group.head = items(*h, join(at, "head"));
            if (const JsonValue* f = g->member("foot"))
                group.foot = items(*f, join(at, "foot"));
        }
        for (const auto* line : {&l.detail, &l.carried, &l.brought})
            one_line(*line);
        if (l.group) {
            one_line(l.group->head);
            one_line(l.group->foot);
        }
    }

    // A list line is one row of the grid: a text wrapped over more rows
    // would be drawn over the lines after it.
    static void one_line(const std::vector<Item>& line)
    {
        for (const Item& it : line)
            if (it.overflow == TextFit::Wrap && it.wrap_rows > 1)
                throw LoadError{it.offset, it.where + ": a list line is one row high: a wrapped text in it takes \"rows\": 1"};
    }

    void calcs(const JsonValue& v, const std::string& path)
    {
        expect(v, path, Kind::Object);
        for (const auto& [name, def] : v.members) {
            const std::string at = join(path, name);
            Calc c;
            c.name = name;
            keys(def, at, {"sum", "count", "where", "multiply", "by", "add", "subtract", "round", "places"});
            const int ops = !!def.member("sum") + !!def.member("count") + !!def.member("multiply") + !!def.member("add") +
                            !!def.member("subtract");
            if (ops != 1)
                fail(def, at, "expected exactly one of \"sum\", \"count\", \"multiply\", \"add\" and \"subtract\"");
            if (const JsonValue* s = def.member("sum")) {
                c.op = Calc::Op::Sum;
                const Ref r = ref(*s, join(at, "sum"), "sum." + string(*s, join(at, "sum")));
                c.sum_index = r.index;
            } else if (const JsonValue* n = def.member("count")) {
                c.op = Calc::Op::Count;
                if (!boolean(*n, join(at, "count")))
                    fail(*n, join(at, "count"), "expected true");
            } else if (const JsonValue* m = def.member("multiply")) {
                c.op = Calc::Op::Multiply;
                c.operands.push_back(ref(*m, join(at, "multiply"), string(*m, join(at, "multiply"))));
                const JsonValue* by = def.member("by");
                if (!by)
                    fail(def, at, "missing \"by\"");
                const std::string& factor = by->kind == Kind::Number ? by->text : string(*by, join(at, "by"));
                const auto d = Decimal::parse(factor);
                if (!d)
                    fail(*by, join(at, "by"), "expected a decimal number, got " + describe(*by));
                c.factor = *d;
            } else {
                const bool adding = def.member("add") != nullptr;
                c.op = adding ? Calc::Op::Add : Calc::Op::Subtract;
                const JsonValue& list = *def.member(adding ? "add" : "subtract");
                const std::string lat = join(at, adding ? "add" : "subtract");
                expect(list, lat, Kind::Array);
                if (list.items.empty())
                    fail(list, lat, "expected at least one value");
                for (std::size_t i = 0; i < list.items.size(); ++i) {
                    const std::string iat = lat + "[" + std::to_string(i) + "]";
                    c.operands.push_back(ref(list.items[i], iat, string(list.items[i], iat)));
                }
            }
            if (def.member("by") && c.op != Calc::Op::Multiply)
                fail(*def.member("by"), join(at, "by"), "\"by\" belongs to \"multiply\"");
            if (const JsonValue* w = def.member("where")) {
                if (c.op != Calc::Op::Sum && c.op != Calc::Op::Count)
                    fail(*w, join(at, "where"), "\"where\" belongs to \"sum\" and \"count\"");
                const std::string wat = join(at, "where");
                keys(*w, wat, {"field", "equals"});
                const JsonValue* f = w->member("field");
                const JsonValue* e = w->member("equals");
                if (!f || !e)
                    fail(*w, wat, "expected \"field\" and \"equals\"");
                c.where_field = data_path(*f, join(wat, "field"), string(*f, join(wat, "field")));
                c.where_equals = e->kind == Kind::Number ? e->text : string(*e, join(wat, "equals"));
                c.has_where = true;
            }
            if (const JsonValue* r = def.member("round")) {
                const auto rule = rounding_named(string(*r, join(at, "round")));
                if (!rule)
                    fail(*r, join(at, "round"), "expected down, half_up or up, got " + describe(*r));
                c.rounding = *rule;
                c.places = 0;
            }
            if (const JsonValue* p = def.member("places"))
                c.places = whole(*p, join(at, "places"), 0, Decimal::kMaxPlaces);
            calc_names_.push_back(name);
            out_.calcs.push_back(std::move(c));
        }
    }

    void summary(const JsonValue& v, const std::string& path)
    {
        keys(v, path, {"rows", "items"});
        Summary& s = out_.summary.emplace();
        const JsonValue* rows = v.member("rows");
        const JsonValue* list = v.member("items");
        if (!rows || !list)
            fail(v, path, "expected \"rows\" and \"items\"");
        s.rows = whole(*rows, join(path, "rows"), 0, 1000);
        if (out_.list && s.rows > out_.list->rows_per_page)
            fail(*rows, join(path, "rows"), "the summary is taller than the list's rows on a page");
        s.items = items(*list, join(path, "items"));
    }

    void load(const JsonValue& root)
    {
        keys(root, "", {"$schema", "page", "every_page", "first_page", "list", "calc", "summary"});
        if (const JsonValue* p = root.member("page"))
            page(*p, "page");
        // Sums and computed values are defined before the items that name them.
        if (const JsonValue* l = root.member("list"))
            list_settings(*l, "list");
        if (const JsonValue* c = root.member("calc"))
            calcs(*c, "calc");
        if (const JsonValue* e = root.member("every_page"))
            out_.every_page = items(*e, "every_page");
        if (const JsonValue* f = root.member("first_page"))
            out_.first_page = items(*f, "first_page");
        if (const JsonValue* l = root.member("list"))
            list_items(*l, "list");
        if (const JsonValue* s = root.member("summary"))
            summary(*s, "summary");
    }

private:
    FormTemplate& out_;
    std::vector<std::string> calc_names_;
};

void mark_source(std::vector<Item>& items, int source)
{
    for (Item& it : items)
        it.source = source;
}

}  // namespace

int Sources::add(std::string name, std::string text) { return add(std::move(name), SourceText(std::move(text))); }

int Sources::add(std::string name, SourceText content)
{
    list.push_back({std::move(name), std::move(content)});
    return static_cast<int>(list.size()) - 1;
}

std::string Sources::locate(int source, std::size_t offset) const
{
    if (source < 0 || static_cast<std::size_t>(source) >= list.size())
        return "?";
    const Source& s = list[static_cast<std::size_t>(source)];
    return s.name + ":" + s.content.position(offset);
}

std::string load_template(const Sources& sources, int source, const JsonValue& root, FormTemplate& out)
{
    try {
        Reader(out).load(root);
    } catch (const LoadError& e) {
        return sources.locate(source, e.offset) + ": " + e.message;
    }
    for (auto* items : {&out.every_page, &out.first_page})
        mark_source(*items, source);
    if (out.list)
        for (auto* items : {&out.list->heading, &out.list->detail, &out.list->carried, &out.list->brought})
            mark_source(*items, source);
    if (out.list && out.list->group) {
        mark_source(out.list->group->head, source);
        mark_source(out.list->group->foot, source);
    }
    if (out.summary)
        mark_source(out.summary->items, source);
    return {};
}

}  // namespace kt482::form
