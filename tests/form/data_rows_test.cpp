// Data read with its rows left in the text: each row parsed again on its own
// is the value the whole document's tree holds, with the same positions,
// from memory and from a file alike; errors inside a row are those of the
// whole parse; a long list's last rows are checked before anything is
// recorded; and a data file changed under a form is noticed, not drawn.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "form/data_rows.h"
#include "form/json_document.h"
#include "form/source_text.h"
#include "kt482/form.h"
#include "kt482/kt482_print.h"

namespace {

namespace fs = std::filesystem;
using kt482::form::JsonValue;

// A value with everything a fill reads from it: kind, text, offset, source.
std::string dump(const JsonValue& v)
{
    std::string out = std::to_string(static_cast<int>(v.kind)) + "@" + std::to_string(v.offset) + "/" +
                      std::to_string(v.source) + (v.boolean ? "T" : "") + "'" + v.text + "'";
    for (const JsonValue& item : v.items)
        out += "[" + dump(item) + "]";
    for (const auto& [key, member] : v.members)
        out += "{" + key + ":" + dump(member) + "}";
    return out;
}

struct TempFile {
    explicit TempFile(const std::string& text)
    {
        char name[] = "/tmp/kt482-data-rows-XXXXXX";
        const int fd = ::mkstemp(name);
        path = name;
        std::FILE* f = ::fdopen(fd, "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    ~TempFile() { fs::remove(path); }
    std::string path;
};

// Moved: a text the form takes over (SetData of a temporary).
enum class Held { Memory, File, Moved };

struct Document {
    const char* name;
    std::string json;
};

class RowsLeftInText : public testing::TestWithParam<std::tuple<Document, Held>> {};

TEST_P(RowsLeftInText, ReadAgainAreTheWholeTreesItems)
{
    const auto& [doc, held] = GetParam();
    const TempFile file(doc.json);
    const auto text = held == Held::File ? *kt482::form::SourceText::open_file(file.path)
                                         : kt482::form::SourceText(doc.json);
    const kt482::form::JsonParse whole = kt482::form::parse_json(doc.json);
    const kt482::form::JsonParse data = kt482::form::parse_data(text, 0);
    ASSERT_TRUE(whole.root && data.root) << whole.error << data.error;
    ASSERT_EQ(whole.root->members.size(), data.root->members.size());
    for (std::size_t m = 0; m < whole.root->members.size(); ++m) {
        const JsonValue& expected = whole.root->members[m].second;
        const JsonValue& left = data.root->members[m].second;
        if (expected.kind != JsonValue::Kind::Array) {
            EXPECT_EQ(dump(left), dump(expected));
            continue;
        }
        // Held as places in the text only: a tree of the rows would be the
        // whole cost this saves.
        EXPECT_TRUE(left.items.empty());
        const kt482::form::DataRows rows(text, left);
        ASSERT_EQ(rows.size(), expected.items.size());
        // Backwards, as no pass reads them.
        for (std::size_t i = rows.size(); i-- > 0;) {
            const kt482::form::RowRead row = rows.row(i);
            ASSERT_TRUE(row.value) << row.problem;
            EXPECT_EQ(dump(*row.value), dump(expected.items[i])) << "row " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RowsLeftInText,
    testing::Combine(
        testing::Values(
            Document{"Objects", R"({"a": 1, "rows": [{"n": 1, "t": "x"}, {"n": -2.50, "t": "y"}], "z": "end"})"},
            Document{"NumbersEndingRows", "{\"rows\": [1, -0, 1.5e3,\n  12 ,7]}"},
            Document{"NestedAndBlank", "{\r\n \"rows\" : [ { \"a\" : [1, [2, {\"b\": null}]] } ,\r\n\t{\"c\": {\"d\": true}} ] }"},
            Document{"EscapesAndWideText", R"({"rows": [{"s": "a\"b\\c\u00e9"}, {"s": "六角ボルト M8×30"}, "tail"]})"},
            Document{"EveryEscape", R"({"rows": ["\/\b\f\n\r\t\u0000\u20ac\ud83d\ude00", {"k\u00e9y": "\u00DF"}]})"},
            Document{"LiteralsAndExponents", R"({"rows": [true, false, null, {"e": 1E+2, "f": -0.5e-3, "big": 123456789012345678901234567890}]})"},
            Document{"EmptyAndNestedLists", R"({"none": [], "rows": [[], {}], "o": {"inner": {"deep": 1}}})"}),
        testing::Values(Held::Memory, Held::File)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) == Held::File ? "File" : "Memory");
    });

// A problem inside a row left in the text is the whole parse's problem, at
// the same place.
class RowProblems : public testing::TestWithParam<Document> {};

TEST_P(RowProblems, AreThoseOfTheWholeParse)
{
    const kt482::form::JsonParse whole = kt482::form::parse_json(GetParam().json);
    const kt482::form::JsonParse data = kt482::form::parse_data(kt482::form::SourceText(GetParam().json), 0);
    ASSERT_FALSE(whole.root);
    EXPECT_FALSE(data.root);
    EXPECT_EQ(data.error, whole.error);
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

INSTANTIATE_TEST_SUITE_P(
    Documents, RowProblems,
    testing::Values(Document{"DuplicateKeyInARow", "{\"rows\": [{\"a\": 1},\n {\"b\": {\"c\": 1, \"c\": 2}}]}"},
                    Document{"SyntaxInARow", "{\"rows\": [{\"a\": 1},\n {\"b\": 1,}]}"},
                    Document{"TooDeepInARow", "{\"rows\": [" + nested(63) + "]}"},
                    Document{"UnclosedRow", "{\"rows\": [{\"a\": \"x"}),
    [](const auto& info) { return std::string(info.param.name); });

// A long list with a bad amount in its 9,999th row, from memory and from a
// file: the problem names that row's line and column, and nothing is
// recorded.
class LongList : public testing::TestWithParam<Held> {};

TEST_P(LongList, LastRowsAreCheckedBeforeAnythingIsRecorded)
{
    const std::string tpl = R"({"list": {"data": "items", "first_row": 2, "rows_per_page": 40, "sums": ["amount"],
  "row": [{"type": "number", "row": 0, "col": 80, "field": "amount", "align": "right"}]}})";
    std::string data = "\xEF\xBB\xBF{\"items\": [\n";
    for (int i = 0; i < 10000; ++i)
        data += std::string(i ? ",\n" : "") + (i == 9998 ? R"({"amount": "12,000"})" : R"({"amount": 1})");
    data += "]}";
    const TempFile file(data);
    kt482::Form form;
    ASSERT_EQ(form.LoadText(tpl), "");
    ASSERT_EQ(GetParam() == Held::File    ? form.SetDataFile(file.path)
              : GetParam() == Held::Moved ? form.SetData(std::string(data), file.path)
                                          : form.SetData(data, file.path),
              "");
    kt482::KT482_Print job;
    // Line 1 is the opening, row i on line i + 2; the byte-order mark is no
    // character of the text.
    EXPECT_EQ(form.Fill(job), file.path + ":10000:12: items[9998].amount: expected a number, got \"12,000\"");
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(form.Pages(), 0);
}

INSTANTIATE_TEST_SUITE_P(Held, LongList, testing::Values(Held::Memory, Held::File, Held::Moved), [](const auto& info) {
    return std::string(info.param == Held::File ? "File" : info.param == Held::Moved ? "Moved" : "Memory");
});

TEST(DataFile, ChangedUnderTheFormIsAProblemAndRecordsNothing)
{
    const std::string tpl = R"({"list": {"data": "items", "first_row": 2, "rows_per_page": 5, "sums": ["amount"],
  "row": [{"type": "number", "row": 0, "col": 80, "field": "amount", "align": "right"}]}})";
    const TempFile file("{\"items\": [{\"amount\": 1},\n{\"amount\": 2}]}");
    kt482::Form form;
    ASSERT_EQ(form.LoadText(tpl), "");
    ASSERT_EQ(form.SetDataFile(file.path), "");
    // The same length, still valid JSON, but another amount: what was
    // checked is no longer what would be drawn.
    std::ofstream(file.path, std::ios::binary | std::ios::trunc) << "{\"items\": [{\"amount\": 1},\n{\"amount\": 9}]}";
    kt482::KT482_Print job;
    EXPECT_EQ(form.Fill(job), file.path + ":2:1: items[1]: the data changed since it was read");
    EXPECT_FALSE(job.P_CheckData());
}

TEST(DataFile, FromAPipeIsReadOnceAndHeld)
{
    kt482::Form form;
    ASSERT_EQ(form.LoadText(R"({"list": {"data": "items", "first_row": 2, "rows_per_page": 5, "sums": ["amount"],
  "row": [{"type": "number", "row": 0, "col": 80, "field": "amount"}]}})"), "");
    const std::string fifo = "/tmp/kt482-data-rows-fifo-" + std::to_string(::getpid());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { std::ofstream(fifo) << R"({"items": [{"amount": 1}, {"amount": "x"}]})"; });
    EXPECT_EQ(form.SetDataFile(fifo), "");
    writer.join();
    fs::remove(fifo);
    kt482::KT482_Print job;
    EXPECT_EQ(form.Fill(job), fifo + ":1:38: items[1].amount: expected a number, got \"x\"");
}

}  // namespace
