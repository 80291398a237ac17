#include "form/data_rows.h"

namespace kt482::form {

DataRows::DataRows(const SourceText& text, const JsonValue& array) : text_(text), array_(array)
{
    const auto& spans = array_.spans;
    if (!spans.empty() && spans.back().end() - spans.front().begin <= kKeepAll)
        all_.resize(spans.size());
}

DataRows::~DataRows() { text_.forget_window(); }

std::size_t DataRows::size() const { return array_.spans.empty() ? array_.items.size() : array_.spans.size(); }

RowRead DataRows::row(std::size_t index) const
{
    if (array_.spans.empty())
        return {std::shared_ptr<const JsonValue>(std::shared_ptr<const JsonValue>(), &array_.items[index]), {}, 0};
    if (!all_.empty() && all_[index])
        return {all_[index], {}, 0};
    for (const Kept& k : kept_)
        if (k.value && k.index == index)
            return {k.value, {}, 0};
    JsonParse parsed = parse_element(text_, array_.spans[index], array_.source);
    if (!parsed.root)
        return {nullptr, parsed.problem, parsed.error_offset};
    if (!all_.empty()) {
        all_[index] = std::make_shared<const JsonValue>(std::move(*parsed.root));
        return {all_[index], {}, 0};
    }
    Kept& slot = kept_[next_];
    next_ = (next_ + 1) % kept_.size();
    slot.index = index;
    slot.value = std::make_shared<const JsonValue>(std::move(*parsed.root));
    return {slot.value, {}, 0};
}

}  // namespace kt482::form
