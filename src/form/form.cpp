#include "kt482/form.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "form/csv_rows.h"
#include "form/form_filling.h"
#include "form/form_template.h"
#include "form/json_document.h"
#include "kt482/failure.h"

namespace kt482 {

using form::JsonValue;

// The template's text is source 0 and the data's 1; rows from CSV come
// after. New data drops the sources of the data before it, so that a form
// filled again and again holds only what its last fill read.
constexpr int kTemplateSource = 0;
constexpr int kDataSource = 1;

struct Form::Impl {
    Impl() { sources.list.resize(1); }
    // Forgets the data and every source read with it.
    void drop_data()
    {
        data.reset();
        sources.list.resize(kDataSource);
    }

    form::Sources sources;
    std::optional<form::FormTemplate> tpl;
    std::optional<JsonValue> data;
    int pages = 0;

    std::string set_data(const std::string& name, form::SourceText text)
    {
        const int source = sources.add(name, std::move(text));
        const form::SourceText& content = sources.list[static_cast<std::size_t>(source)].content;
        form::JsonParse parsed =
            form::parse_data(content, source,
                             content.in_memory() && content.size() <= form::kDataBuiltWhole
                                 ? form::DataRowsHeld::Built
                                 : form::DataRowsHeld::LeftInText);
        if (!parsed.root) {
            drop_data();
            return name + ":" + parsed.error;
        }
        if (parsed.root->kind != JsonValue::Kind::Object) {
            std::string problem = sources.locate(source, parsed.root->offset) + ": (top): expected an object, got " +
                                  form::describe(*parsed.root);
            drop_data();
            return problem;
        }
        data = std::move(parsed.root);
        return {};
    }
};

namespace {

std::optional<std::string> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

std::string strip_bom(std::string text)
{
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    return text;
}

}  // namespace

Form::Form() : impl_(std::make_unique<Impl>()) {}
Form::~Form() = default;
Form::Form(Form&&) noexcept = default;
Form& Form::operator=(Form&&) noexcept = default;

std::string Form::LoadFile(const std::string& path)
{
    const auto text = read_file(path);
    if (!text) {
        impl_->tpl.reset();
        return path + ": cannot read the template";
    }
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();
    return LoadText(*text, dir.empty() ? "." : dir.string(), path);
}

std::string Form::LoadText(std::string_view json, const std::string& base_dir, const std::string& name)
{
    impl_->tpl.reset();
    const int source = kTemplateSource;
    impl_->sources.list[source] = {name, form::SourceText(strip_bom(std::string(json)))};
    form::JsonParse parsed = form::parse_json(impl_->sources.list[source].content.view());
    if (!parsed.root)
        return name + ":" + parsed.error;
    form::FormTemplate tpl;
    tpl.base_dir = base_dir;
    if (std::string problem = form::load_template(impl_->sources, source, *parsed.root, tpl); !problem.empty())
        return problem;
    impl_->tpl = std::move(tpl);
    return {};
}

std::string Form::SetDataFile(const std::string& path)
{
    impl_->drop_data();
    // The file stays open and is read again row by row as the fills need
    // its rows, so that its text is never held whole.
    if (auto text = form::SourceText::open_file(path))
        return impl_->set_data(path, std::move(*text));
    // A pipe or a device cannot be read again: its text is held instead.
    auto whole = read_file(path);
    if (!whole)
        return path + ": cannot read the data";
    return impl_->set_data(path, form::SourceText(strip_bom(std::move(*whole))));
}

std::string Form::SetData(std::string_view json, const std::string& name)
{
    return SetData(std::string(json), name);
}

std::string Form::SetData(std::string&& json, const std::string& name)
{
    impl_->drop_data();
    return impl_->set_data(name, form::SourceText(strip_bom(std::move(json))));
}

std::string Form::SetData(const char* json, const std::string& name)
{
    return SetData(std::string_view(json ? json : ""), name);
}

std::string Form::SetRowsCsv(const std::string& list_path, std::string_view csv, const std::string& name)
{
    const int source = impl_->sources.add(name, std::string(csv));
    form::CsvRows rows = form::read_csv_rows(impl_->sources.list[static_cast<std::size_t>(source)].content.view(), source);
    if (!rows.error.empty())
        return name + ":" + rows.error;
    if (!impl_->data) {
        impl_->data.emplace();
        impl_->data->kind = JsonValue::Kind::Object;
    }
    // Walk to the array's parent, making the objects that are missing.
    JsonValue* at = &*impl_->data;
    std::string_view rest = list_path;
    while (true) {
        const std::size_t dot = rest.find('.');
        const std::string part(rest.substr(0, dot));
        if (part.empty())
            return name + ": \"" + list_path + "\" is not a dotted field path";
        if (at->kind != JsonValue::Kind::Object)
            return name + ": the data at \"" + list_path + "\" is not an object to hold the rows";
        JsonValue* next = nullptr;
        for (auto& [key, value] : at->members)
            if (key == part)
                next = &value;
        if (!next) {
            at->members.emplace_back(part, JsonValue{});
            next = &at->members.back().second;
            next->kind = JsonValue::Kind::Object;
        }
        at = next;
        if (dot == std::string_view::npos)
            break;
        rest.remove_prefix(dot + 1);
    }
    *at = std::move(rows.rows);
    return {};
}

std::string Form::SetRowsCsvFile(const std::string& list_path, const std::string& path)
{
    const auto text = read_file(path);
    if (!text)
        return path + ": cannot read the rows";
    return SetRowsCsv(list_path, *text, path);
}

std::string Form::Fill(KT482_Print& job)
{
    impl_->pages = 0;
    if (!impl_->tpl)
        return "Form::Fill: no template loaded";
    JsonValue empty;
    empty.kind = JsonValue::Kind::Object;
    form::Filling filling(*impl_->tpl, impl_->sources, impl_->data ? *impl_->data : empty);
    if (std::string problem = filling.prepare(); !problem.empty())
        return problem;
    job.ClearLastFailure();
    if (std::string problem = filling.record(job); !problem.empty())
        return problem;
    impl_->pages = filling.page_count();
    const FailureReport& failure = job.LastFailure();
    if (failure.number != 0)
        return "Form::Fill: " + failure.procedure + " failed: " + failure.description;
    return {};
}

std::string Form::WritePdf(const std::string& path)
{
    if (!impl_->tpl)
        return "Form::WritePdf: no template loaded";
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(path, ec);
    std::string problem;
    // The job state is the thread's: a thread of its own leaves the
    // caller's job as it was.
    std::thread worker([&] {
        std::string message;
        KT482_Print::SetMessageHandler([&](const Message& m) {
            if (message.empty())
                message = std::string(m.title) + ": " + std::string(m.text);
            return 1;
        });
        std::string spool = (std::filesystem::temp_directory_path(ec) / "kt482-form-XXXXXX").string();
        if (!::mkdtemp(spool.data())) {
            problem = "Form::WritePdf: cannot make a spool folder in " + std::filesystem::temp_directory_path(ec).string();
            return;
        }
        {
            KT482_Print job;
            job.P_Temp_Dir(spool);
            problem = Fill(job);
            if (problem.empty()) {
                job.SetNextPdfPath(ec ? path : target.string());
                job.W_Device("KT482 PDF");
                job.W_StartDoc(PaperSize(), Orientation(), PaperHeight(), PaperWidth());
                job.W_Print();
                job.W_EndDoc();
                // A wrapped text's lines that did not fit its box are noted
                // as an overflow without a message: the file is written all
                // the same, so that is no failure of writing it.
                const int32_t failure = job.LastFailure().number;
                const bool overflow_only = failure == static_cast<int32_t>(ErrorNumber::Overflow) && message.empty();
                if ((failure != 0 && !overflow_only) || job.LastPdfPath().empty())
                    problem = "Form::WritePdf: " + path + " not written" + (message.empty() ? "" : ": " + message);
            }
            job.E_Clear();
        }
        std::filesystem::remove_all(spool, ec);
        KT482_Print::SetMessageHandler({});
    });
    worker.join();
    return problem;
}

int Form::Pages() const { return impl_->pages; }
int16_t Form::PaperSize() const { return impl_->tpl ? impl_->tpl->page.paper : 9; }
int16_t Form::Orientation() const { return impl_->tpl ? impl_->tpl->page.orientation : 1; }
float Form::PaperHeight() const { return impl_->tpl ? impl_->tpl->page.height_in : 0; }
float Form::PaperWidth() const { return impl_->tpl ? impl_->tpl->page.width_in : 0; }

}  // namespace kt482
