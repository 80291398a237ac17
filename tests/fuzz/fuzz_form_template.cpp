// Form templates and data are untrusted: any bytes either load or are
// refused with a problem that names its line and column, and a template
// that loads is checked against data without recording anything. The data
// is read as a form reads it, its arrays' rows left in the text and parsed
// again one at a time; every row so read must be the value the first pass
// checked. The input is a template, optionally followed by "\n----\n" and
// the data.
#include <string>
#include <string_view>

#include "form/form_filling.h"
#include "form/form_template.h"
#include "form/json_document.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    using namespace kt482::form;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const std::size_t cut = input.find("\n----\n");
    const std::string_view tpl_text = input.substr(0, cut);
    const std::string_view data_text = cut == std::string_view::npos ? "{}" : input.substr(cut + 6);

    Sources sources;
    const int tpl_source = sources.add("t", std::string(tpl_text));
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
    const int data_source = sources.add("d", std::string(data_text));
    const SourceText& data_source_text = sources.list[static_cast<std::size_t>(data_source)].content;
    JsonParse data = parse_data(data_source_text, data_source);
    // The data parsed whole agrees with it: either both refuse it or both
    // read it, and each row left in the text reads again.
    const JsonParse whole = parse_json(data_source_text.view());
    KT482_FUZZ_CHECK(whole.root.has_value() == data.root.has_value());
    if (!data.root || data.root->kind != JsonValue::Kind::Object)
        return 0;
    for (const auto& [key, member] : data.root->members)
        for (const JsonSpan& span : member.spans)
            KT482_FUZZ_CHECK(parse_element(data_source_text, span, data_source).root.has_value());
    Filling filling(tpl, sources, *data.root);
    if (filling.prepare().empty())
        KT482_FUZZ_CHECK(filling.page_count() >= 1);
    return 0;
}
