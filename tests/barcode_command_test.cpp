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

}  // namespace
}  // namespace kt482::test
