// The document information of the PDF printer's files, read back by pdfinfo,
// and the archivable form (PDF/A-2u) checked requirement by requirement, as
// no validator is at hand: each check below names the rule it covers.
#include <gtest/gtest.h>

#include <hb.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "image/picture_cache.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/picture_files.h"
#include "support/poppler.h"
#include "support/recording_surface.h"
#include "support/spool_fixture.h"

namespace kt482 {
namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number of the object a key of the file refers to ("/Key 12 0 R").
std::vector<int> references(const std::string& file, const std::string& key)
{
    std::vector<int> found;
    for (std::size_t at = file.find(key + ' '); at != std::string::npos; at = file.find(key + ' ', at + 1))
        found.push_back(std::atoi(file.c_str() + at + key.size() + 1));
    return found;
}

std::string stream_data(const std::string& path, int object)
{
    return test::command_output("qpdf --show-object=" + std::to_string(object) + " --filtered-stream-data '" + path
                                + "'")
        .value_or("");
}

std::string element(const std::string& xml, const std::string& name)
{
    const std::size_t open = xml.find("<" + name + ">");
    if (open == std::string::npos)
        return "(none)";
    std::size_t start = open + name.size() + 2;
    // The value of an rdf:Alt or rdf:Seq is its first item's.
    if (const std::size_t li = xml.find("<rdf:li", start); li != std::string::npos && li < xml.find("</" + name, start))
        start = xml.find('>', li) + 1;
    return xml.substr(start, xml.find('<', start) - start);
}

// The widths a CID font lists, by code, from its "/W[c [w w ...] c [w ...]]"
// array at w.
std::map<std::size_t, double> listed_widths(const std::string& file, std::size_t w)
{
    std::map<std::size_t, double> widths;
    std::size_t at = w + 3;
    while (at < file.size() && file[at] != ']') {
        std::size_t used = 0;
        std::size_t code = std::stoul(file.substr(at, 12), &used);
        at = file.find('[', at + used) + 1;
        const std::size_t end = file.find(']', at);
        std::istringstream run(file.substr(at, end - at));
        for (double width; run >> width;)
            widths[code++] = width;
        at = end + 1;
        while (at < file.size() && file[at] == ' ')
            ++at;
    }
    return widths;
}

class PdfDocumentInfo : public test::SpoolTest {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        if (!test::command_output("command -v qpdf"))
            GTEST_SKIP() << "qpdf is not installed";
    }

    std::string print(const std::string& name, const DocumentProperties& properties)
    {
        const std::string path = out_.path() + "/" + name;
        auto printer = PdfPrinter::for_file(path);
        printer->NextDocumentProperties(properties);
        EXPECT_TRUE(printer->FontName("ＭＳ 明朝").ok());
        EXPECT_TRUE(printer->Print("請求書 ¥1,000", LineEnd::With).ok());
        // A spread label: its glyphs are copies as wide as they stand apart.
        EXPECT_TRUE(printer->BeginSpreadText("合計金額").ok());
        for (const char* c : {"合", "計", "金", "額"})
            EXPECT_TRUE(printer->Print(c, LineEnd::Without).ok() && printer->CurrentX(printer->CurrentX() + 9).ok());
        EXPECT_TRUE(printer->EndSpreadText().ok());
        EXPECT_TRUE(printer->Line(10, 10, 100, 10).ok());
        // A CMYK photograph, as print shops hand them out.
        const std::string cmyk = out_.path() + "/cmyk.jpg";
        test::write_file(cmyk, test::jpeg_bytes(16, 8, 4, test::solid(16, 8, {0, 200, 255, 0})));
        const auto picture = load_picture(cmyk);
        EXPECT_TRUE(picture.ok());
        if (picture.ok()) {
            EXPECT_TRUE(printer->Image(20, 200, 64, 32, (*picture)->view()).ok());
        }
        EXPECT_TRUE(printer->EndDoc().ok());
        EXPECT_EQ(test::qpdf_problems(path), "");
        return path;
    }

    test::TempFolder out_;
};

TEST_F(PdfDocumentInfo, ReadsBackAsGivenAndTheTitleDefaultsToTheFileName)
{
    const struct {
        DocumentProperties given;
        const char* title;  // as pdfinfo shows it
        const char* author;
        const char* subject;
        const char* keywords;
    } cases[] = {
        {{"", "", "", "", false}, "plain.pdf", "", "", ""},
        {{"Invoice 0001 (March)", "Accounts", "Billing", "invoice, 2026", false},
         "Invoice 0001 (March)", "Accounts", "Billing", "invoice, 2026"},
        {{"請求書 ＡＢＣ商事 御中", "山田 太郎", "月末締め", "請求書,𠮷野家", false},
         "請求書 ＡＢＣ商事 御中", "山田 太郎", "月末締め", "請求書,𠮷野家"},
        {{"tab\there\nline", "back\\slash", "", "", true}, "tab here line", "back\\slash", "", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = n++ == 0 ? "plain.pdf" : "info" + std::to_string(n) + ".pdf";
        const auto info = test::pdf_info(print(name, c.given));
        auto field = [&](const char* key) {
            const auto found = info.find(key);
            return found == info.end() ? std::string() : found->second;
        };
        EXPECT_EQ(field("Title"), c.title) << name;
        EXPECT_EQ(field("Author"), c.author) << name;
        EXPECT_EQ(field("Subject"), c.subject) << name;
        EXPECT_EQ(field("Keywords"), c.keywords) << name;
        EXPECT_EQ(field("Creator"), "KT482_Print") << name;
    }
}

// The host's members reach the printer at W_StartDoc: the information once,
// archiving until switched off.
TEST_F(PdfDocumentInfo, HostMembersReachThePrinterAtTheStartOfTheDocument)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.W_Device("Office Laser");
    job.SetDocumentInfo("T", "A", "S", "K");
    job.SetPdfArchive(true);
    job.W_StartDoc(9, 1);
    job.W_EndDoc();
    job.W_StartDoc(9, 1);
    job.W_EndDoc();
    job.SetPdfArchive(false);
    job.W_StartDoc(9, 1);
    ASSERT_TRUE(printers.opened);
    EXPECT_EQ(printers.opened->document_properties, (std::vector<std::string>{"T|A|S|K archive", "||| archive", "|||"}));
}

TEST_F(PdfDocumentInfo, ArchivedFilesMeetTheArchivalRequirements)
{
    const std::string path = print("archived.pdf", {"請求書 (3月)", "経理部", "月次請求", "請求書, 2026", true});
    const std::string file = contents(path);
    const auto info = test::pdf_info(path);

    // Header: a version, then a comment of at least four bytes above 127.
    ASSERT_EQ(file.rfind("%PDF-1.", 0), 0u);
    const std::size_t comment = file.find('\n') + 1;
    ASSERT_EQ(file[comment], '%');
    int high = 0;
    for (std::size_t i = comment + 1; file[i] != '\n'; ++i)
        high += static_cast<unsigned char>(file[i]) > 127;
    EXPECT_GE(high, 4);

    // Trailer: a file identifier of two strings; no encryption.
    const std::string trailer = file.substr(file.rfind("trailer"));
    EXPECT_NE(trailer.find("/ID[<"), std::string::npos) << trailer;
    EXPECT_EQ(file.find("/Encrypt"), std::string::npos);

    // XMP metadata, uncompressed, with the identification and the same
    // values as the information dictionary.
    EXPECT_NE(file.find("<?xpacket begin=\"\xEF\xBB\xBF\""), std::string::npos);
    const std::string xmp = test::command_output("pdfinfo -meta '" + path + "'").value_or("");
    EXPECT_EQ(element(xmp, "pdfaid:part"), "2");
    EXPECT_EQ(element(xmp, "pdfaid:conformance"), "U");
    EXPECT_EQ(element(xmp, "dc:title"), info.at("Title"));
    EXPECT_EQ(element(xmp, "dc:creator"), info.at("Author"));
    EXPECT_EQ(element(xmp, "dc:description"), info.at("Subject"));
    EXPECT_EQ(element(xmp, "pdf:Keywords"), info.at("Keywords"));
    EXPECT_EQ(element(xmp, "xmp:CreatorTool"), info.at("Creator"));
    EXPECT_EQ(element(xmp, "pdf:Producer"), info.at("Producer"));
    // Dates: the same moment with the same offset in both forms.
    const std::string raw_date = file.substr(file.find("/CreationDate(D:") + 16, 14);
    const std::string xmp_date = element(xmp, "xmp:CreateDate");
    EXPECT_EQ(raw_date, xmp_date.substr(0, 4) + xmp_date.substr(5, 2) + xmp_date.substr(8, 2) + xmp_date.substr(11, 2)
                            + xmp_date.substr(14, 2) + xmp_date.substr(17, 2));

    // Output intent: sRGB, an embedded monitor RGB profile.
    EXPECT_NE(file.find("/Type/OutputIntent/S/GTS_PDFA1"), std::string::npos);
    const auto profiles = references(file, "/DestOutputProfile");
    ASSERT_EQ(profiles.size(), 1u);
    const std::string icc = stream_data(path, profiles[0]);
    ASSERT_GE(icc.size(), 128u);
    EXPECT_EQ(icc.substr(12, 8), "mntrRGB ");
    EXPECT_EQ(icc.substr(36, 4), "acsp");

    // Fonts: every one embedded with a ToUnicode map.
    const auto fonts = test::pdf_fonts(path);
    ASSERT_FALSE(fonts.empty());
    for (const auto& font : fonts)
        EXPECT_TRUE(font.embedded && font.unicode) << font.name;

    // Each CID font: a code-to-glyph map in which no code used shows the
    // missing glyph, and widths equal to the advances of the embedded font
    // program.
    const auto maps = references(file, "/CIDToGIDMap");
    const auto programs = references(file, "/FontFile2");
    ASSERT_EQ(maps.size(), fonts.size());
    ASSERT_EQ(programs.size(), fonts.size());
    for (std::size_t f = 0; f < maps.size(); ++f) {
        const std::string map = stream_data(path, maps[f]);
        const std::string program = stream_data(path, programs[f]);
        hb_blob_t* blob = hb_blob_create(program.data(), static_cast<unsigned>(program.size()), HB_MEMORY_MODE_READONLY,
                                         nullptr, nullptr);
        hb_face_t* face = hb_face_create(blob, 0);
        hb_font_t* font = hb_font_create(face);
        const double upem = hb_face_get_upem(face);
        const std::size_t cid_font = file.find("/CIDToGIDMap " + std::to_string(maps[f]) + " 0 R");
        const std::map<std::size_t, double> listed = listed_widths(file, file.rfind("/W[", cid_font));
        const std::size_t default_at = file.rfind("/DW ", cid_font);
        const double default_width = std::stod(file.substr(default_at + 4, 12));
        ASSERT_GE(map.size(), 4u);
        for (std::size_t code = 1; code < map.size() / 2; ++code) {
            const unsigned glyph = (static_cast<unsigned char>(map[2 * code]) << 8) | static_cast<unsigned char>(map[2 * code + 1]);
            EXPECT_NE(glyph, 0u) << "code " << code;
            const auto found = listed.find(code);
            const double width = found != listed.end() ? found->second : default_width;
            EXPECT_NEAR(width, hb_font_get_glyph_h_advance(font, glyph) * 1000 / upem, 0.001) << "code " << code;
        }
        hb_font_destroy(font);
        hb_face_destroy(face);
        hb_blob_destroy(blob);
    }

    // Nothing forbidden: no scripts, actions, embedded files, optional
    // content or transparency groups, in any object (uncompressed).
    const std::string all =
        test::command_output("qpdf --qdf --object-streams=disable --decode-level=generalized '" + path + "' -")
            .value_or("");
    ASSERT_FALSE(all.empty());
    for (const char* key : {"/JavaScript", "/JS", "/AA", "/Launch", "/EmbeddedFiles", "/OCProperties", "/SMask",
                            "/Group", "/Encrypt", "/LZWDecode", "/DeviceCMYK"})
        EXPECT_EQ(all.find(key), std::string::npos) << key;

    // Colours: device colour spaces only of the output intent's kind, so the
    // CMYK picture is there in RGB.
    const std::string images = test::command_output("pdfimages -list '" + path + "'").value_or("");
    EXPECT_NE(images.find(" rgb "), std::string::npos) << images;
    EXPECT_EQ(images.find("cmyk"), std::string::npos) << images;
}

}  // namespace
}  // namespace kt482
