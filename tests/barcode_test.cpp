#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "barcode/barcode_layout.h"
#include "barcode/barcode_request.h"
#include "barcode/barcode_symbol.h"

namespace kt482 {
namespace {

struct SpecCase {
    const char* type;
    const char* options;
    const char* text;  // the spool's text, or nullptr for a failure
    const char* reason;
};

TEST(BarcodeSpec, TypesAndOptionsReadOrRefused)
{
    const SpecCase cases[] = {
        {"qr", "", "QR", nullptr},
        {" Qr ", "ecc=h", "QR;ecc=H", nullptr},
        {"QR", "ecc=M", "QR", nullptr},
        {"QR", " ecc = q ; quiet=0 ;", "QR;ecc=Q;quiet=0", nullptr},
        {"ean13", "text=1", "JAN13;text=1", nullptr},
        {"EAN8", "text=0;QUIET=100", "JAN8;quiet=100", nullptr},
        {"gs1-128", ";;", "GS1-128", nullptr},
        {"nw7", "", "NW7", nullptr},
        {"itf", "text=1;quiet=10", "ITF;text=1;quiet=10", nullptr},
        {"postal", "quiet=2", "POSTAL;quiet=2", nullptr},
        {"CODE39", "", nullptr, "type 'CODE39' is unknown"},
        {"", "", nullptr, "type '' is unknown"},
        {"QR", "size=3", nullptr, "'size' is unknown"},
        {"QR", "ecc", nullptr, "not key=value"},
        {"QR", "ecc=X", nullptr, "ecc takes L, M, Q or H"},
        {"QR", "ecc=LM", nullptr, "ecc takes"},
        {"QR", "ecc=L;ecc=H", nullptr, "given twice"},
        {"CODE128", "ecc=H", nullptr, "ecc is for QR codes, not CODE128"},
        {"QR", "text=1", nullptr, "text is not for QR"},
        {"POSTAL", "text=1", nullptr, "text is not for POSTAL"},
        {"JAN13", "text=yes", nullptr, "text takes 0 or 1"},
        {"ITF", "quiet=-1", nullptr, "quiet takes"},
        {"ITF", "quiet=101", nullptr, "quiet takes"},
        {"ITF", "quiet=2x", nullptr, "quiet takes"},
        {"ITF", "quiet=", nullptr, "quiet takes"},
    };
    for (const SpecCase& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " / " + c.options);
        const Result<BarcodeSpec> spec = parse_barcode_spec(c.type, c.options);
        if (c.text) {
            ASSERT_TRUE(spec.ok()) << spec.failure().description;
            EXPECT_EQ(barcode_spec_text(*spec), c.text);
            // The spool's text reads back to the same spec.
            const Result<BarcodeSpec> again = parse_barcode_spec_text(barcode_spec_text(*spec));
            ASSERT_TRUE(again.ok());
            EXPECT_EQ(barcode_spec_text(*again), c.text);
        } else {
            ASSERT_FALSE(spec.ok());
            EXPECT_EQ(spec.failure().number, 5);
            EXPECT_NE(spec.failure().description.find(c.reason), std::string::npos) << spec.failure().description;
        }
    }
}

struct DataCase {
    const char* type;
    const char* data;
    const char* reason;  // nullptr when the data is encoded
};

TEST(BarcodeSymbol, DataEachSymbologyHoldsOrRefuses)
{
    const std::string long_qr(3000, 'x');
    const DataCase cases[] = {
        {"QR", "SLIP-0001", nullptr},
        {"QR", "納品書 No.123", nullptr},
        {"QR", long_qr.c_str(), "too long"},
        {"QR", "", "data is empty"},
        {"CODE128", "SLIP-0001", nullptr},
        {"CODE128", "納品", "Invalid character"},
        {"CODE128", "", "data is empty"},
        {"GS1-128", "[01]04912345123459[10]ABC", nullptr},
        {"GS1-128", "(01)04912345123459", nullptr},
        {"GS1-128", "04912345123459", "AI"},
        {"JAN13", "490123456789", nullptr},
        {"JAN13", "4901234567894", nullptr},
        {"JAN13", "4901234567895", "check digit"},
        {"JAN13", "49012345678A", "Invalid character"},
        {"JAN13", "4901234", "takes 12 digits"},
        {"JAN8", "4901234", nullptr},
        {"JAN8", "49012347", nullptr},
        {"JAN8", "49012340", "check digit"},
        {"JAN8", "49012347+12", nullptr},
        {"JAN8", "49O1234", "Invalid character"},
        {"JAN8", "490123456789", "takes 7 digits"},
        {"NW7", "A123456A", nullptr},
        {"NW7", "123456", "Does not begin with"},
        {"NW7", "A12X4A", "Invalid character"},
        {"ITF", "12345678", nullptr},
        {"ITF", "1234A678", "Invalid character"},
        {"POSTAL", "15400233-16-4-205", nullptr},
        {"POSTAL", "154-0023#", "Invalid character"},
        {"POSTAL", "", "data is empty"},
    };
    for (const DataCase& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " / " + c.data);
        const Result<BarcodeShape> shape = encode_barcode(*parse_barcode_spec(c.type, ""), c.data);
        if (!c.reason) {
            ASSERT_TRUE(shape.ok()) << shape.failure().description;
            EXPECT_FALSE(shape->rects.empty());
            continue;
        }
        ASSERT_FALSE(shape.ok());
        EXPECT_EQ(shape.failure().number, 5);
        const std::string& text = shape.failure().description;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        // The encoder's own numbering stays out of the message.
        EXPECT_EQ(text.find("Error "), std::string::npos) << text;
    }
}

std::vector<float> bar_edges(const BarcodeShape& shape)
{
    std::vector<float> edges;
    for (const BarcodeRect& r : shape.rects)
        edges.push_back(r.x);
    return edges;
}

TEST(BarcodeSymbol, JanCheckDigitIsComputedWhenLeftOut)
{
    const BarcodeSpec jan13 = *parse_barcode_spec("JAN13", "");
    EXPECT_EQ(bar_edges(*encode_barcode(jan13, "490123456789")), bar_edges(*encode_barcode(jan13, "4901234567894")));
    const BarcodeSpec jan8 = *parse_barcode_spec("JAN8", "text=1");
    // Eight digits stay a JAN-8 code (not a JAN-13 one with leading zeros).
    EXPECT_EQ(bar_edges(*encode_barcode(jan8, "4901234")), bar_edges(*encode_barcode(jan8, "49012347")));
    const BarcodeShape shape = *encode_barcode(jan8, "4901234");
    std::string digits;
    for (const BarcodeLabel& label : shape.labels)
        digits += label.text;
    EXPECT_EQ(digits, "49012347");
}

TEST(BarcodeSymbol, QuietZoneWidensTheSymbol)
{
    const auto width = [](const char* type, const char* options) {
        return encode_barcode(*parse_barcode_spec(type, options), type == std::string("QR") ? "A" : "12345678")
            ->width;
    };
    // A QR code of version 1 is 21 modules, each two units wide.
    EXPECT_FLOAT_EQ(width("QR", "quiet=0"), 42);
    EXPECT_FLOAT_EQ(width("QR", "quiet=4"), 58);
    EXPECT_FLOAT_EQ(width("QR", ""), 58);
    EXPECT_FLOAT_EQ(width("ITF", "quiet=5") - width("ITF", "quiet=0"), 20);
}

// The whole drawing of a shape, for comparing two.
std::string drawing(const BarcodeShape& shape)
{
    std::string out = std::to_string(shape.width) + "x" + std::to_string(shape.height) + "/" +
                      std::to_string(shape.bar_bottom);
    for (const BarcodeRect& r : shape.rects)
        out += " " + std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
               std::to_string(r.height);
    for (const BarcodeLabel& label : shape.labels)
        out += " [" + label.text + "@" + std::to_string(label.x) + "]";
    return out;
}

// Each thread keeps the shapes it encoded last, by type, options and data: one that
// differs in any option or in its data is never handed another's shape.
TEST(BarcodeSymbol, KeptShapesFollowEveryOptionAndTheData)
{
    const std::vector<std::pair<const char*, const char*>> specs = {
        {"QR", "ecc=L"},       {"QR", "ecc=H"},        {"QR", "ecc=H;quiet=0"}, {"CODE128", "text=0"},
        {"CODE128", "text=1"}, {"CODE128", "text=1;quiet=3"}, {"NW7", "text=1"}};
    const std::vector<std::string> data = {"A12345B", "A12346B"};
    auto encode = [&](std::size_t i) {
        const auto& [type, options] = specs[i / data.size()];
        auto shape = encode_barcode(*parse_barcode_spec(type, options), data[i % data.size()]);
        return shape ? drawing(shape.value()) : std::string("refused");
    };
    const std::size_t count = specs.size() * data.size();
    // Encoded afresh, each on a thread of its own with nothing kept.
    std::vector<std::string> fresh(count);
    for (std::size_t i = 0; i < count; ++i)
        std::thread([&, i] { fresh[i] = encode(i); }).join();
    // All on this thread, in turn, three times over: more than are kept.
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(encode(i), fresh[i]) << specs[i / data.size()].first << " " << specs[i / data.size()].second
                                           << " " << data[i % data.size()] << " round " << round;
    }
    EXPECT_NE(fresh[0], fresh[1]);
    EXPECT_NE(fresh[2], fresh[4]);
}

struct Extent {
    float left = 1e9f, top = 1e9f, right = -1e9f, bottom = -1e9f;
};

Extent extent(const BarcodePlacement& placement)
{
    Extent e;
    for (const BarcodeRect& r : placement.rects) {
        e.left = std::min(e.left, r.x);
        e.top = std::min(e.top, r.y);
        e.right = std::max(e.right, r.x + r.width);
        e.bottom = std::max(e.bottom, r.y + r.height);
    }
    return e;
}

TEST(BarcodeLayout, LinearCodesFillTheBox)
{
    const PointBox box{100, 200, 300, 240};
    for (const char* options : {"quiet=0", "quiet=0;text=1"}) {
        SCOPED_TRACE(options);
        const BarcodeShape shape = *encode_barcode(*parse_barcode_spec("CODE128", options), "SLIP-0001");
        const BarcodePlacement placement = place_barcode(shape, false, box);
        const Extent e = extent(placement);
        EXPECT_NEAR(e.left, 100, 1e-3);
        EXPECT_NEAR(e.right, 300, 1e-3);
        EXPECT_NEAR(e.top, 200, 1e-3);
        if (placement.labels.empty()) {
            EXPECT_NEAR(e.bottom, 240, 1e-3);
            continue;
        }
        // The line sits under the bars, inside the box, centred.
        const PlacedLabel& label = placement.labels.front();
        EXPECT_GT(label.baseline - label.size * 0.7f, e.bottom);
        EXPECT_LE(label.baseline, 240);
        EXPECT_GE(e.bottom - e.top, 40 * (1 - kMaxLabelShare) - 1e-3);
        EXPECT_NEAR(label.x, 200, 1e-3);
    }
}

TEST(BarcodeLayout, LineTakesAtMostItsShareOfAFlatBox)
{
    const BarcodeShape shape = *encode_barcode(*parse_barcode_spec("JAN13", "text=1"), "490123456789");
    const BarcodePlacement placement = place_barcode(shape, false, {0, 0, 400, 30});
    ASSERT_EQ(placement.labels.size(), 3u);
    // The ordinary bars end where the line's share begins; the guard bars
    // reach down beside the digits.
    float bars_end = 30;
    for (const BarcodeRect& r : placement.rects)
        bars_end = std::min(bars_end, r.y + r.height);
    EXPECT_NEAR(bars_end, 30 * (1 - kMaxLabelShare), 1e-3);
    EXPECT_GT(extent(placement).bottom, bars_end);
    for (const PlacedLabel& label : placement.labels) {
        EXPECT_LE(label.baseline, 30);
        EXPECT_GT(label.baseline - label.size / 2, bars_end);
    }
}

TEST(BarcodeLayout, QrModulesStaySquareAndCentred)
{
    const BarcodeShape shape = *encode_barcode(*parse_barcode_spec("QR", "quiet=0"), "SLIP-0001");
    for (const PointBox box : {PointBox{0, 0, 210, 105}, PointBox{10, 10, 52, 400}}) {
        const BarcodePlacement placement = place_barcode(shape, true, box);
        const Extent e = extent(placement);
        const float side = std::min(box.right - box.left, box.bottom - box.top);
        EXPECT_NEAR(e.right - e.left, side, 1e-3);
        EXPECT_NEAR(e.bottom - e.top, side, 1e-3);
        EXPECT_NEAR((e.left + e.right) / 2, (box.left + box.right) / 2, 1e-3);
        EXPECT_NEAR((e.top + e.bottom) / 2, (box.top + box.bottom) / 2, 1e-3);
        const float module = side / 21;
        for (const BarcodeRect& r : placement.rects) {
            EXPECT_NEAR(r.width / module, std::round(r.width / module), 1e-3);
            EXPECT_NEAR(r.height / module, std::round(r.height / module), 1e-3);
        }
    }
}

}  // namespace
}  // namespace kt482
