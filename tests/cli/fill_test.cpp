// kt482 fill: a template and data into a PDF, a folder of data into a
// folder of PDFs, CSV rows, and bad input refused with exit status 2 and
// nothing written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/command_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kForms = KT482_FORMS_DIR;

using Outcome = kt482::test::CommandRun;

// The command run in folder; standard output and standard error together.
Outcome command(const std::string& arguments, const std::string& folder = ".")
{
    return kt482::test::run_command("cd '" + folder + "' && " + std::string(KT482_CLI_PATH) + " " + arguments + " 2>&1");
}

std::string pdf_text(const fs::path& pdf)
{
    Outcome run = command("--help >/dev/null; pdftotext -layout '" + pdf.string() + "' -");
    return run.out;
}

class FillCommand : public testing::Test {
protected:
    void SetUp() override
    {
        char base[] = "/tmp/kt482-fill-test-XXXXXX";
        root_ = ::mkdtemp(base);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("DISPLAY");
    }
    void TearDown() override { fs::remove_all(root_); }
    void write(const std::string& name, const std::string& text) { std::ofstream(root_ / name) << text; }
    fs::path root_;
};

TEST_F(FillCommand, WritesTheInvoiceWithItsPageNumbers)
{
    const Outcome run = command("fill " + kForms + "/qualified-invoice.json " + kForms +
                            "/qualified-invoice-data.json -o " + (root_ / "invoice.pdf").string());
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string text = pdf_text(root_ / "invoice.pdf");
    for (const char* page : {"1 / 3", "2 / 3", "3 / 3", "次頁へ繰越", "前頁より繰越", "T1234567890123"})
        EXPECT_NE(text.find(page), std::string::npos) << page;
}

TEST_F(FillCommand, BadInputExitsTwoAndWritesNothing)
{
    write("t.json", R"({"list": {"data": "items", "first_row": 1, "rows_per_page": 5, "sums": ["amount"],
      "row": [{"type": "number", "row": 0, "col": 9, "field": "amount"}]}})");
    write("bad-data.json", "{\"items\": [{\"amount\": 1}, {\"amount\": \"12,000\"}]}");
    write("bad-template.json", "{\"list\": {\"dta\": 1}}");
    const std::string out = (root_ / "out.pdf").string();
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"t.json bad-data.json -o " + out, "bad-data.json:1:38: items[1].amount: expected a number, got \"12,000\""},
        {"bad-template.json bad-data.json -o " + out, "bad-template.json:1:18: list.dta: unknown key \"dta\""},
        {"t.json missing.json -o " + out, "missing.json: cannot read the data"},
        {"t.json bad-data.json --rows items=missing.csv -o " + out, "missing.csv: cannot read the rows"},
        {"t.json bad-data.json", "give one of -o, --print and --preview"},
        {"t.json bad-data.json -o a.pdf --preview", "give one of -o, --print and --preview"},
        {"t.json bad-data.json --rows items -o " + out, "--rows needs LIST=FILE.csv"},
    };
    for (const auto& c : cases) {
        const Outcome run = command("fill " + c.args, root_.string());
        SCOPED_TRACE(c.args);
        EXPECT_EQ(run.status, 2) << run.out;
        // Paths are given relative to the test folder; the message names them as given.
        EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST_F(FillCommand, CsvRowsAndAFolderOfData)
{
    write("t.json", R"({"every_page": [{"type": "text", "row": 0, "col": 0, "text": "{who} {page}/{pages}"}],
      "list": {"data": "items", "first_row": 2, "rows_per_page": 4, "sums": ["amount"],
        "row": [{"type": "text", "row": 0, "col": 0, "field": "name"}],
        "carried": [{"type": "text", "row": 0, "col": 0, "text": "CARRIED {sum.amount}"}]},
      "summary": {"rows": 1, "items": [{"type": "text", "row": 0, "col": 0, "text": "TOTAL {sum.amount}"}]}})");
    write("rows.csv", "name,amount\n\"a, first\",1.5\nb,2\nc,3\nd,4\ne,5\n");
    fs::create_directories(root_ / "in");
    for (const char* who : {"alpha", "beta", "gamma"})
        std::ofstream(root_ / "in" / (std::string(who) + ".json")) << "{\"who\": \"" << who << "\"}";
    const Outcome run = command("fill " + (root_ / "t.json").string() + " " + (root_ / "in").string() + " -o " +
                            (root_ / "out").string() + " --rows items=" + (root_ / "rows.csv").string());
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* who : {"alpha", "beta", "gamma"}) {
        const std::string text = pdf_text(root_ / "out" / (std::string(who) + ".pdf"));
        EXPECT_NE(text.find(std::string(who) + " 1/2"), std::string::npos) << text;
        EXPECT_NE(text.find("a, first"), std::string::npos);
        EXPECT_NE(text.find("CARRIED 6.5"), std::string::npos);
        EXPECT_NE(text.find("TOTAL 15.5"), std::string::npos);
    }
}

}  // namespace
