// kt482 fill: a template and data into a PDF, a folder of data into a
// folder of PDFs, CSV rows, and bad input refused with exit status 2 and
// nothing written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/loopback_authority.h"

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
        {"t.json bad-data.json --preview --attach-data", "go with -o"},
        {"t.json bad-data.json --print q --archive", "go with -o"},
        {"t.json bad-data.json -o " + out + " --attach x.json", "--attach needs FILE:MIME:RELATIONSHIP"},
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
                            (root_ / "out").string() + " --rows items=" + (root_ / "rows.csv").string() + " --attach-data");
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* who : {"alpha", "beta", "gamma"}) {
        const std::string text = pdf_text(root_ / "out" / (std::string(who) + ".pdf"));
        EXPECT_NE(text.find(std::string(who) + " 1/2"), std::string::npos) << text;
        EXPECT_NE(text.find("a, first"), std::string::npos);
        EXPECT_NE(text.find("CARRIED 6.5"), std::string::npos);
        EXPECT_NE(text.find("TOTAL 15.5"), std::string::npos);
        const std::string list = command("--help >/dev/null; pdfdetach -list '" +
                                         (root_ / "out" / (std::string(who) + ".pdf")).string() + "'").out;
        EXPECT_NE(list.find("2 embedded files"), std::string::npos) << list;
        EXPECT_NE(list.find(std::string(who) + ".json"), std::string::npos) << "each file its own data: " << list;
    }
}

// What a reader finds attached: pdfdetach's list and each file's MIME type
// as qpdf reads it.
struct Attached {
    std::string list, types;
};

Attached attached(const fs::path& pdf)
{
    return {command("--help >/dev/null; pdfdetach -list '" + pdf.string() + "'").out,
            command("--help >/dev/null; qpdf --list-attachments --verbose '" + pdf.string() + "'").out};
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct AttachCase {
    const char* name;
    const char* options;
    std::vector<std::pair<const char*, const char*>> files;  // name, MIME type
    bool archived;
};

class FillAttachments : public FillCommand, public testing::WithParamInterface<AttachCase> {};

// The data a form was filled from goes into its PDF: each file by its own
// name and type, and extracted byte for byte as it was read.
TEST_P(FillAttachments, CarryTheDataTheFormWasFilledFrom)
{
    const AttachCase& c = GetParam();
    write("t.json", R"({"list": {"data": "items", "first_row": 2, "rows_per_page": 4,
        "row": [{"type": "text", "row": 0, "col": 0, "field": "name"}]}})");
    write("data.json", "{\"items\": [{\"name\": \"請求 1\"}]}\n");
    write("lines.csv", "name\r\n明細 1\r\n明細 2\r\n");
    write("notes.txt", "memo");
    const Outcome run = command("fill t.json data.json -o out.pdf " + std::string(c.options), root_.string());
    ASSERT_EQ(run.status, 0) << run.out;
    const Attached found = attached(root_ / "out.pdf");
    EXPECT_TRUE(has(found.list, std::to_string(c.files.size()) + " embedded files")) << found.list;
    fs::create_directories(root_ / "saved");
    command("--help >/dev/null; pdfdetach -saveall -o '" + (root_ / "saved").string() + "' '" + (root_ / "out.pdf").string() + "'");
    for (const auto& [name, type] : c.files) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(has(found.list, name)) << found.list;
        EXPECT_TRUE(has(found.types, std::string("mime type: ") + type)) << found.types;
        std::ifstream original(root_ / name, std::ios::binary), saved(root_ / "saved" / name, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), std::string(std::istreambuf_iterator<char>(original), {}));
    }
    const std::string xmp = command("--help >/dev/null; pdfinfo -meta '" + (root_ / "out.pdf").string() + "'").out;
    EXPECT_EQ(has(xmp, "<pdfaid:part>3</pdfaid:part>"), c.archived) << xmp;
    EXPECT_TRUE(has(command("--help >/dev/null; qpdf --check '" + (root_ / "out.pdf").string() + "'").out,
                    "No syntax or stream encoding errors"));
}

INSTANTIATE_TEST_SUITE_P(
    Options, FillAttachments,
    testing::Values(AttachCase{"DataAlone", "--attach-data", {{"data.json", "application/json"}}, false},
                    AttachCase{"DataAndRows", "--attach-data --rows items=lines.csv --archive",
                               {{"data.json", "application/json"}, {"lines.csv", "text/csv"}}, true},
                    AttachCase{"DataAndAnother", "--archive --attach notes.txt:text/plain:Supplement --attach-data",
                               {{"data.json", "application/json"}, {"notes.txt", "text/plain"}}, true},
                    AttachCase{"None", "--archive", {}, false}),
    [](const testing::TestParamInfo<AttachCase>& info) { return std::string(info.param.name); });

// The whole electronic delivery of an invoice from the command: filled
// from its data, archived, the data attached, signed with the company's
// certificate and stamped by a timestamp authority, then read by pdfsig,
// pdfdetach and qpdf.
TEST_F(FillCommand, AnInvoiceForElectronicDeliveryIsSignedStampedAndCarriesItsData)
{
    for (const char* tool : {"pdfsig", "pdfdetach", "qpdf", "openssl"})
        if (command(std::string("--help >/dev/null; command -v ") + tool).out.empty())
            GTEST_SKIP() << tool << " is not installed";
    const std::string certificates = (root_ / "certificates").string();
    fs::create_directories(certificates);
    ASSERT_TRUE(kt482::test::make_test_certificates(KT482_TEST_SUPPORT_DIR, certificates));
    kt482::test::LoopbackAuthority authority(KT482_TEST_SUPPORT_DIR, certificates, "good");
    ASSERT_FALSE(authority.url().empty());
    ::setenv("KT482_PDF_SIGN_PASSWORD", "seal-pass", 1);
    const std::string data = kForms + "/qualified-invoice-data.json";
    const Outcome run = command("fill " + kForms + "/qualified-invoice.json " + data +
                                " -o invoice.pdf --archive --attach-data --sign " + certificates +
                                "/seal.p12 --reason 請求書の発行 --location Tokyo --timestamp " + authority.url(),
                                root_.string());
    ::unsetenv("KT482_PDF_SIGN_PASSWORD");
    ASSERT_EQ(run.status, 0) << run.out;
    const fs::path pdf = root_ / "invoice.pdf";

    const std::string signatures = command("--help >/dev/null; pdfsig '" + pdf.string() + "'; true").out;
    EXPECT_TRUE(has(signatures, "Signature is Valid.")) << signatures;
    EXPECT_TRUE(has(signatures, "Total document signed")) << signatures;
    EXPECT_TRUE(has(signatures, "ABC Trading Seal")) << signatures;
    // The timestamp authority's token inside the signature, as openssl reads it.
    const std::string cms = command("--help >/dev/null; cd '" + root_.string() + "' && pdfsig -dump invoice.pdf >/dev/null 2>&1; "
                                    "openssl cms -cmsout -print -inform DER -in invoice.pdf.sig0").out;
    EXPECT_TRUE(has(cms, "id-smime-aa-timeStampToken")) << cms;
    EXPECT_TRUE(has(cms, "kt482 Test TSA")) << cms;

    const Attached found = attached(pdf);
    EXPECT_TRUE(has(found.list, "1 embedded files")) << found.list;
    EXPECT_TRUE(has(found.list, "qualified-invoice-data.json")) << found.list;
    EXPECT_TRUE(has(found.types, "mime type: application/json")) << found.types;
    const std::string saved = command("--help >/dev/null; pdfdetach -save 1 -o '" + (root_ / "saved.json").string() + "' '" +
                                      pdf.string() + "' && cmp '" + data + "' '" + (root_ / "saved.json").string() + "' && echo same").out;
    EXPECT_TRUE(has(saved, "same")) << saved;
    const std::string xmp = command("--help >/dev/null; pdfinfo -meta '" + pdf.string() + "'").out;
    EXPECT_TRUE(has(xmp, "<pdfaid:part>3</pdfaid:part>") && has(xmp, "<pdfaid:conformance>U</pdfaid:conformance>")) << xmp;
    EXPECT_TRUE(has(command("--help >/dev/null; qpdf --check '" + pdf.string() + "'").out, "No syntax or stream encoding errors"));
    EXPECT_TRUE(has(pdf_text(pdf), "T1234567890123"));
}

}  // namespace
