// The examples filled and printed to PDF, read back by pdftotext: the
// heading on every page, "n / N" on every page, carried sums that equal the
// brought-forward sums and the sum of the rows so far, group subtotals,
// totals and the tax once per rate, all against sums computed here from
// the data.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "kt482/form.h"
#include "kt482/kt482_print.h"
#include "support/poppler.h"

namespace {

namespace fs = std::filesystem;

// Each page's text laid out as printed, so that a label and its amount
// stay on one line.
std::vector<std::string> pdf_page_texts(const std::string& path)
{
    const auto text = kt482::test::command_output("pdftotext -layout -enc UTF-8 '" + path + "' -");
    std::vector<std::string> pages;
    if (!text)
        return pages;
    std::size_t start = 0;
    for (std::size_t ff; (ff = text->find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(text->substr(start, ff - start));
    return pages;
}

const std::string kForms = KT482_FORMS_DIR;

class FormPdf : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char base[] = "/tmp/kt482-form-test-XXXXXX";
        root_ = ::mkdtemp(base);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("KT482_PDF_DIR", root_.c_str(), 1);
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }
    void SetUp() override
    {
        if (const std::string missing = kt482::test::missing_poppler_tool(); !missing.empty())
            GTEST_SKIP() << missing << " is not installed";
    }

    static std::vector<std::string> fill(const std::string& tpl, const std::string& data, const std::string& name)
    {
        kt482::Form form;
        EXPECT_EQ(form.LoadFile(kForms + "/" + tpl), "");
        EXPECT_EQ(form.SetDataFile(data), "");
        const std::string pdf = root_ + "/" + name;
        EXPECT_EQ(form.WritePdf(pdf), "");
        return pdf_page_texts(pdf);
    }

    static inline std::string root_;
};

// The whole-yen amount that follows a label on a page: "442,840" after
// "次頁へ繰越".
long long amount_after(const std::string& text, const std::string& label)
{
    const auto at = text.find(label);
    if (at == std::string::npos)
        return -1;
    std::smatch m;
    const std::string rest = text.substr(at + label.size());
    if (!std::regex_search(rest, m, std::regex(R"(([0-9][0-9,]*))")))
        return -1;
    return std::stoll(std::regex_replace(m[1].str(), std::regex(","), ""));
}

int count_of(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST_F(FormPdf, QualifiedInvoiceCarriesItsSumsAndTaxPerRate)
{
    const std::string data_path = kForms + "/qualified-invoice-data.json";
    const nlohmann::json data = nlohmann::json::parse(std::ifstream(data_path));
    const auto pages = fill("qualified-invoice.json", data_path, "invoice.pdf");
    ASSERT_EQ(pages.size(), 3u);

    long long base[2] = {0, 0};  // 10 %, 8 %
    std::vector<long long> so_far;  // the sum of the rows up to each row
    for (const auto& item : data["items"]) {
        base[item["rate"] == 8] += item["amount"].get<long long>();
        so_far.push_back(base[0] + base[1]);
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        const std::string& text = pages[p];
        EXPECT_NE(text.find("数量"), std::string::npos) << "the heading is on every page";
        EXPECT_NE(text.find(std::to_string(p + 1) + " / 3"), std::string::npos);
        if (p + 1 < pages.size()) {
            // The last row number on the page, then its running sum.
            std::smatch m;
            int last = 0;
            for (std::string rest = text; std::regex_search(rest, m, std::regex(R"(\n\s*([0-9]+)\s)")); rest = m.suffix())
                last = std::max(last, std::stoi(m[1].str()) <= 45 ? std::stoi(m[1].str()) : 0);
            ASSERT_GT(last, 0);
            const long long carried = amount_after(text, "次頁へ繰越");
            EXPECT_EQ(carried, so_far[static_cast<std::size_t>(last - 1)]);
            EXPECT_EQ(amount_after(pages[p + 1], "前頁より繰越"), carried);
        }
    }
    const std::string& last = pages.back();
    const long long tax10 = base[0] / 10, tax8 = base[1] * 8 / 100;
    EXPECT_EQ(count_of(last, "消費税（10%）"), 1);
    EXPECT_EQ(count_of(last, "消費税（8%）"), 1);
    EXPECT_EQ(amount_after(last, "消費税（10%）"), tax10);
    EXPECT_EQ(amount_after(last, "消費税（8%）"), tax8);
    EXPECT_EQ(amount_after(last, "合計（税込）"), base[0] + base[1] + tax10 + tax8);
    EXPECT_EQ(amount_after(pages.front(), "￥"), base[0] + base[1] + tax10 + tax8);
    EXPECT_EQ(count_of(pages[0] + pages[1] + pages[2], "※") - 1,
              static_cast<int>(std::count_if(data["items"].begin(), data["items"].end(),
                                             [](const auto& i) { return i["rate"] == 8; })))
        << "each reduced-rate line is marked, and the note once";
}

TEST_F(FormPdf, StatementSubtotalsEachDeliveryDate)
{
    const std::string data_path = root_ + "/statement-data.json";
    ASSERT_TRUE(kt482::test::command_output("python3 " + kForms + "/make-statement-data.py " + data_path + " 1000"));
    const nlohmann::json data = nlohmann::json::parse(std::ifstream(data_path));
    const auto pages = fill("statement.json", data_path, "statement.pdf");
    ASSERT_GT(pages.size(), 20u);

    std::map<std::string, long long> per_date;
    long long total = 0;
    for (const auto& line : data["lines"]) {
        per_date[line["date"].get<std::string>()] += line["amount"].get<long long>();
        total += line["amount"].get<long long>();
    }
    std::string all;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        EXPECT_NE(pages[p].find("伝票番号"), std::string::npos);
        EXPECT_NE(pages[p].find(std::to_string(p + 1) + " / " + std::to_string(pages.size())), std::string::npos);
        if (p + 1 < pages.size() && pages[p].find("次頁へ繰越") != std::string::npos) {
            EXPECT_EQ(amount_after(pages[p], "次頁へ繰越"), amount_after(pages[p + 1], "前頁より繰越"));
        }
        all += pages[p];
    }
    for (const auto& [date, sum] : per_date) {
        SCOPED_TRACE(date);
        EXPECT_EQ(count_of(all, date + " 小計"), 1);
        const std::string foot = all.substr(all.find(date + " 小計"));
        const std::string after_count = foot.substr(foot.find("件）") + std::string("件）").size());
        EXPECT_EQ(amount_after(after_count, ""), sum);
    }
    const std::string& last = pages.back();
    EXPECT_EQ(amount_after(last.substr(last.find("合計（")), "件）"), total);
    EXPECT_EQ(amount_after(pages.back(), "消費税（10%）"), total / 10);
}

// Read down the printed pages: every page the list goes on to opens, under
// 「前頁より繰越」, with a group head; when a group runs over the page break,
// that head is the running group's date again, and the group's subtotal
// still counts all of its rows.
TEST_F(FormPdf, AGroupRunningOverAPageBreakHasItsHeadAgain)
{
    const std::string data_path = root_ + "/statement-700.json";
    ASSERT_TRUE(kt482::test::command_output("python3 " + kForms + "/make-statement-data.py " + data_path + " 700"));
    const nlohmann::json data = nlohmann::json::parse(std::ifstream(data_path));
    std::map<std::string, int> rows_of;
    for (const auto& line : data["lines"])
        ++rows_of[line["date"].get<std::string>()];
    const auto pages = fill("statement.json", data_path, "statement-700.pdf");
    ASSERT_GT(pages.size(), 10u);

    const std::regex head(R"(^\s*(\d{4}/\d\d/\d\d)\s*$)");
    const std::regex foot(R"((\d{4}/\d\d/\d\d) 小計（(\d+)件）)");
    std::string open;  // the date whose foot has not come yet
    int repeated = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        SCOPED_TRACE("page " + std::to_string(p + 1));
        std::vector<std::string> lines;
        std::istringstream in(pages[p]);
        for (std::string line; std::getline(in, line);)
            if (line.find_first_not_of(' ') != std::string::npos)
                lines.push_back(line);
        const auto brought = std::find_if(lines.begin(), lines.end(),
                                          [](const std::string& l) { return l.find("前頁より繰越") != std::string::npos; });
        if (p > 0 && brought != lines.end()) {
            std::smatch m;
            ASSERT_TRUE(brought + 1 != lines.end() && std::regex_match(*(brought + 1), m, head))
                << "a group head opens the page: " << (brought + 1 != lines.end() ? *(brought + 1) : "");
            if (!open.empty()) {
                EXPECT_EQ(m[1].str(), open) << "the running group's head again";
                ++repeated;
            }
        }
        for (const std::string& line : lines) {
            std::smatch m;
            if (std::regex_match(line, m, head)) {
                open = m[1].str();
            } else if (std::regex_search(line, m, foot)) {
                EXPECT_EQ(m[1].str(), open);
                EXPECT_EQ(std::stoi(m[2].str()), rows_of[m[1].str()]) << "a repeated head starts no new group";
                open.clear();
            }
        }
    }
    EXPECT_GT(repeated, 5) << "most page breaks fall inside a group";
}

TEST_F(FormPdf, APagePrintedAloneKnowsThePageCount)
{
    kt482::Form form;
    ASSERT_EQ(form.LoadFile(kForms + "/qualified-invoice.json"), "");
    ASSERT_EQ(form.SetDataFile(kForms + "/qualified-invoice-data.json"), "");
    const std::string spool = root_ + "/spool";
    fs::create_directories(spool);
    kt482::KT482_Print job;
    job.P_Temp_Dir(spool);
    ASSERT_EQ(form.Fill(job), "");
    EXPECT_EQ(form.Pages(), 3);
    EXPECT_EQ(job.P_Max_Page(), 3);
    const std::string pdf = root_ + "/page2.pdf";
    job.SetNextPdfPath(pdf);
    job.W_Device("KT482 PDF");
    job.W_StartDoc(form.PaperSize(), form.Orientation());
    job.W_Print(2, 2);
    job.W_EndDoc();
    const auto pages = pdf_page_texts(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find("2 / 3"), std::string::npos);
    EXPECT_NE(pages[0].find("前頁より繰越"), std::string::npos);
}

TEST_F(FormPdf, TheSummaryMovesToAPageOfItsOwnWithTheFixedItems)
{
    // Four rows of five fill the page; the three-row summary moves on.
    const std::string tpl = R"({
      "every_page": [{"type": "text", "row": 0, "col": 0, "text": "HEAD {page}/{pages}"}],
      "list": {"data": "rows", "first_row": 2, "rows_per_page": 5, "sums": ["n"],
               "heading": [{"type": "text", "row": 1, "col": 0, "text": "COLUMNS"}],
               "row": [{"type": "number", "row": 0, "col": 10, "field": "n", "align": "right"}]},
      "summary": {"rows": 3, "items": [{"type": "text", "row": 0, "col": 0, "text": "TOTAL {sum.n}"}]}})";
    kt482::Form form;
    ASSERT_EQ(form.LoadText(tpl), "");
    ASSERT_EQ(form.SetData(R"({"rows": [{"n": 1}, {"n": 2.5}, {"n": 3}, {"n": 4}]})"), "");
    const std::string pdf = root_ + "/summary.pdf";
    ASSERT_EQ(form.WritePdf(pdf), "");
    const auto pages = pdf_page_texts(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[1].find("HEAD 2/2"), std::string::npos);
    EXPECT_NE(pages[1].find("TOTAL 10.5"), std::string::npos);
    EXPECT_EQ(pages[1].find("COLUMNS"), std::string::npos) << "no list heading on the summary's page";
}

struct FitCase {
    const char* name;
    const char* rule;    // the text item's keys after "fit"
    bool whole = true;   // the text layer holds the whole text, not only what shows
};

class FittedColumn : public FormPdf, public testing::WithParamInterface<FitCase> {};

// A name far too long for its 20 columns, under each rule: every word
// poppler finds stays between the column's edges (marked by two bars on a
// row of their own), and the words read back as the whole name, a wrapped
// one line after line; a clipped one as far as it shows.
TEST_P(FittedColumn, StaysInsideItsColumnAndExtractsWhole)
{
    const std::string name = "東京都千代田区丸の内一丁目九番二号南塔ビル";  // 21 full-width: 210 points at 10
    const std::string tpl = std::string(R"({"page": {"font": {"name": "ＭＳ 明朝", "size": 10}},
      "every_page": [
        {"type": "text", "row": 2, "col": 10, "field": "name", "width": 20, "fit": )") + GetParam().rule + R"(},
        {"type": "text", "row": 12, "col": 10, "text": "|"},
        {"type": "text", "row": 12, "col": 30, "text": "|"}]})";
    kt482::Form form;
    ASSERT_EQ(form.LoadText(tpl), "");
    ASSERT_EQ(form.SetData(R"({"name": ")" + name + R"("})"), "");
    const std::string pdf = root_ + "/fit-" + GetParam().name + ".pdf";
    ASSERT_EQ(form.WritePdf(pdf), "");
    EXPECT_EQ(kt482::test::qpdf_problems(pdf), "");
    double left = 0, right = 0;
    std::string read;
    for (const auto& w : kt482::test::pdf_words(pdf)) {
        if (w.text == "|") {
            (left == 0 ? left : right) = w.x_min;
            continue;
        }
        read += w.text;
    }
    ASSERT_NEAR(right - left, 120, 0.01);
    if (GetParam().whole) {
        EXPECT_EQ(read, name);
    } else {
        EXPECT_TRUE(name.starts_with(read) && read.size() >= 3 * 10) << read;
    }
    for (const auto& w : kt482::test::pdf_words(pdf)) {
        if (w.text != "|") {
            EXPECT_GE(w.x_min, left - 0.05) << w.text;
            EXPECT_LE(w.x_max, right + 0.05) << w.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, FittedColumn,
                         testing::Values(FitCase{"clip", R"("clip")", false}, FitCase{"shrink", R"("shrink")"},
                                         FitCase{"condense", R"("condense")"}, FitCase{"ellipsis", R"("ellipsis")"},
                                         FitCase{"wrap", R"("wrap", "rows": 3)"},
                                         FitCase{"wrap_centred", R"("wrap", "rows": 2, "align": "center")"},
                                         FitCase{"wrap_right", R"("wrap", "rows": 2, "align": "right")"},
                                         // The second line has no room: the file is written all the same.
                                         FitCase{"wrap_too_few_rows", R"("wrap", "rows": 1)", false}),
                         [](const testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

}  // namespace
