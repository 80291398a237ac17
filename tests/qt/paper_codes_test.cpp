#include <gtest/gtest.h>

#include <QSizeF>

#include <string>

#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

QPageSize custom_mm(double width, double height)
{
    return QPageSize(QSizeF(width, height), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

// Every code's Qt page size is the table's size (Qt's own definition of a
// size it knows may differ in the last decimal), and comes back as the lowest code of that size.
TEST(PaperCodes, EveryCodeIsTheTablesSize)
{
    for (const PaperEntry& entry : paper_table()) {
        SCOPED_TRACE("code " + std::to_string(entry.code));
        const auto page = pageSizeForPaperCode(entry.code);
        ASSERT_TRUE(page.has_value());
        ASSERT_TRUE(page->isValid());
        const PaperSizeMm mm = paper_size_mm(entry);
        EXPECT_NEAR(page->size(QPageSize::Millimeter).width(), mm.width, 0.5);
        EXPECT_NEAR(page->size(QPageSize::Millimeter).height(), mm.height, 0.5);
        EXPECT_EQ(paperCodeForPageSize(*page), paper_code_for_size(paper_size_mm(entry)));
    }
}

TEST(PaperCodes, StandardSizesKeepQtsIdsForTheDrivers)
{
    EXPECT_EQ(pageSizeForPaperCode(9)->id(), QPageSize::A4);
    EXPECT_EQ(pageSizeForPaperCode(1)->id(), QPageSize::Letter);
    EXPECT_EQ(pageSizeForPaperCode(4)->id(), QPageSize::Ledger);
    EXPECT_EQ(pageSizeForPaperCode(3)->id(), QPageSize::Tabloid);
    // Qt's Executive sizes are 7.25 x 10.5 and 7.5 x 10 in; the forms' is 7.5 x 10.5.
    EXPECT_EQ(pageSizeForPaperCode(7)->id(), QPageSize::Custom);
    EXPECT_EQ(pageSizeForPaperCode(7)->name(), "Executive");
}

TEST(PaperCodes, CodesWithoutDimensionsHaveNoPageSize)
{
    for (int16_t code : {0, -1, 24, 25, 26, 42, 256, 32767})
        EXPECT_FALSE(pageSizeForPaperCode(code).has_value()) << code;
}

TEST(PaperCodes, PrinterSizesMatchWithinOneMillimetreUprightFirst)
{
    EXPECT_EQ(paperCodeForPageSize(custom_mm(210.8, 296.3)), 9);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(297, 210)), 9);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(215, 275)), 15);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Ledger)), 4);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Tabloid)), 3);
    EXPECT_EQ(paperCodeForPageSize(custom_mm(212, 297)), kPaperUserDefined);
    EXPECT_EQ(paperCodeForPageSize(QPageSize(QPageSize::Folio)), kPaperUserDefined);
    EXPECT_EQ(paperCodeForPageSize(QPageSize()), kPaperUserDefined);
}

TEST(PaperCodes, PortraitTwipsComeFromTheExactDefinition)
{
    // Qt's sizes in points are rounded to whole points (A4 595 x 842), which
    // would give 11900 x 16840.
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::A4)), QSize(11906, 16838));
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::Letter)), QSize(12240, 15840));
    EXPECT_EQ(portraitTwips(QPageSize(QPageSize::Ledger)), QSize(15840, 24480));
    EXPECT_EQ(portraitTwips(*pageSizeForPaperCode(7)), QSize(10800, 15120));
    EXPECT_EQ(portraitTwips(QPageSize(QSizeF(600, 400), QPageSize::Point, QString(), QPageSize::ExactMatch)),
              QSize(8000, 12000));
    EXPECT_EQ(portraitTwips(QPageSize()), QSize());
}

}  // namespace
}  // namespace kt482
