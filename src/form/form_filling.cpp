#include "form/form_filling.h"

#include <filesystem>
#include <optional>

#include "form/data_rows.h"
#include "form/number_text.h"
#include "form/page_plan.h"

namespace kt482::form {
namespace {

using Kind = JsonValue::Kind;

struct FillError {
    int source;
    std::size_t offset;
    std::string message;
};

// A value an item draws: nothing (null), a text or an exact number.
struct Value {
    enum class Type { None, Text, Number };
    Type type = Type::None;
    std::string text;
    Decimal number;
};

Value text_value(std::string text)
{
    Value v;
    v.type = Value::Type::Text;
    v.text = std::move(text);
    return v;
}

Value number_value(const Decimal& d)
{
    Value v;
    v.type = Value::Type::Number;
    v.number = d;
    return v;
}

// Whether a value reads as the text of a condition: numbers compare as
// numbers ("8" equals "8.0"), everything else as text.
bool reads_as(const Value& v, const std::string& wanted)
{
    if (v.type == Value::Type::Number) {
        const auto d = Decimal::parse(wanted);
        return d && *d == v.number;
    }
    return v.type == Value::Type::Text && v.text == wanted;
}

struct Totals {
    std::vector<Decimal> sums;
    long long count = 0;
    void add_row(const Decimal* row_sums)
    {
        for (std::size_t k = 0; k < sums.size(); ++k)
            sums[k] = *add(sums[k], row_sums[k]);
        ++count;
    }
    void reset(std::size_t n)
    {
        sums.assign(n, Decimal());
        count = 0;
    }
};

}  // namespace

struct Filling::State {
    const FormTemplate& tpl;
    const Sources& sources;
    const JsonValue& data;
    SourceText no_text;                // the text of rows made by hand, which name no source
    std::optional<DataRows> rows;      // the list's rows, when there is a list
    std::vector<Decimal> calc_values;
    Totals all;                        // over every row
    Plan plan;

    // What the values of one line are drawn from.
    struct Context {
        int page = 0, pages = 0;
        const JsonValue* row = nullptr;
        std::size_t row_index = 0;
        const Totals* running = nullptr;
        const Totals* page_totals = nullptr;
        const Totals* group = nullptr;
        std::string group_key;
    };

    int rows_source = 0;

    State(const FormTemplate& t, const Sources& s, const JsonValue& d) : tpl(t), sources(s), data(d) {}

    [[noreturn]] void fail(const JsonValue& at, const std::string& path, const std::string& problem) const
    {
        throw FillError{at.source, at.offset, path + ": " + problem};
    }

    std::string row_path(std::size_t index) const
    {
        return tpl.list->data_spelled + "[" + std::to_string(index) + "]";
    }

    // The data value at a dotted path, from the row when it has the first
    // part and from the document otherwise. A missing value is an error
    // naming where it was looked for.
    std::pair<const JsonValue*, std::string> lookup(const std::vector<std::string>& path, const Context& c) const
    {
        const JsonValue* at = &data;
        std::string where;
        const bool in_row = c.row && c.row->kind == Kind::Object;
        if (in_row && (c.row->member(path[0]) || !data.member(path[0]))) {
            // Special case: a name neither the row nor the document has is
            // reported as missing from the row, where it was most likely meant.
            at = c.row;
            where = row_path(c.row_index);
        }
        for (const std::string& part : path) {
            if (at->kind != Kind::Object)
                fail(*at, where.empty() ? "(top)" : where, "expected an object holding \"" + part + "\", got " + describe(*at));
            const JsonValue* next = at->member(part);
            if (!next)
                fail(*at, where.empty() ? "(top)" : where, "no field \"" + part + "\"");
            where = where.empty() ? part : where + "." + part;
            at = next;
        }
        return {at, where};
    }

    Value data_value(const Ref& ref, const Context& c, bool want_number) const
    {
        const auto [value, where] = lookup(ref.path, c);
        switch (value->kind) {
        case Kind::Null: return {};
        case Kind::Number: {
            const auto d = Decimal::parse(value->text);
            if (!d)
                fail(*value, where, "a number out of range: " + value->text);
            return number_value(*d);
        }
        case Kind::String:
            if (want_number)
                fail(*value, where, "expected a number, got " + describe(*value));
            return text_value(value->text);
        default:
            fail(*value, where, std::string("expected ") + (want_number ? "a number" : "a text or a number") +
                                    ", got " + describe(*value));
        }
    }

    Value value_of(const Ref& ref, const Context& c, bool want_number) const
    {
        switch (ref.kind) {
        case Ref::Kind::Page: return number_value(Decimal::from_int(c.page));
        case Ref::Kind::Pages: return number_value(Decimal::from_int(c.pages));
        case Ref::Kind::RowNumber: return number_value(Decimal::from_int(static_cast<long long>(c.row_index) + 1));
        case Ref::Kind::Count: return number_value(Decimal::from_int(c.running ? c.running->count : 0));
        case Ref::Kind::GroupCount: return number_value(Decimal::from_int(c.group ? c.group->count : 0));
        case Ref::Kind::GroupKey: return text_value(c.group_key);
        case Ref::Kind::Sum: return number_value(c.running ? c.running->sums[static_cast<std::size_t>(ref.index)] : Decimal());
        case Ref::Kind::PageSum:
            return number_value(c.page_totals ? c.page_totals->sums[static_cast<std::size_t>(ref.index)] : Decimal());
        case Ref::Kind::GroupSum:
            return number_value(c.group ? c.group->sums[static_cast<std::size_t>(ref.index)] : Decimal());
        case Ref::Kind::Calc: return number_value(calc_values[static_cast<std::size_t>(ref.index)]);
        case Ref::Kind::Data: return data_value(ref, c, want_number);
        }
        return {};
    }

    std::optional<std::string> text_of(const Item& item, const Context& c) const
    {
        if (item.field) {
            const Value v = value_of(*item.field, c, false);
            if (v.type == Value::Type::None)
                return std::nullopt;
            return v.type == Value::Type::Text ? v.text : v.number.text();
        }
        std::string text;
        for (const auto& piece : item.text->pieces) {
            text += piece.literal;
            if (piece.ref) {
                const Value v = value_of(*piece.ref, c, false);
                text += v.type == Value::Type::Text ? v.text : v.type == Value::Type::Number ? v.number.text() : "";
            }
        }
        return text;
    }

    std::optional<Decimal> number_of(const Item& item, const Context& c) const
    {
        if (item.value)
            return item.value;
        const Value v = value_of(*item.field, c, true);
        if (v.type == Value::Type::None)
            return std::nullopt;
        return v.number;
    }

    bool shown(const Item& item, const Context& c) const
    {
        if (!item.when_field)
            return true;
        return reads_as(value_of(*item.when_field, c, false), item.when_equals) != item.when_negated;
    }

    std::string picture_path(const std::string& file) const
    {
        std::filesystem::path p(file);
        if (p.is_relative())
            p = std::filesystem::path(tpl.base_dir) / p;
        return p.lexically_normal().string();
    }

    // Everything the item would draw, evaluated and checked, drawing nothing.
    void check(const Item& item, const Context& c) const
    {
        if (!shown(item, c))
            return;
        switch (item.kind) {
        case ItemKind::Text:
        case ItemKind::Barcode: (void)text_of(item, c); break;
        case ItemKind::Number: (void)number_of(item, c); break;
        case ItemKind::Picture: {
            const auto file = text_of(item, c);
            std::error_code ec;
            if (file && !std::filesystem::is_regular_file(picture_path(*file), ec))
                throw FillError{item.source, item.offset,
                                item.where + ": no picture file \"" + *file + "\" (" + picture_path(*file) + ")"};
            break;
        }
        default: break;
        }
    }

    void check_all(const std::vector<Item>& items, const Context& c) const
    {
        for (const Item& item : items)
            check(item, c);
    }

    // The row, read again when the data left it in its source; a row that
    // cannot be read again is a problem at the row.
    std::shared_ptr<const JsonValue> row_at(std::size_t i) const
    {
        RowRead read = rows->row(i);
        if (!read.value)
            throw FillError{rows_source, read.offset, row_path(i) + ": " + read.problem};
        return std::move(read.value);
    }

    std::string key_of(std::size_t i) const
    {
        Context c;
        const auto row = row_at(i);
        c.row = row.get();
        c.row_index = i;
        Ref r;
        r.path = tpl.list->group->key;
        const Value v = value_of(r, c, false);
        return v.type == Value::Type::Text ? v.text : v.type == Value::Type::Number ? v.number.text() : "";
    }

    void read_rows()
    {
        const ListRegion& list = *tpl.list;
        Context root;
        const auto [found, path] = lookup(list.data, root);
        if (found->kind != Kind::Array)
            fail(*found, path, "expected an array of rows, got " + describe(*found));
        const std::size_t source = static_cast<std::size_t>(found->source);
        rows.emplace(source < sources.list.size() ? sources.list[source].content : no_text, *found);
        rows_source = found->source;
        if (rows->size() > 1000000)
            fail(*found, path, "more than a million rows");
        const std::size_t n = rows->size();
        all.reset(list.sums.size());
        std::vector<Decimal> sums;
        for (std::size_t i = 0; i < n; ++i) {
            const auto held = row_at(i);
            const JsonValue& row = *held;
            if (row.kind != Kind::Object)
                fail(row, row_path(i), "expected an object, got " + describe(row));
            row_sums_of(row, i, sums);
            all.add_row(sums.data());
        }
    }

    // The row's summed fields (null counts as 0). Read from the row each
    // time it is needed, as every pass reads the row again anyway, rather
    // than kept for every row of a long list.
    void row_sums_of(const JsonValue& row, std::size_t i, std::vector<Decimal>& out) const
    {
        const ListRegion& list = *tpl.list;
        Context c;
        c.row = &row;
        c.row_index = i;
        out.resize(list.sums.size());
        for (std::size_t s = 0; s < list.sums.size(); ++s) {
            Ref r;
            r.path = {list.sums[s]};
            const Value v = value_of(r, c, true);
            // Bounded so that no sum of up to a million rows can overflow,
            // whichever rows it takes.
            if (v.type == Value::Type::Number && !v.number.fits(18, 6))
                fail(*lookup(r.path, c).first, row_path(i) + "." + list.sums[s],
                     "a summed value has at most 18 digits before the point and 6 after it, got " + v.number.text());
            out[s] = v.type == Value::Type::Number ? v.number : Decimal();
        }
    }

    // Sums and counts of the rows a computed value selects, then the values
    // built from them, in the order they are defined.
    void compute()
    {
        const std::size_t n = rows ? rows->size() : 0;
        calc_values.assign(tpl.calcs.size(), Decimal());
        Context summary;
        summary.running = &all;
        for (std::size_t ci = 0; ci < tpl.calcs.size(); ++ci) {
            const Calc& calc = tpl.calcs[ci];
            Decimal result;
            const std::string at = "calc." + calc.name;
            if (calc.op == Calc::Op::Sum || calc.op == Calc::Op::Count) {
                const std::size_t index = static_cast<std::size_t>(calc.sum_index);
                // Special case: over every row, the totals are those the
                // first pass added up.
                long long count = calc.has_where ? 0 : all.count;
                if (!calc.has_where && calc.op == Calc::Op::Sum && index < all.sums.size())
                    result = all.sums[index];
                std::vector<Decimal> sums;
                for (std::size_t i = 0; calc.has_where && i < n; ++i) {
                    Context c;
                    const auto row = row_at(i);
                    c.row = row.get();
                    c.row_index = i;
                    Ref r;
                    r.path = calc.where_field;
                    if (!reads_as(value_of(r, c, false), calc.where_equals))
                        continue;
                    ++count;
                    if (calc.op == Calc::Op::Sum) {
                        row_sums_of(*row, i, sums);
                        result = *add(result, sums[index]);
                    }
                }
                if (calc.op == Calc::Op::Count)
                    result = Decimal::from_int(count);
            } else {
                for (std::size_t o = 0; o < calc.operands.size(); ++o) {
                    const Value v = value_of(calc.operands[o], summary, true);
                    const Decimal d = v.type == Value::Type::Number ? v.number : Decimal();
                    if (calc.op == Calc::Op::Multiply) {
                        const auto product = multiply(d, calc.factor);
                        if (!product)
                            throw FillError{0, 0, at + ": the product does not fit"};
                        result = *product;
                    } else {
                        const auto negated = multiply(d, Decimal::from_int(-1));
                        const auto sum = add(result, calc.op == Calc::Op::Subtract && o > 0 ? *negated : d);
                        if (!sum)
                            throw FillError{0, 0, at + ": the sum does not fit"};
                        result = *sum;
                    }
                }
            }
            if (calc.places)
                result = result.rounded(*calc.places, calc.rounding);
            calc_values[ci] = result;
        }
    }

    std::vector<PlanLine> content() const
    {
        std::vector<PlanLine> lines;
        if (!rows)
            return lines;
        const std::size_t n = rows->size();
        lines.reserve(n + (tpl.list->group ? n / 4 : 0));
        const bool grouped = tpl.list->group.has_value();
        std::string previous;
        for (std::size_t i = 0; i < n; ++i) {
            const auto row = static_cast<uint32_t>(i);
            if (grouped) {
                std::string key = key_of(i);
                if (i == 0 || key != previous) {
                    if (i > 0 && !tpl.list->group->foot.empty())
                        lines.push_back({PlanLine::Kind::GroupFoot, row - 1});
                    if (!tpl.list->group->head.empty())
                        lines.push_back({PlanLine::Kind::GroupHead, row});
                    previous = std::move(key);
                }
            }
            lines.push_back({PlanLine::Kind::Row, row});
        }
        if (grouped && n > 0 && !tpl.list->group->foot.empty())
            lines.push_back({PlanLine::Kind::GroupFoot, static_cast<uint32_t>(n - 1)});
        return lines;
    }

    // Every item of every line checked with the row it is drawn with; the
    // sums, counts and page numbers do not change what is valid.
    void check_lines(const std::vector<PlanLine>& lines) const
    {
        Context c;
        c.running = c.page_totals = c.group = &all;
        check_all(tpl.every_page, c);
        check_all(tpl.first_page, c);
        if (tpl.summary)
            check_all(tpl.summary->items, c);
        if (!tpl.list)
            return;
        check_all(tpl.list->heading, c);
        for (const PlanLine& line : lines) {
            const auto row = row_at(line.row);
            c.row = row.get();
            c.row_index = line.row;
            if (line.kind == PlanLine::Kind::Row)
                check_all(tpl.list->detail, c);
            else if (line.kind == PlanLine::Kind::GroupHead)
                check_all(tpl.list->group->head, c);
            else if (line.kind == PlanLine::Kind::GroupFoot)
                check_all(tpl.list->group->foot, c);
        }
        c.row = nullptr;
        check_all(tpl.list->carried, c);
        check_all(tpl.list->brought, c);
    }

    void prepare()
    {
        if (tpl.list)
            read_rows();
        compute();
        const std::vector<PlanLine> lines = content();
        check_lines(lines);
        PlanShape shape;
        shape.has_list = tpl.list.has_value();
        if (tpl.list) {
            shape.rows_per_page = tpl.list->rows_per_page;
            shape.carried = !tpl.list->carried.empty();
            shape.brought = !tpl.list->brought.empty();
        }
        shape.summary_rows = tpl.summary ? tpl.summary->rows : -1;
        plan = plan_pages(lines, shape);
        if (plan.pages.size() > 9999)
            throw FillError{0, 0, "the form needs " + std::to_string(plan.pages.size()) + " pages, more than 9999"};
    }
};

namespace {

// Records items through the members, setting the font, colour and line
// style only when an item needs another than the one in force.
class Recorder {
public:
    Recorder(KT482_Print& job, const FormTemplate& tpl) : job_(job), tpl_(tpl) {}

    void start_page()
    {
        job_.E_Pitch(tpl_.page.row_pitch, tpl_.page.col_pitch);
        font_.reset();
        style_.reset();
        color_ = 0;  // every page starts black
    }

    void font(const Item& item)
    {
        const FontSpec& wanted = item.font ? *item.font : tpl_.page.font;
        if (font_ && *font_ == wanted)
            return;
        job_.E_Font(wanted.name, wanted.size, wanted.bold, 0);
        font_ = wanted;
    }

    void color(const Item& item)
    {
        const int32_t wanted = item.color.value_or(0);
        if (wanted == color_)
            return;
        job_.E_Color(wanted);
        color_ = wanted;
    }

    void style(const Item& item)
    {
        const std::pair<int16_t, int16_t> wanted{item.line_style.value_or(0), item.line_width.value_or(1)};
        if (style_ && *style_ == wanted)
            return;
        job_.E_DrawStyle(wanted.first, wanted.second);
        style_ = wanted;
    }

    void text(const Item& item, float row, float col, const std::string& text)
    {
        font(item);
        color(item);
        if (item.overflow != TextFit::None) {
            fitted(item, row, col, text);
            return;
        }
        switch (item.align) {
        case TextAlign::Left: job_.E_String(row, col, text); break;
        case TextAlign::Spread: job_.E_String_Kin(row, col, text, item.width); break;
        case TextAlign::Center: job_.E_String_Center(row, col, text, item.width); break;
        case TextAlign::Right: job_.E_String_Right(row, col, text); break;
        case TextAlign::Clip: job_.E_String_Left(row, col, text, item.width); break;
        }
    }

    // A text under its column's rule, which the members apply: the PDF's
    // text layer keeps the whole text whichever rule draws it.
    void fitted(const Item& item, float row, float col, const std::string& text)
    {
        switch (item.overflow) {
        case TextFit::None:
        case TextFit::Clip: job_.E_String_Left(row, col, text, item.width); break;
        case TextFit::Shrink: job_.E_String_Fit(row, col, text, item.width, 0); break;
        case TextFit::Condense: job_.E_String_Fit(row, col, text, item.width, 1); break;
        case TextFit::Ellipsis: job_.E_String_Fit(row, col, text, item.width, 2); break;
        case TextFit::Wrap: {
            const int16_t align = item.align == TextAlign::Center ? 1 : item.align == TextAlign::Right ? 2 : 0;
            job_.E_String_Box(row, col, row + static_cast<float>(item.wrap_rows), col + item.width, text, align);
            break;
        }
        }
    }

    void number(const Item& item, float row, float col, const Decimal& value)
    {
        font(item);
        color(item);
        if (item.align == TextAlign::Right)
            job_.E_String_Right(row, col, picture_text(item.picture, value));
        else
            job_.E_Numeric(row, col, value.to_double(), item.picture);
    }

    KT482_Print& job() { return job_; }

private:
    KT482_Print& job_;
    const FormTemplate& tpl_;
    std::optional<FontSpec> font_;
    std::optional<std::pair<int16_t, int16_t>> style_;
    int32_t color_ = 0;
};

}  // namespace

Filling::Filling(const FormTemplate& tpl, const Sources& sources, const JsonValue& data)
    : state_(std::make_unique<State>(tpl, sources, data))
{
}

Filling::~Filling() = default;

std::string Filling::prepare()
{
    try {
        state_->prepare();
    } catch (const FillError& e) {
        return state_->sources.locate(e.source, e.offset) + ": " + e.message;
    }
    return {};
}

int Filling::page_count() const { return static_cast<int>(state_->plan.pages.size()); }

namespace {

struct Drawer {
    const Filling::State& s;
    Recorder& rec;

    void draw(const Item& item, float row_offset, const Filling::State::Context& c)
    {
        if (!s.shown(item, c))
            return;
        const float row = item.row + row_offset;
        const float end_row = item.end_row + row_offset;
        KT482_Print& job = rec.job();
        switch (item.kind) {
        case ItemKind::Text:
            if (const auto t = s.text_of(item, c))
                rec.text(item, row, item.col, *t);
            break;
        case ItemKind::Number:
            if (const auto d = s.number_of(item, c))
                rec.number(item, row, item.col, *d);
            break;
        case ItemKind::Line:
            rec.style(item);
            rec.color(item);
            job.E_Line(row, item.col, end_row, item.end_col);
            break;
        case ItemKind::Rules:
            rec.style(item);
            rec.color(item);
            if (item.across)
                job.E_Line_Hor(row, item.col, item.offsets, item.span);
            else
                job.E_Line_Vrt(row, item.col, item.span, item.offsets);
            break;
        case ItemKind::Box:
            rec.style(item);
            rec.color(item);
            job.E_Keisen(row, item.col, end_row, item.end_col);
            break;
        case ItemKind::Fill: job.E_Fill(row, item.col, end_row, item.end_col, *item.color); break;
        case ItemKind::Picture:
            if (const auto file = s.text_of(item, c))
                job.E_Image(row, item.col, end_row, item.end_col, s.picture_path(*file), item.fit);
            break;
        case ItemKind::Barcode:
            if (const auto data = s.text_of(item, c))
                job.E_Barcode(row, item.col, end_row, item.end_col, item.symbology, *data, item.options);
            break;
        }
    }

    void draw_all(const std::vector<Item>& items, float row_offset, const Filling::State::Context& c)
    {
        for (const Item& item : items)
            draw(item, row_offset, c);
    }
};

}  // namespace

std::string Filling::record(KT482_Print& job) const
{
    try {
        record_pages(job);
    } catch (const FillError& e) {
        // Only rows read again can fail here, when their file changed after
        // the first pass: the pages so far are dropped, as on any problem.
        job.E_EndEdit();
        job.E_NewDocument();
        return state_->sources.locate(e.source, e.offset) + ": " + e.message;
    }
    return {};
}

void Filling::record_pages(KT482_Print& job) const
{
    const State& s = *state_;
    const FormTemplate& tpl = s.tpl;
    const std::size_t k = tpl.list ? tpl.list->sums.size() : 0;
    Recorder rec(job, tpl);
    Drawer drawer{s, rec};
    Totals running, page_totals, group;
    std::vector<Decimal> row_sums;
    running.reset(k);
    page_totals.reset(k);
    group.reset(k);
    State::Context c;
    c.pages = page_count();
    c.running = &running;
    c.page_totals = &page_totals;
    c.group = &group;

    job.P_TopMargin(tpl.page.top_mm);
    job.P_LeftMargin(tpl.page.left_mm);
    job.E_StartEdit();
    for (std::size_t p = 0; p < s.plan.pages.size(); ++p) {
        const PlanPage& page = s.plan.pages[p];
        if (p > 0)
            job.E_ChangePage();
        c.page = static_cast<int>(p) + 1;
        c.row = nullptr;
        page_totals.reset(k);
        rec.start_page();
        drawer.draw_all(tpl.every_page, 0, c);
        if (p == 0)
            drawer.draw_all(tpl.first_page, 0, c);
        if (page.list)
            drawer.draw_all(tpl.list->heading, 0, c);
        int shade_count = 0;
        for (std::size_t l = page.first_line; l < page.end_line; ++l) {
            const PlanLine& line = s.plan.lines[l];
            const float row = tpl.list->first_row + static_cast<float>(l - page.first_line);
            const auto held = s.row_at(line.row);
            c.row = held.get();
            c.row_index = line.row;
            switch (line.kind) {
            case PlanLine::Kind::Row: {
                s.row_sums_of(*held, line.row, row_sums);
                running.add_row(row_sums.data());
                page_totals.add_row(row_sums.data());
                group.add_row(row_sums.data());
                const ListRegion& list = *tpl.list;
                if (list.shade_every > 0 && ++shade_count % list.shade_every == 0)
                    job.E_Fill(row, list.shade_from_col, row + 1, list.shade_to_col, list.shade_color);
                drawer.draw_all(list.detail, row, c);
                break;
            }
            case PlanLine::Kind::GroupHead:
                group.reset(k);
                c.group_key = s.key_of(line.row);
                drawer.draw_all(tpl.list->group->head, row, c);
                break;
            case PlanLine::Kind::GroupHeadAgain:
                // The head again, over the group's first row; the group's
                // sums and count go on.
                c.group_key = s.key_of(line.row);
                drawer.draw_all(tpl.list->group->head, row, c);
                break;
            case PlanLine::Kind::GroupFoot:
                c.group_key = s.key_of(line.row);
                drawer.draw_all(tpl.list->group->foot, row, c);
                group.reset(k);
                break;
            case PlanLine::Kind::Carried:
                c.row = nullptr;
                drawer.draw_all(tpl.list->carried, row, c);
                break;
            case PlanLine::Kind::Brought:
                c.row = nullptr;
                drawer.draw_all(tpl.list->brought, row, c);
                break;
            }
        }
        if (page.summary_line >= 0) {
            c.row = nullptr;
            const float anchor = tpl.list ? tpl.list->first_row + static_cast<float>(page.summary_line) : 0;
            drawer.draw_all(tpl.summary->items, anchor, c);
        }
    }
    job.E_EndEdit();
}

}  // namespace kt482::form
