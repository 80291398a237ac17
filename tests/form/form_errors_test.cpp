// Bad templates and bad data: each problem names the document, the line and
// column and the JSON path of the value at fault, and nothing is recorded.
#include <gtest/gtest.h>

#include <string>

#include "kt482/form.h"

namespace {

struct ErrorCase {
    const char* name;
    std::string tpl;
    std::string data;
    const char* expected;  // a part of the problem text
};

// A list template small enough to read in a test row; %ROW% is replaced by
// the detail row's items.
std::string list_template(const std::string& row_items, const std::string& extra = "")
{
    return R"({"list": {"data": "items", "first_row": 2, "rows_per_page": 5, "sums": ["amount"],
  "row": [)" + row_items + "]}" + extra + "}";
}

class FormErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(FormErrors, NameThePathAndPosition)
{
    const ErrorCase& c = GetParam();
    kt482::Form form;
    std::string problem = form.LoadText(c.tpl, ".", "t.json");
    if (problem.empty())
        problem = form.SetData(c.data, "d.json");
    if (problem.empty()) {
        kt482::KT482_Print job;
        problem = form.Fill(job);
        EXPECT_FALSE(job.P_CheckData()) << "nothing is recorded on a problem";
    }
    EXPECT_NE(problem.find(c.expected), std::string::npos) << problem;
}

const std::string kAmount = R"({"type": "number", "row": 0, "col": 80, "field": "amount", "align": "right"})";

INSTANTIATE_TEST_SUITE_P(
    Cases, FormErrors,
    testing::Values(
        ErrorCase{"SyntaxError", "{\n  \"page\": {,}\n}", "{}", "t.json:2:"},
        ErrorCase{"DuplicateKey", "{\"page\": {}, \"page\": {}}", "{}", "t.json:1:14: duplicate key \"page\""},
        ErrorCase{"UnknownTopKey", "{\n \"pages\": {}\n}", "{}", "t.json:2:11: pages: unknown key \"pages\""},
        ErrorCase{"UnknownItemKey",
                  "{\"every_page\": [\n {\"type\": \"text\", \"row\": 1, \"col\": 1, \"text\": \"a\", \"colour\": \"#000000\"}]}",
                  "{}", "t.json:2:62: every_page[0].colour: unknown key \"colour\""},
        ErrorCase{"WrongType", "{\"every_page\": [{\"type\": \"text\", \"row\": \"1\", \"col\": 1, \"text\": \"a\"}]}", "{}",
                  "every_page[0].row: expected a number, got \"1\""},
        ErrorCase{"UnknownType", "{\"every_page\": [{\"type\": \"txt\"}]}", "{}", "every_page[0].type: unknown item type"},
        ErrorCase{"UnknownSum", list_template(R"({"type": "number", "row": 0, "col": 1, "field": "sum.qty"})"),
                  "{}", "list.row[0].field: \"sum.qty\" names no field of list.sums"},
        ErrorCase{"CalcBeforeDefinition", R"({"calc": {"a": {"add": ["calc.b"]}, "b": {"count": true}}})", "{}",
                  "calc.a.add[0]: \"calc.b\" names no computed value defined before it"},
        ErrorCase{"UnclosedPlaceholder", R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "{page"}]})",
                  "{}", "every_page[0].text: a \"{\" without its \"}\""},
        ErrorCase{"BadRules",
                  R"({"every_page": [{"type": "rules", "direction": "across", "row": 1, "col": 1, "offsets": "2-20", "span": "0-8"}]})",
                  "{}", "every_page[0].offsets: expected offsets such as"},
        ErrorCase{"AmountWithComma", list_template(kAmount),
                  "{\"items\": [\n{\"amount\": 1},\n{\"amount\": 2},\n{\"amount\": 3},\n{\"amount\": \"12,000\"}]}",
                  "d.json:5:12: items[3].amount: expected a number, got \"12,000\""},
        ErrorCase{"MissingField", list_template(kAmount), "{\"items\": [{\"amount\": 1}, {\"amont\": 2}]}",
                  "d.json:1:27: items[1]: no field \"amount\""},
        ErrorCase{"RowsNotArray", list_template(kAmount), "{\"items\": {\"amount\": 1}}",
                  "items: expected an array of rows, got an object"},
        ErrorCase{"TooManyPlaces", list_template(kAmount), "{\"items\": [{\"amount\": 0.1234567}]}",
                  "items[0].amount: a summed value has at most 18 digits before the point and 6 after it"},
        ErrorCase{"MissingPicture",
                  R"({"every_page": [{"type": "picture", "from": [1, 1], "to": [3, 9], "file": "no-such-logo.png"}]})",
                  "{}", "every_page[0]: no picture file \"no-such-logo.png\""},
        ErrorCase{"DataNotObject", "{}", "[1, 2]", "d.json:1:1: (top): expected an object, got an array"},
        ErrorCase{"UnknownFit", R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "a", "fit": "squeeze", "width": 9}]})",
                  "{}", "every_page[0].fit: expected clip, shrink, condense, ellipsis or wrap, got \"squeeze\""},
        ErrorCase{"FitWithoutWidth", R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "a", "fit": "shrink"}]})",
                  "{}", "every_page[0]: missing \"width\" (fit needs the width in columns)"},
        ErrorCase{"FitOfNoWidth", R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "a", "fit": "shrink", "width": 0}]})",
                  "{}", "every_page[0].width: a fitted text needs a width above 0"},
        ErrorCase{"FitCentred",
                  R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "a", "fit": "ellipsis", "align": "center", "width": 9}]})",
                  "{}", "every_page[0].align: a text fitted on its line starts at its column"},
        ErrorCase{"RowsWithoutWrap",
                  R"({"every_page": [{"type": "text", "row": 1, "col": 1, "text": "a", "fit": "clip", "rows": 2, "width": 9}]})",
                  "{}", "every_page[0].rows: \"rows\" belongs to \"fit\": \"wrap\""},
        ErrorCase{"WrapTallerThanAListLine",
                  list_template(R"({"type": "text", "row": 0, "col": 1, "field": "name", "fit": "wrap", "rows": 2, "width": 9})"),
                  "{}", "list.row[0]: a list line is one row high"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(FormCsv, RowsComeFromCsvWithTheirPositions)
{
    kt482::Form form;
    ASSERT_EQ(form.LoadText(list_template(kAmount), ".", "t.json"), "");
    ASSERT_EQ(form.SetData("{}"), "");
    // Quoted cells with commas and doubled quotes read as texts; the third
    // row's amount is a text, reported at its cell.
    EXPECT_EQ(form.SetRowsCsv("items", "name,amount\r\n\"Bolt, M8 \"\"A\"\"\",100\r\nNut,250\r\nWasher,\"1,000\"\r\n",
                              "rows.csv"),
              "");
    kt482::KT482_Print job;
    EXPECT_EQ(form.Fill(job), "rows.csv:4:8: items[2].amount: expected a number, got \"1,000\"");
    for (const auto& [csv, problem] :
         {std::pair{"a,b\n1\n", "rows.csv:2:1: expected 2 cells, got 1"},
          {"a,b\n\"open,2\n", "rows.csv:2:1: a quoted cell without its closing quote"},
          {"", "rows.csv:1:1: no header line naming the fields"}})
        EXPECT_EQ(form.SetRowsCsv("items", csv, "rows.csv"), problem) << csv;
}

}  // namespace
