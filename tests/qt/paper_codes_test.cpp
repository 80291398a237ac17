#include <gtest/gtest.h>

#include <QSizeF>

#include <map>

#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

// Codes that only repeat another code's paper.
const std::map<int16_t, int16_t> kPrimaryOf = {
    {2, 1}, {10, 9}, {17, 3}, {18, 1}, {41, 14},
};

int16_t expected_primary(int16_t code)
{
    auto it = kPrimaryOf.find(code);
    return it == kPrimaryOf.end() ? code : it->second;
}

QPageSize custom_mm(double width, double height)
{
    return QPageSize(QSizeF(width, height), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

TEST(PaperCodes, EveryCodeRoundTripsToItsPrimaryCode)
{
    ASSERT_FALSE(paperCodeTable().empty());
    for (const auto& entry : paperCodeTable()) {
        const auto page = pageSizeForPaperCode(entry.code);
        ASSERT_TRUE(page.has_value()) << entry.code;
        EXPECT_TRUE(page->isValid()) << entry.code;
        EXPECT_EQ(paperCodeForPageSize(*page), expected_primary(entry.code)) << entry.code;
    }
}

TEST(PaperCodes, ClassicSizes)
{
    auto inches = [](int16_t code) { return pageSizeForPaperCode(code)->size(QPageSize::Inch); };
    auto mm = [](int16_t code) { return pageSizeForPaperCode(code)->size(QPageSize::Millimeter); };
    EXPECT_EQ(inches(1), QSizeF(8.5, 11));
    EXPECT_EQ(inches(4), QSizeF(17, 11));
    EXPECT_EQ(inches(7), QSizeF(7.25, 10.5));
    EXPECT_EQ(inches(14), QSizeF(8.5, 13));
    EXPECT_EQ(inches(39), QSizeF(14.875, 11));
    EXPECT_EQ(mm(9), QSizeF(210, 297));
    EXPECT_EQ(mm(12), QSizeF(250, 353));
    EXPECT_EQ(mm(13), QSizeF(182, 257));
    EXPECT_EQ(mm(34), QSizeF(176, 250));
    EXPECT_EQ(mm(35), QSizeF(176, 125));
    EXPECT_EQ(mm(36), QSizeF(110, 230));
}

TEST(PaperCodes, UnknownCodesHaveNoPageSize)
{
    for (int16_t code : {0, -1, 42, 256, 32767})
        EXPECT_FALSE(pageSizeForPaperCode(code).has_value()) << code;
}

TEST(PaperCodes, PrinterSizesMatchWithinOneMillimetreInEitherOrientation)
{
    EXPECT_EQ(paperCodeForPageSize(custom_mm(210.8, 296.3)), 9);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(297, 210)), 9);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(215, 275)), 15);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Ledger)), 4);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Tabloid)), 3);
}

TEST(PaperCodes, UnmatchedSizesAreUserDefined)
{
    EXPECT_EQ(paperCodeForPageSize(custom_mm(212, 297)), kUserDefinedPaperCode);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(100, 100)), kUserDefinedPaperCode);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Folio)), kUserDefinedPaperCode);
    EXPECT_EQ(paperCodeForPageSize(QPageSize()), kUserDefinedPaperCode);
}

TEST(PaperCodes, PortraitTwipsComeFromTheExactDefinition)
{
    // Qt's sizes in points are rounded to whole points (A4 595 x 842), which
    // would give 11900 x 16840.
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::A4)), QSize(11906, 16838));
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::Letter)), QSize(12240, 15840));
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::Ledger)), QSize(15840, 24480));
    EXPECT_EQ(portraitTwips(QPageSize(QSizeF(600, 400), QPageSize::Point, QString(), QPageSize::ExactMatch)),
              QSize(8000, 12000));
    EXPECT_EQ(portraitTwips(QPageSize()), QSize());
}

}  // namespace
}  // namespace kt482
