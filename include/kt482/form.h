// kt482::Form: a form template (JSON, described by docs/form.schema.json)
// filled from data onto a KT482_Print, or straight into a PDF file. The
// form cuts its lists into pages, repeats their headings, carries sums from
// page to page, numbers the pages "{page} / {pages}" and computes totals and
// tax in exact decimals; it records through the public members, so the
// preview, printing and the PDF engine see ordinary pages.
//
// Every function that can fail returns the problem as a text, empty when
// there is none: "NAME:LINE:COLUMN: PATH: what is wrong", where NAME is the
// template, data or CSV document and PATH the JSON path of the value
// ("items[3].amount: expected a number, got \"12,000\""). Nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kt482/export.h"
#include "kt482/kt482_print.h"

namespace kt482 {

class KT482_API Form {
public:
    Form();
    ~Form();
    Form(Form&&) noexcept;
    Form& operator=(Form&&) noexcept;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // The template, from a file (relative picture files are found next to
    // it) or from a text (relative to base_dir). An unknown key, a wrong
    // type or a name that refers to nothing is a problem; the form keeps no
    // template after one.
    std::string LoadFile(const std::string& path);
    std::string LoadText(std::string_view json, const std::string& base_dir = ".",
                         const std::string& name = "template");

    // The data the next fills use: a JSON object of fields and arrays of
    // rows. Numbers are kept as written, so amounts stay exact. The whole
    // document is checked here; the rows of its arrays are kept only as
    // where they lie in the text, and read again one at a time by each fill.
    // SetDataFile keeps the file open and reads it again (the file must not
    // change until the next SetData or SetDataFile; a change is noticed and
    // the fill refused), so that a statement of many thousand lines never
    // holds its data in memory; SetData keeps one copy of the text.
    std::string SetDataFile(const std::string& path);
    std::string SetData(std::string_view json, const std::string& name = "data");
    // The same, taking the text over: a host that moves its text in (or
    // passes a temporary) leaves the form the only copy.
    std::string SetData(std::string&& json, const std::string& name = "data");
    std::string SetData(const char* json, const std::string& name = "data");
    // Rows for a list from CSV (RFC 4180, UTF-8): the first line names the
    // fields; a cell that reads as a plain decimal number ("12000",
    // "-3.5", not "012" or "12,000") is a number, an empty cell is null,
    // any other a text. They replace the array at the dotted path
    // list_path of the data (set the data first).
    std::string SetRowsCsv(const std::string& list_path, std::string_view csv, const std::string& name = "rows.csv");
    std::string SetRowsCsvFile(const std::string& list_path, const std::string& path);

    // Checks the data against the template, cuts the pages, and only then
    // records them on job, from E_StartEdit to E_EndEdit, after setting its
    // margins: on a problem nothing is recorded. A member's failure while
    // recording is reported by the member as always, and returned here too
    // (Fill clears job's LastFailure first).
    std::string Fill(KT482_Print& job);
    // Fills a job of its own on a thread of its own, with a spool folder of
    // its own, and writes it to a PDF file through "KT482 PDF"; the calling
    // thread's job is left as it was. Members' messages become the problem
    // text instead of message boxes.
    std::string WritePdf(const std::string& path);

    // The number of pages of the last fill (0 before one).
    int Pages() const;
    // The template's paper, for V_Size_Set and W_StartDoc: the paper code,
    // the orientation (1 portrait, 2 landscape) and, for code 256, the
    // height and width in inches.
    int16_t PaperSize() const;
    int16_t Orientation() const;
    float PaperHeight() const;
    float PaperWidth() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kt482
