// Attachments, encryption, signatures and timestamps of the PDF printer's
// files, judged by readers nobody here wrote: pdfdetach and qpdf for the
// attachments and the encryption, pdfsig for signatures and timestamps.
// Certificates and the timestamp authority are made by the test itself
// (tests/support/make_test_certificates.sh, loopback_tsa.py).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/loopback_authority.h"
#include "support/picture_files.h"
#include "support/poppler.h"
#include "support/spool_fixture.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using test::command_output;

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The files of a folder, apart from the inputs the test put there.
std::vector<std::string> pdf_files(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pdf" || entry.path().extension() == ".part")
            names.push_back(entry.path().filename().string());
    return names;
}

// The certificates, made once for all tests.
const std::string& certificates()
{
    static const std::string folder = [] {
        static test::TempFolder keep;  // lives as long as the tests, removed at exit
        if (!test::make_test_certificates(KT482_TEST_SUPPORT_DIR, keep.path()))
            return std::string();
        return keep.path();
    }();
    return folder;
}

// A timestamp authority on the loopback interface, answering as mode says.
class LoopbackAuthority : public test::LoopbackAuthority {
public:
    explicit LoopbackAuthority(const std::string& mode)
        : test::LoopbackAuthority(KT482_TEST_SUPPORT_DIR, certificates(), mode)
    {
    }
};

class PdfProtection : public test::SpoolTest {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        for (const char* tool : {"qpdf", "pdfsig", "pdfdetach", "openssl"})
            if (!command_output(std::string("command -v ") + tool))
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_FALSE(certificates().empty()) << "the test certificates could not be made";
    }

    // Prints a one-page invoice to name with the properties; the printer's
    // failure, if any.
    Status print(const std::string& name, const DocumentProperties& properties)
    {
        auto printer = PdfPrinter::for_file(out_.path() + "/" + name);
        printer->NextDocumentProperties(properties);
        EXPECT_TRUE(printer->FontName("ＭＳ 明朝").ok());
        if (Status printed = printer->Print("請求書 ¥1,000", LineEnd::With); !printed)
            return printed;
        return printer->EndDoc();
    }
    std::string path(const std::string& name) const { return out_.path() + "/" + name; }
    std::string cert(const std::string& name) const { return certificates() + "/" + name; }

    DocumentProperties signed_by(const std::string& p12, const std::string& password = "seal-pass") const
    {
        DocumentProperties p;
        p.pkcs12_file = cert(p12);
        p.pkcs12_password = password;
        p.reason = "請求書の発行";
        p.location = "Tokyo";
        return p;
    }

    std::string pdfsig(const std::string& file) const
    {
        // pdfsig reports on stdout and exits non-zero for an invalid
        // signature, which is what some tests look for.
        return command_output("pdfsig '" + file + "' 2>&1; true").value_or("");
    }

    // The command that writes the file's first signature to NAME.sig0 in
    // the output folder.
    std::string dump_signature(const std::string& name) const
    {
        return "cd '" + out_.path() + "' && { pdfsig -dump '" + name + "' >/dev/null 2>&1; true; }";
    }

    test::TempFolder out_;
};

// -- Attachments --------------------------------------------------------------

TEST_F(PdfProtection, AttachedFilesExtractByteIdenticalWithTheirTypes)
{
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary.push_back(static_cast<char>((i * 7919) >> 3));
    write_file(path("invoice.json"), R"({"invoice":"0001","total":1000,"name":"ＡＢＣ商事"})");
    write_file(path("請求データ.csv"), "no,amount\n1,1000\n");
    write_file(path("scan.bin"), binary);
    DocumentProperties p;
    p.archive = true;
    p.attachments = {{path("invoice.json"), "application/json", "Data", "Invoice data"},
                     {path("請求データ.csv"), "text/csv", "Source", ""},
                     {path("scan.bin"), "application/octet-stream", "Supplement", "Scan"}};
    ASSERT_TRUE(print("attached.pdf", p).ok());
    const std::string file = path("attached.pdf");
    EXPECT_EQ(test::qpdf_problems(file), "");

    const std::string list = command_output("pdfdetach -list '" + file + "'").value_or("");
    EXPECT_TRUE(has(list, "3 embedded files")) << list;
    for (const char* name : {"invoice.json", "請求データ.csv", "scan.bin"})
        EXPECT_TRUE(has(list, name)) << list;
    const std::string verbose = command_output("qpdf --list-attachments --verbose '" + file + "'").value_or("");
    for (const char* type : {"application/json", "text/csv", "application/octet-stream"})
        EXPECT_TRUE(has(verbose, std::string("mime type: ") + type)) << verbose;

    test::TempFolder saved;
    ASSERT_TRUE(command_output("pdfdetach -saveall -o '" + saved.path() + "' '" + file + "'"));
    for (const char* name : {"invoice.json", "請求データ.csv", "scan.bin"})
        EXPECT_EQ(contents(saved.path() + "/" + name), contents(path(name))) << name;
}

// The archival form's third part, entry by entry: the identification, the
// catalog's associated files, and each file's relationship, type and
// parameters.
TEST_F(PdfProtection, ArchivedAttachmentsMeetTheThirdPartsRequirements)
{
    const std::string data = "<Invoice><ID>0001</ID></Invoice>";
    write_file(path("invoice.xml"), data);
    DocumentProperties p;
    p.archive = true;
    p.attachments = {{path("invoice.xml"), "application/xml", "Alternative", "XML"}};
    ASSERT_TRUE(print("a3.pdf", p).ok());
    const std::string file = path("a3.pdf");
    const std::string xmp = command_output("pdfinfo -meta '" + file + "'").value_or("");
    EXPECT_TRUE(has(xmp, "<pdfaid:part>3</pdfaid:part>")) << xmp;
    EXPECT_TRUE(has(xmp, "<pdfaid:conformance>U</pdfaid:conformance>")) << xmp;

    const std::string json = command_output("qpdf --json --json-key=qpdf '" + file + "'").value_or("");
    const std::string md5 = command_output("md5sum '" + path("invoice.xml") + "'").value_or("");
    const struct {
        const char* what;
        std::string entry;
    } entries[] = {
        {"associated files from the catalog", "\"/AF\": ["},
        {"relationship", "\"/AFRelationship\": \"/Alternative\""},
        {"MIME type as the stream's subtype", "\"/Subtype\": \"/application/xml\""},
        {"size", "\"/Size\": " + std::to_string(data.size())},
        {"modification date", "\"/ModDate\": \"u:D:"},
        {"creation date", "\"/CreationDate\": \"u:D:"},
        {"checksum (MD5)", "\"/CheckSum\": \"b:" + md5.substr(0, 32) + "\""},
        {"file name", "\"/UF\": \"u:invoice.xml\""},
        {"embedded file type", "\"/Type\": \"/EmbeddedFile\""},
    };
    for (const auto& e : entries)
        EXPECT_TRUE(has(json, e.entry)) << e.what << ": " << e.entry;
    EXPECT_EQ(test::qpdf_problems(file), "");
}

// Without archiving an attachment does not make the file claim any form.
TEST_F(PdfProtection, AttachmentsWithoutArchivingClaimNoArchivalForm)
{
    write_file(path("data.json"), "{}");
    DocumentProperties p;
    p.attachments = {{path("data.json"), "application/json", "Data", ""}};
    ASSERT_TRUE(print("plain.pdf", p).ok());
    EXPECT_FALSE(has(command_output("pdfinfo -meta '" + path("plain.pdf") + "'").value_or(""), "pdfaid"));
    EXPECT_TRUE(has(command_output("pdfdetach -list '" + path("plain.pdf") + "'").value_or(""), "data.json"));
}

struct MemberCase {
    const char* name;
    void (*call)(KT482_Print&, const std::string& folder);
    ErrorNumber number;
};

class ProtectionMembers : public test::SpoolTest, public ::testing::WithParamInterface<MemberCase> {};

TEST_P(ProtectionMembers, RefuseWhatCannotBeUsed)
{
    test::TempFolder folder;
    write_file(folder.path() + "/ok.json", "{}");
    // A sparse file one byte over the limit costs no disk.
    { std::ofstream(folder.path() + "/huge.bin"); }
    fs::resize_file(folder.path() + "/huge.bin", KT482_Print::kLargestAttachment + 1);
    KT482_Print job;
    GetParam().call(job, folder.path());
    EXPECT_EQ(job.LastFailure().number, static_cast<int32_t>(GetParam().number)) << job.LastFailure().description;
}

INSTANTIATE_TEST_SUITE_P(
    Bad, ProtectionMembers,
    ::testing::Values(
        MemberCase{"missing_file", [](KT482_Print& j, const std::string& d) {
                       j.AttachFile(d + "/none.json", "application/json", "Data"); }, ErrorNumber::FileNotFound},
        MemberCase{"over_the_limit", [](KT482_Print& j, const std::string& d) {
                       j.AttachFile(d + "/huge.bin", "application/octet-stream", "Data"); },
                   ErrorNumber::InvalidPropertyValue},
        MemberCase{"unknown_relationship", [](KT482_Print& j, const std::string& d) {
                       j.AttachFile(d + "/ok.json", "application/json", "Invoice"); },
                   ErrorNumber::InvalidPropertyValue},
        MemberCase{"not_a_mime_type", [](KT482_Print& j, const std::string& d) {
                       j.AttachFile(d + "/ok.json", "json", "Data"); }, ErrorNumber::InvalidPropertyValue},
        MemberCase{"https_authority", [](KT482_Print& j, const std::string&) {
                       j.SetPdfTimestamp("https://tsa.example/"); }, ErrorNumber::InvalidPropertyValue},
        MemberCase{"box_on_a_negative_page", [](KT482_Print& j, const std::string&) {
                       j.SetPdfSignatureBox(-1, 1, 1, 2, 2); }, ErrorNumber::InvalidPropertyValue}),
    [](const auto& info) { return std::string(info.param.name); });

// A file gone between AttachFile and the document's start: the document
// does not start, and nothing is left under its name.
TEST_F(PdfProtection, AnAttachmentGoneByTheStartLeavesNoFile)
{
    write_file(path("gone.json"), "{}");
    DocumentProperties p;
    p.attachments = {{path("gone.json"), "application/json", "Data", ""}};
    fs::remove(path("gone.json"));
    const Status printed = print("never.pdf", p);
    EXPECT_EQ(printed.failure().number, static_cast<int32_t>(ErrorNumber::FileNotFound));
    EXPECT_TRUE(pdf_files(out_.path()).empty());
}


// -- Encryption ---------------------------------------------------------------

struct PermissionCase {
    const char* name;
    int32_t permissions;
    // What qpdf says of each permission, in its words.
    std::vector<std::pair<const char*, bool>> allowed;
};

class EncryptionPermissions : public PdfProtection, public ::testing::WithParamInterface<PermissionCase> {};

TEST_P(EncryptionPermissions, OpenWithEitherPasswordAndKeepThePermissionsGiven)
{
    DocumentProperties p;
    p.user_password = "user-pw";
    p.owner_password = "owner-pw";
    p.permissions = GetParam().permissions;
    ASSERT_TRUE(print("encrypted.pdf", p).ok());
    const std::string file = path("encrypted.pdf");

    const std::string shown =
        command_output("qpdf --show-encryption --password=user-pw '" + file + "'").value_or("");
    EXPECT_TRUE(has(shown, "R = 6")) << shown;
    EXPECT_TRUE(has(shown, "stream encryption method: AESv3")) << shown;
    EXPECT_TRUE(has(shown, "string encryption method: AESv3")) << shown;
    for (const auto& [permission, allowed] : GetParam().allowed)
        EXPECT_TRUE(has(shown, std::string(permission) + ": " + (allowed ? "allowed" : "not allowed")))
            << permission << "\n" << shown;

    for (const char* password : {"user-pw", "owner-pw"}) {
        const std::string plain = path(std::string("decrypted-") + password + ".pdf");
        ASSERT_TRUE(command_output("qpdf --decrypt --password=" + std::string(password) + " '" + file + "' '" + plain
                                   + "'"))
            << password;
        EXPECT_EQ(test::qpdf_problems(plain), "");
        const auto texts = test::pdf_page_texts(plain);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_TRUE(has(texts[0], "請求書")) << texts[0];
    }
    // poppler opens it with the password as well, and not without.
    EXPECT_TRUE(has(command_output("pdftotext -upw user-pw '" + file + "' -").value_or(""), "請求書"));
    EXPECT_FALSE(command_output("pdftotext -upw wrong '" + file + "' - 2>/dev/null"));
    EXPECT_FALSE(command_output("qpdf --check --password=wrong '" + file + "' 2>/dev/null"));
    // Nothing of the text or the information is readable in the file.
    EXPECT_FALSE(has(contents(file), "KT482_Print"));
}

INSTANTIATE_TEST_SUITE_P(
    Sets, EncryptionPermissions,
    ::testing::Values(
        PermissionCase{"read_only", 0,
                       {{"print low resolution", false}, {"print high resolution", false},
                        {"extract for any purpose", false}, {"modify other", false}, {"modify annotations", false},
                        {"modify forms", false}, {"modify document assembly", false},
                        {"extract for accessibility", false}}},
        PermissionCase{"everything", -1,
                       {{"print low resolution", true}, {"print high resolution", true},
                        {"extract for any purpose", true}, {"modify other", true}, {"modify annotations", true},
                        {"modify forms", true}, {"modify document assembly", true},
                        {"extract for accessibility", true}}},
        PermissionCase{"print_and_copy", PdfPermission::Print | PdfPermission::PrintHighQuality | PdfPermission::Copy,
                       {{"print low resolution", true}, {"print high resolution", true},
                        {"extract for any purpose", true}, {"modify other", false}, {"modify forms", false},
                        {"modify document assembly", false}}},
        PermissionCase{"fill_and_assemble",
                       PdfPermission::FillForms | PdfPermission::Assemble | PdfPermission::Accessibility,
                       {{"print low resolution", false}, {"modify forms", true}, {"modify document assembly", true},
                        {"extract for accessibility", true}, {"extract for any purpose", false}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdfProtection, EncryptionIsRefusedForArchivedDocuments)
{
    DocumentProperties p;
    p.archive = true;
    p.user_password = "pw";
    const Status printed = print("archived.pdf", p);
    ASSERT_FALSE(printed.ok());
    EXPECT_TRUE(has(printed.failure().description, "archived")) << printed.failure().description;
    EXPECT_TRUE(pdf_files(out_.path()).empty());
}

// -- Signatures and timestamps ------------------------------------------------

TEST_F(PdfProtection, ASealSignatureIsValidOverTheWholeFileAndAChangeIsFound)
{
    write_file(path("invoice.json"), "{\"total\":1000}");
    DocumentProperties p = signed_by("seal.p12");
    p.archive = true;
    p.attachments = {{path("invoice.json"), "application/json", "Data", ""}};
    ASSERT_TRUE(print("signed.pdf", p).ok());
    const std::string file = path("signed.pdf");
    EXPECT_EQ(test::qpdf_problems(file), "");
    const std::string report = pdfsig(file);
    EXPECT_TRUE(has(report, "Signature Validation: Signature is Valid.")) << report;
    EXPECT_TRUE(has(report, "Total document signed")) << report;
    EXPECT_TRUE(has(report, "ETSI.CAdES.detached")) << report;
    EXPECT_TRUE(has(report, "ABC Trading Seal")) << report;

    // One byte of the page changed after signing.
    std::string bytes = contents(file);
    const std::size_t at = bytes.find("/MediaBox[0 0 ");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 14] = bytes[at + 14] == '5' ? '6' : '5';
    write_file(path("changed.pdf"), bytes);
    const std::string changed = pdfsig(path("changed.pdf"));
    EXPECT_FALSE(has(changed, "Signature is Valid.")) << changed;
}

TEST_F(PdfProtection, AnEncryptedDocumentCanBeSignedToo)
{
    DocumentProperties p = signed_by("seal.p12");
    p.user_password = "user-pw";
    p.permissions = -1;
    ASSERT_TRUE(print("both.pdf", p).ok());
    const std::string report =
        command_output("pdfsig -upw user-pw '" + path("both.pdf") + "' 2>&1; true").value_or("");
    EXPECT_TRUE(has(report, "Signature is Valid.")) << report;
    EXPECT_TRUE(has(report, "Total document signed")) << report;
}

// One member call serves a batch: the certificate file is read for the
// first document only (gone after it, the next is still signed), yet every
// document gets a file key of its own; the next member call reads the file
// again.
TEST_F(PdfProtection, OneMemberCallServesManyDocumentsEachWithAKeyOfItsOwn)
{
    fs::copy_file(cert("seal.p12"), path("copy.p12"));
    KT482_Print job;
    job.SetPdfEncryption("user-pw", "owner-pw", static_cast<int32_t>(PdfPermission::Print));
    job.SetPdfSignature(path("copy.p12"), "seal-pass", "請求書の発行", "Tokyo");
    ASSERT_EQ(job.LastFailure().number, 0);
    const DocumentProperties batch = kt482::job().NextDocument;
    ASSERT_TRUE(print("first.pdf", batch).ok());
    fs::remove(path("copy.p12"));
    ASSERT_TRUE(print("second.pdf", batch).ok()) << "the key was read once, for the first document";
    std::vector<std::string> keys;
    for (const char* name : {"first.pdf", "second.pdf"}) {
        const std::string report = command_output("pdfsig -upw user-pw '" + path(name) + "' 2>&1; true").value_or("");
        EXPECT_TRUE(has(report, "Signature is Valid.")) << name << report;
        const std::string shown = command_output("qpdf --password=user-pw --show-encryption --show-encryption-key '" +
                                                 path(name) + "'").value_or("");
        const auto at = shown.find("ncryption key");
        ASSERT_NE(at, std::string::npos) << shown;
        keys.push_back(shown.substr(at, shown.find('\n', at) - at));
    }
    EXPECT_NE(keys[0], keys[1]) << "each document's own file key";

    job.SetPdfSignature(path("copy.p12"), "seal-pass", "", "");
    const Status again = print("third.pdf", kt482::job().NextDocument);
    EXPECT_EQ(again.failure().number, static_cast<int32_t>(ErrorNumber::FileNotFound)) << again.failure().description;
}

// A visible signature: a box on the page with the seal and the signer's
// name, drawn where the box says, and still a valid signature.
TEST_F(PdfProtection, AVisibleSignatureShowsTheSealAndTheNameInItsBox)
{
    test::write_file(path("seal.png"), test::png_bytes(8, 8, 3, test::solid(8, 8, {200, 30, 30})));
    DocumentProperties p = signed_by("seal.p12");
    p.signature_page = 1;
    const float box[4] = {300, 100, 500, 160};  // left, top, right, bottom from the origin
    std::copy(std::begin(box), std::end(box), p.signature_box);
    p.signature_picture = path("seal.png");
    ASSERT_TRUE(print("visible.pdf", p).ok());
    const std::string file = path("visible.pdf");
    EXPECT_TRUE(has(pdfsig(file), "Signature is Valid.")) << pdfsig(file);
    EXPECT_EQ(test::qpdf_problems(file), "");
    // The widget's rectangle, as qpdf reads it: the box turned up the page
    // (an A4 page is 842 points high).
    const std::string json = command_output("qpdf --json --json-key=qpdf '" + file + "'").value_or("");
    EXPECT_TRUE(has(json, "\"/AP\": {")) << json.substr(0, 3000);
    EXPECT_TRUE(has(json, "\"/Rect\": [\n")) << json.substr(0, 3000);
    // MuPDF draws the appearance: red seal pixels inside the box, none
    // outside it.
    if (!command_output("command -v mutool"))
        return;
    ASSERT_TRUE(command_output("mutool draw -q -r 72 -c rgb -F pnm -o '" + path("page.pnm") + "' '" + file + "' 1 2>/dev/null"));
    const std::string pnm = contents(path("page.pnm"));
    int width = 0, height = 0, max = 0, header = 0;
    ASSERT_EQ(std::sscanf(pnm.c_str(), "P6 %d %d %d%n", &width, &height, &max, &header), 3);
    const auto red_at = [&](int x, int y) {
        const std::size_t at = static_cast<std::size_t>(header + 1 + (y * width + x) * 3);
        return static_cast<unsigned char>(pnm[at]) > 150 && static_cast<unsigned char>(pnm[at + 1]) < 100;
    };
    int inside = 0, outside = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            (x >= 290 && x <= 510 && y >= 90 && y <= 170 ? inside : outside) += red_at(x, y);
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

struct SignerCase {
    const char* name;
    const char* p12;
    const char* password;
    const char* reason;  // part of the failure's text
};

class BadSigners : public PdfProtection, public ::testing::WithParamInterface<SignerCase> {};

TEST_P(BadSigners, FailBeforeAnyFileIsMade)
{
    const Status printed = print("bad.pdf", signed_by(GetParam().p12, GetParam().password));
    ASSERT_FALSE(printed.ok());
    EXPECT_TRUE(has(printed.failure().description, GetParam().reason)) << printed.failure().description;
    // The password is never part of what is reported.
    EXPECT_FALSE(has(printed.failure().description, GetParam().password));
    EXPECT_TRUE(pdf_files(out_.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadSigners,
    ::testing::Values(SignerCase{"wrong_password", "seal.p12", "not-the-pass", "password"},
                      SignerCase{"expired", "expired.p12", "seal-pass", "expired"},
                      SignerCase{"not_for_signing", "encipher-only.p12", "seal-pass", "not allowed to sign"},
                      SignerCase{"not_a_pkcs12_file", "ca.pem", "seal-pass", "not a PKCS#12"},
                      SignerCase{"missing", "none.p12", "seal-pass", "cannot be read"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdfProtection, ATimestampedSignatureCarriesTheAuthoritysToken)
{
    LoopbackAuthority authority("good");
    ASSERT_FALSE(authority.url().empty());
    DocumentProperties p = signed_by("seal.p12");
    p.tsa_url = authority.url();
    ASSERT_TRUE(print("stamped.pdf", p).ok());
    const std::string report = pdfsig(path("stamped.pdf"));
    EXPECT_TRUE(has(report, "Signature is Valid.")) << report;
    EXPECT_TRUE(has(report, "Total document signed")) << report;
    // The token is in the signature as its unsigned attribute.
    const std::string cms = command_output(dump_signature("stamped.pdf") + " && openssl cms -cmsout -print -inform "
                                           "DER -in stamped.pdf.sig0")
                                .value_or("");
    EXPECT_TRUE(has(cms, "id-smime-aa-signingCertificateV2"));
    EXPECT_TRUE(has(cms, "id-smime-aa-timeStampToken"));
    EXPECT_TRUE(has(cms, "kt482 Test TSA"));
}

TEST_F(PdfProtection, ADocumentTimestampStandsAloneWithoutACertificate)
{
    LoopbackAuthority authority("good");
    ASSERT_FALSE(authority.url().empty());
    DocumentProperties p;
    p.archive = true;
    p.tsa_url = authority.url();
    ASSERT_TRUE(print("doc-stamp.pdf", p).ok());
    EXPECT_EQ(test::qpdf_problems(path("doc-stamp.pdf")), "");
    const std::string report = pdfsig(path("doc-stamp.pdf"));
    EXPECT_TRUE(has(report, "Total document signed")) << report;
    // pdfsig lists the timestamp but cannot check one; openssl checks the
    // token against the bytes of the ranges pdfsig gives.
    const std::size_t listed = report.find("Signed Ranges: ");
    ASSERT_NE(listed, std::string::npos) << report;
    long ranges[4] = {};
    ASSERT_EQ(std::sscanf(report.c_str() + listed, "Signed Ranges: [%ld - %ld], [%ld - %ld]", &ranges[0], &ranges[1],
                          &ranges[2], &ranges[3]),
              4)
        << report;
    const std::string bytes = contents(path("doc-stamp.pdf"));
    write_file(path("covered"), bytes.substr(0, static_cast<std::size_t>(ranges[1]))
                                    + bytes.substr(static_cast<std::size_t>(ranges[2]),
                                                   static_cast<std::size_t>(ranges[3] - ranges[2])));
    const std::string verified =
        command_output(dump_signature("doc-stamp.pdf") + " && openssl ts -verify -token_in -in doc-stamp.pdf.sig0 "
                       "-data covered -CAfile '" + cert("ca.pem") + "' -untrusted '" + cert("tsa.pem") + "' 2>/dev/null")
            .value_or("");
    EXPECT_TRUE(has(verified, "Verification: OK")) << verified;
}

// An authority that cannot be reached, answers rubbish or does not answer:
// the document fails within the bound and nothing claims a timestamp.
class BadAuthorities : public PdfProtection, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadAuthorities, FailWithinTheBoundAndLeaveNoFile)
{
    std::string url = "http://127.0.0.1:9/tsa";  // the discard port: nobody listens
    std::unique_ptr<LoopbackAuthority> authority;
    if (std::string(GetParam()) != "unreachable") {
        authority = std::make_unique<LoopbackAuthority>(GetParam());
        ASSERT_FALSE(authority->url().empty());
        url = authority->url();
    }
    // The signed and the unsigned document at once, each on a thread (and
    // so a job) of its own: each waits out its own bound.
    const auto attempt = [&](bool with_signer) {
        DocumentProperties p = with_signer ? signed_by("seal.p12") : DocumentProperties{};
        p.tsa_url = url;
        const auto start = std::chrono::steady_clock::now();
        const Status printed = print(with_signer ? "signed.pdf" : "stamped.pdf", p);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(printed.ok()) << with_signer;
        EXPECT_TRUE(has(printed.failure().description, "SetPdfTimestamp")) << printed.failure().description;
        EXPECT_LT(took, std::chrono::milliseconds(4500)) << with_signer;
        if (std::string(GetParam()) == "unreachable") {
            EXPECT_LT(took, std::chrono::milliseconds(1000)) << "a refused connection is not tried again";
        }
    };
    auto unsigned_one = std::async(std::launch::async, attempt, false);
    attempt(true);
    unsigned_one.get();
    EXPECT_TRUE(pdf_files(out_.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, BadAuthorities, ::testing::Values("unreachable", "garbage", "silent"));

}  // namespace
}  // namespace kt482
