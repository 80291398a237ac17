// Pictures, fills and colour on paper and on screen: the PDF as poppler
// reads and renders it, and the preview's canvas against that rendering.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "render/page_out.h"
#include "support/fake_server.h"
#include "support/picture_files.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;
using test::TempFolder;

constexpr int kPages = 3;

// A 40 x 40 seal: an opaque red ring two pixels wide, clear inside.
std::vector<uint8_t> seal_samples()
{
    std::vector<uint8_t> rgba;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool ring = x < 2 || y < 2 || x >= 38 || y >= 38;
            rgba.insert(rgba.end(), {200, 30, 30, static_cast<uint8_t>(ring ? 255 : 0)});
        }
    }
    return rgba;
}

class PictureOutput : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        if (!test::command_output("command -v pdfimages") || !test::command_output("command -v pdftoppm"))
            GTEST_SKIP() << "pdfimages or pdftoppm is not installed";
        server_.emplace("CUPS_SERVER", spool_.path() + "/no-server.sock");
        output_.emplace("KT482_PDF_DIR", out_.path());
        seal_ = spool_.path() + "/seal.png";
        cyan_ = spool_.path() + "/cyan.jpg";
        test::write_file(seal_, test::png_bytes(40, 40, 4, seal_samples()));
        test::write_file(cyan_, test::jpeg_bytes(32, 32, 4, test::solid(32, 32, {255, 0, 0, 0})));

        // 15-point rows and 6-point columns from the 10 mm margins (28 pt).
        job_.P_Temp_Dir(spool_.path());
        job_.E_StartEdit();
        for (int page = 1; page <= kPages; ++page) {
            if (page > 1)
                job_.E_ChangePage();
            job_.E_Pitch(15, 6);
            job_.E_Fill(2, 2, 4, 22, 0xD9D9D9);       // x 34-154, y 43-73
            job_.E_Font("ＭＳ ゴシック", 20, true, 0);
            job_.E_String(6, 12, "■■");             // under the seal's clear middle
            job_.E_Image(5, 11, 10, 21, seal_, 1);     // x 88-148, y 88-163
            job_.E_Image(12, 2, 14, 7, cyan_, 1);      // x 34-64, y 193-223
            job_.E_Color(0x0000FF);
            job_.E_Line(16, 2, 16, 30);                // y 253
        }
        job_.E_EndEdit();
        ASSERT_EQ(job_.P_Max_Page(), kPages);
    }

    std::string print()
    {
        job_.W_Device("KT482 PDF");
        job_.W_StartDoc(9, 1);
        job_.W_Print();
        job_.W_EndDoc();
        EXPECT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
        return job_.LastPdfPath();
    }

    // Page 1 at 72 dpi, a pixel a point.
    QImage render(const std::string& pdf)
    {
        const std::string prefix = out_.path() + "/page";
        EXPECT_TRUE(test::command_output("pdftoppm -r 72 -f 1 -l 1 -singlefile -png '" + pdf + "' '" + prefix + "'"));
        return QImage(QString::fromStdString(prefix + ".png")).convertToFormat(QImage::Format_RGB32);
    }

    TempFolder spool_;
    TempFolder out_;
    std::optional<ScopedEnv> server_;
    std::optional<ScopedEnv> output_;
    KT482_Print job_;
    std::string seal_;
    std::string cyan_;
};

// Where the items land, and their colours, at points of the page.
struct Probe {
    const char* what;
    int x, y;
    QRgb colour;
    int tolerance;
};

const Probe kProbes[] = {
    {"fill", 90, 60, qRgb(0xD9, 0xD9, 0xD9), 2},
    {"outside the fill", 160, 60, qRgb(255, 255, 255), 0},
    {"seal ring", 89, 120, qRgb(200, 30, 30), 12},
    {"seal's clear middle", 140, 150, qRgb(255, 255, 255), 0},
    // Poppler turns CMYK into RGB as printing inks look (cyan about
    // 00ADEF); the preview takes the plain complement.
    {"cmyk jpeg is cyan", 48, 208, qRgb(0, 200, 247), 90},
    {"blue line", 100, 253, qRgb(0, 0, 255), 60},
};

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
           && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string hex(QRgb c)
{
    std::ostringstream out;
    out << std::hex << (c & 0xFFFFFF);
    return out.str();
}

TEST_F(PictureOutput, PdfPlacesEachPictureOnceAndDrawsThroughTheClearParts)
{
    const std::string pdf = print();
    EXPECT_EQ(test::qpdf_problems(pdf), "");

    // pdfimages lists each use: three pages of two pictures, one of them
    // with a soft mask (listed under its picture's object), on two objects.
    const auto list = test::command_output("pdfimages -list '" + pdf + "'");
    ASSERT_TRUE(list);
    std::istringstream lines(*list);
    std::string line;
    std::set<std::string> objects;
    int uses = 0, masks = 0, jpegs = 0;
    while (std::getline(lines, line)) {
        std::istringstream f(line);
        std::string page, num, type, width, height, color, comp, bpc, enc, interp, object;
        if (!(f >> page >> num >> type >> width >> height >> color >> comp >> bpc >> enc >> interp >> object)
            || page == "page" || page.starts_with("-"))
            continue;
        ++uses;
        masks += type == "smask";
        jpegs += enc == "jpeg";
        objects.insert(object);
        if (enc == "jpeg") {
            EXPECT_EQ(color, "cmyk");
        }
    }
    EXPECT_EQ(uses, 3 * kPages);
    EXPECT_EQ(masks, kPages);
    EXPECT_EQ(jpegs, kPages);
    EXPECT_EQ(objects.size(), 2u) << *list;

    const QImage page = render(pdf);
    ASSERT_FALSE(page.isNull());
    for (const Probe& p : kProbes)
        EXPECT_TRUE(near(page.pixel(p.x, p.y), p.colour, p.tolerance))
            << p.what << ": " << hex(page.pixel(p.x, p.y));
    // The text under the seal's clear middle shows through it.
    int dark = 0;
    for (int y = 92; y < 160; ++y)
        for (int x = 92; x < 145; ++x)
            dark += qGray(page.pixel(x, y)) < 64;
    EXPECT_GT(dark, 100);
}

// The preview at 100 % draws what the PDF shows, at the same points.
TEST_F(PictureOutput, PreviewAtFullSizeMatchesThePdf)
{
    const QImage paper = render(print());
    ASSERT_FALSE(paper.isNull());

    ensure_qt_application();
    QImage screen(paper.width(), paper.height(), QImage::Format_RGB32);
    screen.setDotsPerMeterX(static_cast<int>(std::lround(72 / 0.0254)));
    screen.setDotsPerMeterY(static_cast<int>(std::lround(72 / 0.0254)));
    screen.fill(Qt::white);
    auto surface = std::make_shared<QtDrawSurface>(&screen);
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Preview;
    s.PreviewCanvas = surface;
    s.OutStartP = 0;
    s.OutEndP = 9999;
    ObjectFields fields;
    ZZ100_Page_Out(fields, 1);
    surface->end();
    s.PreviewCanvas = nullptr;

    for (const Probe& p : kProbes)
        EXPECT_TRUE(near(screen.pixel(p.x, p.y), paper.pixel(p.x, p.y), std::max(p.tolerance, 24)))
            << p.what << ": screen " << hex(screen.pixel(p.x, p.y)) << ", paper " << hex(paper.pixel(p.x, p.y));
}

}  // namespace
}  // namespace kt482
