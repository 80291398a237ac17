// Form templates and data are untrusted: any bytes either load or are
// refused with a problem that names its line and column, and a template
// that loads is checked against data without recording anything. The data
// is read as a form reads it, its arrays' rows left in the text and read
// again one at a time; every row so read must be the row of the document
// parsed whole. The input is a template, optionally followed by "\n----\n" and
// the data.
#include <string>
#include <string_view>

#include "form/form_filling.h"
#include "form/form_template.h"
#include "form/json_document.h"
#include "fuzz_check.h"

namespace {

// The same value, with the same positions (sources aside).
bool same(const kt482::form::JsonValue& a, const kt482::form::JsonValue& b)
{
    if (a.kind != b.kind || a.boolean != b.boolean || a.text != b.text || a.offset != b.offset ||
        a.items.size() != b.items.size() || a.members.size() != b.members.size())
        return false;
    for (std::size_t i = 0; i < a.items.size(); ++i)
        if (!same(a.items[i], b.items[i]))
            return false;
    for (std::size_t i = 0; i < a.members.size(); ++i)
        if (a.members[i].first != b.members[i].first || !same(a.members[i].second, b.members[i].second))
            return false;
    return true;
}

// The data parsed with its rows left in the text agrees with the data
// parsed whole: both refuse it or both read it, and every row read again is
// the whole tree's row. Returns the data when it is an object.
const kt482::form::JsonValue* check_data(const kt482::form::SourceText& text, int source, kt482::form::JsonParse& data)
{
    using namespace kt482::form;
    data = parse_data(text, source);
    const JsonParse whole = parse_json(text.view());
    KT482_FUZZ_CHECK(whole.root.has_value() == data.root.has_value());
    if (!data.root || data.root->kind != JsonValue::Kind::Object)
        return nullptr;
    for (std::size_t m = 0; m < data.root->members.size(); ++m) {
        const JsonValue& left = data.root->members[m].second;
        const JsonValue& expected = whole.root->members[m].second;
        for (std::size_t i = 0; i < left.spans.size(); ++i) {
            const JsonParse element = parse_element(text, left.spans[i], source);
            KT482_FUZZ_CHECK(element.root && i < expected.items.size() && same(*element.root, expected.items[i]));
        }
    }
    return &*data.root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    using namespace kt482::form;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const std::size_t cut = input.find("\n----\n");
    const std::string_view tpl_text = input.substr(0, cut);
    const std::string_view data_text = cut == std::string_view::npos ? "{}" : input.substr(cut + 6);

    Sources sources;
    const int tpl_source = sources.add("t", std::string(tpl_text));
    const int data_source = sources.add("d", std::string(data_text));
    JsonParse data;
    const JsonValue* data_root =
        check_data(sources.list[static_cast<std::size_t>(data_source)].content, data_source, data);

    JsonParse tpl_json = parse_json(sources.list[0].content.view());
    if (!tpl_json.root) {
        KT482_FUZZ_CHECK(!tpl_json.error.empty() && tpl_json.error.find(':') != std::string::npos);
        return 0;
    }
    FormTemplate tpl;
    tpl.base_dir = "/nonexistent";
    if (const std::string problem = load_template(sources, tpl_source, *tpl_json.root, tpl); !problem.empty()) {
        KT482_FUZZ_CHECK(problem.rfind("t:", 0) == 0);
        return 0;
    }
    if (!data_root)
        return 0;
    Filling filling(tpl, sources, *data_root);
    if (filling.prepare().empty())
        KT482_FUZZ_CHECK(filling.page_count() >= 1);
    return 0;
}
