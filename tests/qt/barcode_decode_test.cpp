// Barcodes as a scanner reads them: recorded with E_Barcode, printed to PDF
// and rasterised at 300 dpi, and shown in the preview window, then decoded
// with zbarimg. The customer barcode, which zbar does not read, is compared
// bar by bar with the encoder's own pattern.
#include <gtest/gtest.h>

#include <QDialog>
#include <QImage>
#include <QTest>

#include <zint.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kt482/kt482.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::command_output;
using test::ScopedEnv;
using test::TempFolder;

struct Decodable {
    const char* type;
    const char* data;
    const char* options;
    const char* decoded;  // zbarimg's line: symbology and data
};

// One barcode a page, in a box 80 columns by 4 rows (480 x 60 points; the QR
// code 160 points square).
const Decodable kDecodable[] = {
    {"QR", "DS-2026-000123", "ecc=M", "QR-Code:DS-2026-000123"},
    {"QR", "https://example.jp/slip?no=123&k=納品", "ecc=H", "QR-Code:https://example.jp/slip?no=123&k=納品"},
    {"CODE128", "DS-2026-000123", "text=1", "CODE-128:DS-2026-000123"},
    {"JAN13", "490123456789", "text=1", "EAN-13:4901234567894"},
    {"EAN13", "4569951112133", "", "EAN-13:4569951112133"},
    {"JAN8", "4901234", "text=1", "EAN-8:49012347"},
    {"NW7", "A1234-5678B", "text=1", "Codabar:A1234-5678B"},
    {"ITF", "12345678", "quiet=10", "I2/5:12345678"},
};
constexpr int kDecodablePages = static_cast<int>(std::size(kDecodable));

// The customer barcode of 〒154-0023, 3-16-4-205.
constexpr const char* kPostalData = "15400233-16-4-205";

std::string zbar_missing()
{
    return command_output("command -v zbarimg") ? std::string() : "zbarimg is not installed (zbar-tools)";
}

// zbarimg's lines for an image, sorted; empty when nothing was found.
std::vector<std::string> decoded(const std::string& png)
{
    const auto out = command_output("zbarimg -q '" + png + "' 2>/dev/null");
    std::vector<std::string> lines;
    if (!out)
        return lines;
    std::string line;
    for (char c : *out) {
        if (c == '\n') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The bars of a four-state code, left to right: F full, A ascender, D
// descender, T tracker.
std::string encoder_states(const char* data)
{
    zint_symbol* symbol = ZBarcode_Create();
    symbol->symbology = BARCODE_JAPANPOST;
    std::string states;
    if (ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data), static_cast<int>(std::strlen(data))) <
        ZINT_ERROR) {
        const auto set = [&](int row, int col) { return (symbol->encoded_data[row][col >> 3] >> (col & 7)) & 1; };
        for (int col = 0; col < symbol->width; ++col) {
            if (!set(1, col))
                continue;
            states += set(0, col) ? (set(2, col) ? 'F' : 'A') : (set(2, col) ? 'D' : 'T');
        }
    }
    ZBarcode_Delete(symbol);
    return states;
}

// The same read from an image: each run of dark columns in area is a bar,
// classed by whether its ink reaches the top and the bottom of all bars.
std::string image_states(const QImage& image, const QRect& area)
{
    struct Bar {
        int top, bottom;
    };
    std::vector<Bar> bars;
    bool in_bar = false;
    for (int x = area.left(); x <= area.right(); ++x) {
        int top = -1, bottom = -1;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        if (top < 0) {
            in_bar = false;
            continue;
        }
        if (!in_bar)
            bars.push_back({top, bottom});
        bars.back().top = std::min(bars.back().top, top);
        bars.back().bottom = std::max(bars.back().bottom, bottom);
        in_bar = true;
    }
    int top = area.bottom(), bottom = area.top();
    for (const Bar& b : bars) {
        top = std::min(top, b.top);
        bottom = std::max(bottom, b.bottom);
    }
    const int slack = std::max(1, (bottom - top) / 8);
    std::string states;
    for (const Bar& b : bars) {
        const bool up = b.top - top <= slack;
        const bool down = bottom - b.bottom <= slack;
        states += up ? (down ? 'F' : 'A') : (down ? 'D' : 'T');
    }
    return states;
}

class BarcodeDecode : public testing::Test {
protected:
    void SetUp() override
    {
        job_.emplace();
        job_->P_Temp_Dir(spool_.path());
        job_->E_StartEdit();
        for (int page = 1; page <= kDecodablePages; ++page) {
            const Decodable& c = kDecodable[page - 1];
            if (page > 1)
                job_->E_ChangePage();
            job_->E_Pitch(15, 6);
            job_->E_Font("ＭＳ 明朝", 10.5f, false, 0);
            job_->E_String(2, 3, c.type);
            const float right = std::string(c.type) == "QR" ? 30.7f : 83;
            const float bottom = std::string(c.type) == "QR" ? 15.7f : 8;
            job_->E_Barcode(4, 3, bottom, right, c.type, c.data, c.options);
        }
        // The customer barcode in a 10-point box, which holds it at 9.8
        // points of size, in a box wider than its 78 mm.
        job_->E_ChangePage();
        job_->E_Pitch(15, 6);
        job_->E_Barcode(4, 3, 4.68f, 48, "POSTAL", kPostalData, "quiet=0");
        job_->E_EndEdit();
        ASSERT_EQ(job_->LastFailure().number, 0) << job_->LastFailure().description;
        ASSERT_EQ(job_->P_Max_Page(), kDecodablePages + 1);
    }

    TempFolder spool_;
    TempFolder out_;
    ScopedEnv server_{"CUPS_SERVER", spool_.path() + "/no-server.sock"};
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", out_.path()};
    std::optional<KT482_Print> job_;
};

TEST_F(BarcodeDecode, PdfAt300DpiDecodesToTheRecordedData)
{
    if (const std::string tool = zbar_missing() + test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool;
    const std::string pdf = out_.path() + "/barcodes.pdf";
    job_->SetNextPdfPath(pdf);
    job_->W_Device("KT482 PDF");
    job_->W_StartDoc(9, 1);
    job_->W_Print();
    job_->W_EndDoc();
    ASSERT_EQ(job_->LastPdfPath(), pdf);
    EXPECT_EQ(test::qpdf_problems(pdf), "");

    for (int page = 1; page <= kDecodablePages + 1; ++page) {
        const std::string png = out_.path() + "/page" + std::to_string(page);
        ASSERT_TRUE(command_output("pdftoppm -r 300 -png -singlefile -f " + std::to_string(page) + " -l " +
                                   std::to_string(page) + " '" + pdf + "' '" + png + "'"));
        if (page <= kDecodablePages) {
            SCOPED_TRACE(kDecodable[page - 1].data);
            EXPECT_EQ(decoded(png + ".png"), std::vector<std::string>{kDecodable[page - 1].decoded});
            continue;
        }
        // The band of the page around row 4, where nothing else is drawn.
        const QImage image(QString::fromStdString(png + ".png"));
        ASSERT_FALSE(image.isNull());
        const QRect area(0, 50 * 300 / 72, image.width(), 50 * 300 / 72);
        const std::string expected = encoder_states(kPostalData);
        ASSERT_EQ(expected.size(), 67u);
        EXPECT_EQ(image_states(image, area), expected);
    }
}

TEST_F(BarcodeDecode, PreviewImageDecodesToTheRecordedData)
{
    if (const std::string tool = zbar_missing(); !tool.empty())
        GTEST_SKIP() << tool;
    job_->V_Size_Set(9, 1);
    ASSERT_NE(job_->P_PREVIEW(), nullptr);
    std::vector<QImage> pages;
    set_preview_driver([&](QDialog& dialog) {
        QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
        if (window && QTest::qWaitForWindowActive(&dialog)) {
            for (int page = 1; page <= kDecodablePages + 1; ++page) {
                pages.push_back(dynamic_cast<QtCanvas&>(*window->canvas()).image());
                QTest::mouseClick(window->widget(PreviewControl::NEXT), Qt::LeftButton);
            }
        }
        dialog.reject();
    });
    job_->V_Preview();
    set_preview_driver({});
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(kDecodablePages + 1));

    for (int page = 1; page <= kDecodablePages; ++page) {
        SCOPED_TRACE(kDecodable[page - 1].data);
        const std::string png = out_.path() + "/preview" + std::to_string(page) + ".png";
        ASSERT_TRUE(pages[page - 1].save(QString::fromStdString(png)));
        EXPECT_EQ(decoded(png), std::vector<std::string>{kDecodable[page - 1].decoded});
    }
    // The preview's image is in screen pixels, 96 a inch.
    const QImage& postal = pages.back();
    const double px = postal.width() / 595.0;
    // Inside the page's edges, which the canvas draws.
    const QRect area(static_cast<int>(30 * px), static_cast<int>(50 * px), static_cast<int>(300 * px),
                     static_cast<int>(50 * px));
    EXPECT_EQ(image_states(postal, area), encoder_states(kPostalData));
}

}  // namespace
}  // namespace kt482
