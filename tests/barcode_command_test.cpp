// E_Barcode from the host to the page spool and back out to a target.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

#include "kt482/kt482.h"
#include "print/pdf_printer.h"
#include "render/page_out.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/recording_surface.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using Fields = std::vector<std::string>;

class BarcodeCommandTest : public SpoolTest {
protected:
    BarcodeCommandTest()
    {
        job.P_Temp_Dir(dir);
        kt482::job().FontScale = 0;
        kt482::job().MeasuredFontSize = 0;
        job.E_StartEdit();
        job.E_Pitch(15, 6);
    }

    std::vector<std::string> render_page()
    {
        job.E_EndEdit();
        JobState& s = kt482::job();
        s.OutputTarget = OutputTarget::Printer;
        s.PrinterObject = surface;
        s.PreviewCanvas = nullptr;
        ZZ100_Page_Out(fields, 1);
        return surface->log;
    }

    KT482_Print job;
    ObjectFields fields;
    std::shared_ptr<RecordingSurface> surface = std::make_shared<RecordingSurface>();
};

TEST_F(BarcodeCommandTest, RecordsTheTypeOptionsAndData)
{
    job.E_Barcode(2, 3, 6, 40, "code128", "DS-0001", " text=1 ");
    job.E_Barcode(8, 50.5f, 2, 30, "Qr", "納品 No.1", "ecc=h;quiet=2");
    job.E_Barcode(1, 1, 2, 20, "EAN13", 490123456789.0);
    job.E_EndEdit();
    const std::vector<ReadRecord> records = read_page(1);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].code, "BAR ");
    EXPECT_EQ(records[1].fields, (Fields{"2.000", "3.000", "6.000", "40.000", "CODE128;text=1 DS-0001"}));
    EXPECT_EQ(records[2].fields, (Fields{"8.000", "50.500", "2.000", "30.000", "QR;ecc=H;quiet=2 納品 No.1"}));
    EXPECT_EQ(records[3].fields, (Fields{"1.000", "1.000", "2.000", "20.000", "JAN13 490123456789"}));
    EXPECT_TRUE(sink.messages.empty());
}

struct Refusal {
    const char* type;
    Variant data;
    const char* options;
    float end_row;
    int number;
    const char* reason;
};

TEST_F(BarcodeCommandTest, RefusalsAreReportedAndRecordNothing)
{
    const Refusal cases[] = {
        {"QR", "x", "", 2, 5, "no width or no height"},
        {"CODE128", "", "", 6, 5, "data is empty"},
        {"CODE128", Variant::null(), "", 6, 94, "Null"},
        {"JAN13", "49012345678X", "", 6, 5, "Invalid character"},
        {"QR", "x", "colour=red", 6, 5, "'colour' is unknown"},
        {"PDF417", "x", "", 6, 5, "'PDF417' is unknown"},
        {"QR", std::numeric_limits<double>::quiet_NaN(), "", 6, 5, "Invalid procedure call"},
        {"QR", std::numeric_limits<float>::infinity(), "", 6, 5, "Invalid procedure call"},
        {"CODE128", -std::numeric_limits<double>::infinity(), "", 6, 5, "Invalid procedure call"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.reason);
        job.ClearLastFailure();
        job.E_Barcode(2, 3, c.end_row, 40, c.type, c.data, c.options);
        EXPECT_EQ(job.LastFailure().number, c.number);
        EXPECT_NE(job.LastFailure().description.find(c.reason), std::string::npos) << job.LastFailure().description;
        EXPECT_EQ(job.LastFailure().procedure, "E_Barcode");
    }
    EXPECT_EQ(job.P_CheckData(), false);
    job.E_EndEdit();
    EXPECT_FALSE(page_exists(1));  // a page without drawing is not kept
}

TEST_F(BarcodeCommandTest, LateBoundCallReachesTheMember)
{
    const InvokeResult result =
        job.Invoke(0x60030083, MemberKind::Method, {Variant(2), Variant(3), Variant(6), Variant(40), Variant("itf"),
                                                    Variant("1234"), Variant("quiet=0")});
    EXPECT_EQ(result.status, InvokeStatus::Ok);
    job.E_EndEdit();
    const std::vector<ReadRecord> records = read_page(1);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[4], "ITF;quiet=0 1234");
}

// The rectangles drawn, as x, y, width, height.
std::vector<std::array<float, 4>> filled(const std::vector<std::string>& lines)
{
    std::vector<std::array<float, 4>> rects;
    for (const std::string& line : lines) {
        if (!line.starts_with("FillRect "))
            continue;
        std::istringstream in(line.substr(9));
        std::array<float, 4> r{};
        in >> r[0] >> r[1] >> r[2] >> r[3];
        rects.push_back(r);
    }
    return rects;
}

TEST_F(BarcodeCommandTest, RendersRectanglesInsideTheBoxAndTheLineBelow)
{
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_Color(0xFF0000);
    job.E_Barcode(6, 40, 2, 3, "CODE128", "DS-0001", "text=1");  // corners either way round
    job.E_String(8, 3, "after");
    const std::vector<std::string> log = render_page();

    // Row 2 to 6 is y 43 to 103; column 3 to 40 is x 40 to 262.
    const auto rects = filled(log);
    ASSERT_GT(rects.size(), 10u);
    for (const auto& r : rects) {
        EXPECT_GE(r[0], 40 - 0.01);
        EXPECT_LE(r[0] + r[2], 262 + 0.01);
        EXPECT_GE(r[1], 43 - 0.01);
        EXPECT_LE(r[1] + r[3], 103 + 0.01);
    }
    EXPECT_NE(std::find(log.begin(), log.end(), "Print \"DS-0001\""), log.end());
    // Bars in black, then the page's colour and font size back for the text after.
    const auto first_fill = std::find_if(log.begin(), log.end(), [](auto& l) { return l.starts_with("FillRect"); });
    EXPECT_EQ(*std::prev(first_fill), "Color 000000");
    // The page's red, black for the barcode, red again, black at the page's end.
    EXPECT_EQ(surface->only("Color"), (Fields{"Color FF0000", "Color 000000", "Color FF0000", "Color 000000"}));
    EXPECT_EQ(surface->only("FontSize").back(), "FontSize 10.5");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(BarcodeCommandTest, ADamagedRecordIsAFailureOfItsHandler)
{
    job.E_Barcode(2, 3, 6, 40, "JAN8", "4901234");
    job.E_EndEdit();
    // The data changed behind the library's back: letters where digits were.
    std::string bytes = file_bytes(page_path(1));
    const std::size_t at = bytes.find("4901234");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 7, "49O1234");
    std::ofstream(page_path(1), std::ios::binary | std::ios::trunc) << bytes;
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Printer;
    s.PrinterObject = surface;
    ZZ100_Page_Out(fields, 1);
    EXPECT_TRUE(filled(surface->log).empty());
    EXPECT_EQ(message_titles(), (Fields{"KT482_Print : ZZ100_Barcode"}));
}

// The postal customer barcode measured as printed: the PDF rendered at 1200
// dpi, each bar's length, width and place read from the pixels.
struct PostalBox {
    const char* name;
    float row_pitch;
    float rows[2];
    float cols[2];
    double size;          // the points of size the box gives; 0: refused
    const char* refusal;  // a part of the failure's text
};

class PostalBarcodeSize : public BarcodeCommandTest, public testing::WithParamInterface<PostalBox> {};

constexpr double kPixelsPerMm = 1200 / 25.4;
constexpr double kPixelsPerPoint = 1200 / 72.0;

struct MeasuredBar {
    int left, right, top, bottom;  // pixels, inclusive
};

// The dark column runs of a grey PGM image, left to right.
std::vector<MeasuredBar> measured_bars(const std::string& pgm)
{
    std::istringstream in(pgm);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    const std::string pixels = pgm.substr(static_cast<std::size_t>(in.tellg()));
    if (magic != "P5" || pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return {};
    std::vector<MeasuredBar> bars;
    bool in_bar = false;
    for (int x = 0; x < width; ++x) {
        int top = -1, bottom = -1;
        for (int y = 0; y < height; ++y) {
            if (static_cast<unsigned char>(pixels[static_cast<std::size_t>(y) * width + x]) < 128) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        if (top < 0) {
            in_bar = false;
            continue;
        }
        if (!in_bar)
            bars.push_back({x, x, top, bottom});
        bars.back().right = x;
        bars.back().top = std::min(bars.back().top, top);
        bars.back().bottom = std::max(bars.back().bottom, bottom);
        in_bar = true;
    }
    return bars;
}

TEST_P(PostalBarcodeSize, IsDrawnToThePostsDimensions)
{
    const PostalBox& c = GetParam();
    if (const std::string tool = missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (poppler-utils)";
    job.P_TopMargin(0);
    job.P_LeftMargin(0);
    job.E_Pitch(c.row_pitch, 6);
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_Barcode(c.rows[0], c.cols[0], c.rows[1], c.cols[1], "POSTAL", "15400233-16-4-205");
    job.E_String(c.rows[1] + 6, 3, "AFTER");
    job.E_EndEdit();
    TempFolder out;
    const std::string pdf = out.path() + "/postal.pdf";
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Printer;
    s.PrinterObject = PdfPrinter::for_file(pdf);
    ZZ100_Page_Out(fields, 1);
    ASSERT_TRUE(s.PrinterObject->EndDoc().ok());
    s.PrinterObject = nullptr;
    const auto texts = pdf_page_texts(pdf);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("AFTER"), std::string::npos) << "the rest of the page is drawn";

    // The box in pixels, with a margin around it for ink that strays.
    const double left = (c.cols[0] - 1) * 6 * kPixelsPerPoint;
    const double top = std::round((c.rows[0] - 1) * c.row_pitch) * kPixelsPerPoint;
    const int margin = 60;
    const std::string crop = " -x " + std::to_string(static_cast<int>(left) - margin) + " -y "
                             + std::to_string(static_cast<int>(top) - margin) + " -W "
                             + std::to_string(static_cast<int>((c.cols[1] - c.cols[0]) * 6 * kPixelsPerPoint) + 2 * margin)
                             + " -H " + std::to_string(static_cast<int>(c.row_pitch * 2 * kPixelsPerPoint) + 2 * margin);
    const auto pgm = command_output("pdftoppm -r 1200 -gray -singlefile" + crop + " '" + pdf + "'");
    ASSERT_TRUE(pgm.has_value());
    const std::vector<MeasuredBar> bars = measured_bars(*pgm);
    if (c.size == 0) {
        EXPECT_TRUE(bars.empty());
        ASSERT_EQ(message_titles(), (Fields{"KT482_Print : ZZ100_Barcode"}));
        EXPECT_NE(sink.messages[0].text.find(c.refusal), std::string::npos) << sink.messages[0].text;
        return;
    }
    EXPECT_TRUE(sink.messages.empty()) << sink.messages.front().text;
    ASSERT_EQ(bars.size(), 67u);

    // At a points: long bars 3.6a/10 mm, semi-long 2.4a/10, timing 1.2a/10,
    // bars 0.6a/10 mm wide every 1.2a/10 mm. A pixel at 1200 dpi is 0.021 mm.
    const double unit = c.size / 10 * kPixelsPerMm;
    const double tolerance = 1.5;
    int lengths[3] = {0, 0, 0};
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const MeasuredBar& b = bars[i];
        SCOPED_TRACE("bar " + std::to_string(i));
        EXPECT_NEAR(b.right - b.left + 1, 0.6 * unit, tolerance);
        if (i > 0) {
            EXPECT_NEAR(b.left - bars[i - 1].left, 1.2 * unit, tolerance);
        }
        const int length = b.bottom - b.top + 1;
        int kind = -1;
        for (int k = 0; k < 3; ++k) {
            if (std::abs(length - 1.2 * (k + 1) * unit) <= tolerance)
                kind = k;
        }
        ASSERT_GE(kind, 0) << length << " pixels long";
        ++lengths[kind];
    }
    EXPECT_GT(lengths[0], 0);
    EXPECT_GT(lengths[1], 0);
    EXPECT_GT(lengths[2], 0);
    // Left-aligned and at the top of the box.
    EXPECT_NEAR(bars.front().left, margin + (left - std::floor(left)), tolerance);
    int highest = bars.front().top;
    for (const MeasuredBar& b : bars)
        highest = std::min(highest, b.top);
    EXPECT_NEAR(highest, margin + (top - std::floor(top)), tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    BarcodeCommandTest, PostalBarcodeSize,
    testing::Values(
        // The reference's own example: a 10-point box (3.53 mm) gives 9.8 points.
        PostalBox{"ReferenceBox", 15, {37, 37.68f}, {3, 44}, 10 / (0.36 * 72 / 25.4), ""},
        PostalBox{"SmallBox", 9, {5, 6}, {3, 40}, 9 / (0.36 * 72 / 25.4), ""},
        PostalBox{"TallBoxStopsAtTheLargestSize", 15, {5, 7}, {3, 50}, 11.5, ""},
        PostalBox{"TooLow", 8, {5, 6}, {3, 50}, 0, "box is 2.82 mm high; the barcode needs at least 2.88 mm"},
        PostalBox{"TooNarrow", 15, {37, 37.68f}, {3, 30}, 0, "box is 57.15 mm wide"}),
    [](const testing::TestParamInfo<PostalBox>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kt482::test
