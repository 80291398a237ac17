// A queue's paper rules and the sheet it is asked for, with a described
// queue instead of a print server.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "print/cups_queue_destination.h"

namespace kt482 {
namespace {

QueuePaper paperMm(double width, double height)
{
    QueuePaper paper;
    paper.size_mm = {width, height};
    paper.width_points = width * 72 / 25.4;
    paper.height_points = height * 72 / 25.4;
    paper.portrait_width_twips = 11906;
    paper.portrait_height_twips = 16838;
    return paper;
}

class DescribedQueue final : public PrintQueue {
public:
    std::vector<QueuePaper> listed{paperMm(210, 297), paperMm(279.4, 431.8)};  // A4, 11 x 17 in
    bool userPages = true;
    std::optional<QueueSheet>* asked = nullptr;

    std::string name() const override { return "office"; }
    const std::vector<QueuePaper>& papers() const override { return listed; }
    const QueuePaper& default_paper() const override { return listed[0]; }
    bool takes_user_pages() const override { return userPages; }
    double smallest_side_points() const override { return 72; }
    double largest_side_points() const override { return 1440; }
    int16_t default_duplex() const override { return 2; }
    int default_dpi() const override { return 300; }
    std::optional<SheetArea> sheet_area(const QueueSheet& sheet) override
    {
        *asked = sheet;
        return std::nullopt;  // nothing is written: the sheet is what counts
    }
};

struct PaperCase {
    int16_t code;
    bool taken;
    int16_t reads_back;
    std::size_t paper;  // the queue's paper asked for
    bool turned;        // the sheet turned against the orientation
};

class QueuePaperRules : public testing::TestWithParam<PaperCase> {};

TEST_P(QueuePaperRules, TakesListedPapersUprightOrTurned)
{
    const PaperCase& c = GetParam();
    std::optional<QueueSheet> asked;
    auto queue = std::make_unique<DescribedQueue>();
    queue->asked = &asked;
    CupsQueueDestination destination(std::move(queue));
    EXPECT_EQ(destination.paper_size(), 9);
    EXPECT_EQ(destination.paper_size(c.code).ok(), c.taken);
    EXPECT_EQ(destination.paper_size(), c.reads_back);

    DocumentSetup portrait;
    EXPECT_TRUE(destination.open(portrait).failure().is(ErrorNumber::PrinterError));
    ASSERT_TRUE(asked);
    EXPECT_FALSE(asked->user_defined);
    EXPECT_EQ(asked->paper, c.paper);
    EXPECT_EQ(asked->landscape, c.turned);
}

INSTANTIATE_TEST_SUITE_P(Codes, QueuePaperRules,
                         testing::Values(PaperCase{9, true, 9, 0, false},    // A4 as listed
                                         PaperCase{10, true, 9, 0, false},   // A4 small is A4
                                         PaperCase{17, true, 3, 1, false},   // 11 x 17 reads back as Tabloid
                                         PaperCase{4, true, 4, 1, true},     // Ledger only turned
                                         PaperCase{8, false, 9, QueueSheet::kDefaultPaper, false},  // A3 unlisted
                                         PaperCase{25, false, 9, QueueSheet::kDefaultPaper, false}));

TEST(QueueUserPages, WithinTheQueuesLimitsAndOnlyWhereTaken)
{
    std::optional<QueueSheet> asked;
    auto queue = std::make_unique<DescribedQueue>();
    queue->asked = &asked;
    DescribedQueue& described = *queue;
    CupsQueueDestination destination(std::move(queue));
    // 72 to 1440 points, half a point either side.
    for (int32_t twips : {0, -20, 1429, 28811})
        EXPECT_FALSE(destination.page_height(twips).ok() || destination.page_width(twips).ok()) << twips;
    EXPECT_TRUE(destination.page_width(1430).ok() && destination.page_height(28810).ok());

    ASSERT_TRUE(destination.paper_size(kPaperUserDefined).ok());
    DocumentSetup landscape;
    landscape.landscape = true;
    (void)destination.open(landscape);
    ASSERT_TRUE(asked);
    EXPECT_TRUE(asked->user_defined);
    EXPECT_DOUBLE_EQ(asked->user_width_points, 71.5);
    EXPECT_DOUBLE_EQ(asked->user_height_points, 1440.5);
    EXPECT_TRUE(asked->landscape);

    described.userPages = false;
    ASSERT_TRUE(destination.paper_size(9).ok());
    EXPECT_FALSE(destination.paper_size(kPaperUserDefined).ok());
    EXPECT_EQ(destination.paper_size(), 9);
}

}  // namespace
}  // namespace kt482
