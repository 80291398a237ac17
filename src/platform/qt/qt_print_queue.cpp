#include "platform/qt/qt_print_queue.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSizeF>
#include <QString>

#include <algorithm>
#include <vector>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_duplex_codes.h"
#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

QueuePaper queuePaper(const QPageSize& size)
{
    QueuePaper paper;
    if (!size.isValid())
        return paper;
    paper.size_mm = paperSizeMm(size);
    const QSizeF points = size.size(QPageSize::Point);
    paper.width_points = points.width();
    paper.height_points = points.height();
    const QSize twips = portraitTwips(size);
    paper.portrait_width_twips = twips.width();
    paper.portrait_height_twips = twips.height();
    return paper;
}

class QtPrintQueue final : public PrintQueue {
public:
    explicit QtPrintQueue(const QPrinterInfo& info)
    {
        ensure_qt_application();
        name_ = info.printerName().toStdString();
        printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        for (const QPageSize& size : info.supportedPageSizes()) {
            sizes_.push_back(size);
            papers_.push_back(queuePaper(size));
        }
        takesUserPages_ = info.supportsCustomPageSizes();
        if (info.minimumPhysicalPageSize().isValid() && info.maximumPhysicalPageSize().isValid()) {
            const QSizeF least = info.minimumPhysicalPageSize().size(QPageSize::Point);
            const QSizeF most = info.maximumPhysicalPageSize().size(QPageSize::Point);
            if (!least.isEmpty() && !most.isEmpty()) {
                smallest_ = std::min(least.width(), least.height());
                largest_ = std::max(most.width(), most.height());
            }
        }
        const QPageSize page = info.defaultPageSize();
        defaultSize_ = page.isValid() ? page : printer_->pageLayout().pageSize();
        defaultPaper_ = queuePaper(defaultSize_);
        duplex_ = duplexCodeForMode(info.defaultDuplexMode());
        dpi_ = printer_->resolution();
    }

    std::string name() const override { return name_; }
    const std::vector<QueuePaper>& papers() const override { return papers_; }
    const QueuePaper& default_paper() const override { return defaultPaper_; }
    bool takes_user_pages() const override { return takesUserPages_; }
    double smallest_side_points() const override { return smallest_; }
    double largest_side_points() const override { return largest_; }
    int16_t default_duplex() const override { return duplex_; }
    int default_dpi() const override { return dpi_; }

    std::optional<SheetArea> sheet_area(const QueueSheet& sheet) override
    {
        ensure_qt_application();
        QPageSize size;
        if (sheet.user_defined)
            size = QPageSize(QSizeF(sheet.user_width_points, sheet.user_height_points), QPageSize::Point, QString(),
                             QPageSize::ExactMatch);
        else
            size = sheet.paper == QueueSheet::kDefaultPaper ? defaultSize_ : sizes_[sheet.paper];
        QPrinter& printer = *printer_;
        if (!printer.setPageSize(size))
            return std::nullopt;
        const QPageLayout::Orientation orientation = sheet.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
        printer.setPageOrientation(orientation);
        const QPageLayout allowed = printer.pageLayout();
        const QPageLayout layout(size, orientation, allowed.minimumMargins(), allowed.units(),
                                 allowed.minimumMargins());
        const QRectF page = layout.fullRect(QPageLayout::Point);
        const QMarginsF margins = layout.margins(QPageLayout::Point);
        return SheetArea{page.width(), page.height(), margins.left(), margins.top()};
    }

private:
    std::string name_;
    std::unique_ptr<QPrinter> printer_;
    std::vector<QPageSize> sizes_;
    std::vector<QueuePaper> papers_;
    QPageSize defaultSize_;
    QueuePaper defaultPaper_;
    bool takesUserPages_ = false;
    double smallest_ = 0;
    double largest_ = 0;
    int16_t duplex_ = 1;
    int dpi_ = 1200;
};

}  // namespace

std::unique_ptr<PrintQueue> make_qt_print_queue(const QPrinterInfo& info)
{
    return std::make_unique<QtPrintQueue>(info);
}

}  // namespace kt482
