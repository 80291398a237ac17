// Filling a loaded template from data: a first pass reads every row, checks
// every value an item will draw, computes the sums and computed values and
// cuts the pages; only then are the pages recorded through the members of
// KT482_Print. A data error therefore records nothing, and every page knows
// the page count.
#pragma once

#include <memory>
#include <string>

#include "form/form_template.h"
#include "form/json_document.h"
#include "kt482/kt482_print.h"

namespace kt482::form {

class Filling {
public:
    Filling(const FormTemplate& tpl, const Sources& sources, const JsonValue& data);
    ~Filling();

    // The first pass; the error text (empty when none) names the data's
    // path and line:column.
    std::string prepare();
    int page_count() const;
    // Records the pages from E_StartEdit to E_EndEdit. Rows the data left
    // in its file are read again; if they are no longer what the first pass
    // checked, nothing is kept recorded and the problem is returned.
    std::string record(KT482_Print& job) const;

    struct State;

private:
    void record_pages(KT482_Print& job) const;

    std::unique_ptr<State> state_;
};

}  // namespace kt482::form
