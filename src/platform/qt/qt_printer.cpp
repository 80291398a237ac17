#include "platform/qt/qt_printer.h"

#include "platform/qt/qt_duplex_codes.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMarginsF>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cmath>
#include <optional>
#include <utility>

#include "pdf/pdf_document.h"
#include "platform/qt/cups_job.h"
#include "platform/qt/pdf_printer.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

// The job title at the print server.
constexpr const char* kDocumentName = "KT482_Print";

constexpr int kMaxCopies = 99;


Failure invalidValue()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

// A private file for a queue's document until it is sent: in $TMPDIR (else
// /tmp), readable by its owner only, under a name nobody else can take.
int createQueueFile(std::string& path)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kt482-job-XXXXXX.pdf";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd >= 0)
        path = pattern;
    return fd;
}

}  // namespace

QtPrinter::QtPrinter() = default;

std::shared_ptr<QtPrinter> QtPrinter::forQueue(const QPrinterInfo& info)
{
    ensure_qt_application();
    std::shared_ptr<QtPrinter> printer(new QtPrinter());
    printer->deviceName_ = info.printerName().toStdString();
    printer->printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    for (const QPageSize& size : info.supportedPageSizes())
        printer->queueSizes_.push_back(size);
    printer->queueCustomSizes_ = info.supportsCustomPageSizes();
    if (info.minimumPhysicalPageSize().isValid() && info.maximumPhysicalPageSize().isValid()) {
        printer->customMinPoints_ = info.minimumPhysicalPageSize().size(QPageSize::Point);
        printer->customMaxPoints_ = info.maximumPhysicalPageSize().size(QPageSize::Point);
    }
    const QPageSize page = info.defaultPageSize();
    printer->pageSize_ = page.isValid() ? page : printer->printer_->pageLayout().pageSize();
    printer->duplex_ = duplexCodeForMode(info.defaultDuplexMode());
    printer->dpi_ = printer->printer_->resolution();
    const QSize twips = portraitTwips(printer->pageSize_);
    printer->userHeightTwips_ = twips.height();
    printer->userWidthTwips_ = twips.width();
    return printer;
}

QtPrinter::~QtPrinter()
{
    if (started_)
        (void)EndDoc();
}

// -- Drawing ----------------------------------------------------------------

Status QtPrinter::FontName(std::string_view face)
{
    return surface_.FontName(face);
}

Status QtPrinter::FontSize(float points)
{
    return surface_.FontSize(points);
}

Status QtPrinter::FontBold(bool bold)
{
    return surface_.FontBold(bold);
}

Status QtPrinter::FontUnderline(bool underline)
{
    return surface_.FontUnderline(underline);
}

Status QtPrinter::CurrentX(float x)
{
    return surface_.CurrentX(x);
}

Status QtPrinter::CurrentY(float y)
{
    return surface_.CurrentY(y);
}

Status QtPrinter::Print(std::string_view text, LineEnd end)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.Print(text, end);
}

Status QtPrinter::BeginSpreadText(std::string_view text)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.BeginSpreadText(text);
}

Status QtPrinter::DrawMode(int16_t mode)
{
    return surface_.DrawMode(mode);
}

Status QtPrinter::DrawWidth(int16_t pixels)
{
    return surface_.DrawWidth(pixels);
}

Status QtPrinter::DrawStyle(int16_t style)
{
    return surface_.DrawStyle(style);
}

Status QtPrinter::Line(float x1, float y1, float x2, float y2)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.Line(x1, y1, x2, y2);
}

Status QtPrinter::NewPage()
{
    if (Status started = startDocument(); !started)
        return started;
    document_->begin_page(pageWidth_, pageHeight_);
    return {};
}

// -- Page setup ---------------------------------------------------------------

Status QtPrinter::PaperSize(int16_t code)
{
    if (code == kPaperUserDefined) {
        if (!queueCustomSizes_)
            return invalidValue();
        userDefined_ = true;
        return {};
    }
    const std::optional<QPageSize> wanted = pageSizeForPaperCode(code);
    if (!wanted)
        return invalidValue();
    // The queue's own page size, not Qt's, so that the server is asked for
    // the paper under the name its driver knows. A paper the queue lists
    // only turned (Ledger, 17 x 11 in, as 11 x 17 in) is printed turned, so
    // that the page keeps the shape of its code.
    std::vector<PaperSizeMm> offered;
    offered.reserve(queueSizes_.size());
    for (const QPageSize& size : queueSizes_)
        offered.push_back(paperSizeMm(size));
    const std::optional<PaperMatch> match = match_paper(paperSizeMm(*wanted), offered);
    if (!match)
        return invalidValue();
    pageSize_ = queueSizes_[match->index];
    paperCode_ = paperCodeForPageSize(*wanted);
    paperTurned_ = match->turned;
    userDefined_ = false;
    return {};
}

int16_t QtPrinter::PaperSize() const
{
    if (userDefined_)
        return kPaperUserDefined;
    return paperCode_ != 0 ? paperCode_ : paperCodeForPageSize(pageSize_);
}

namespace {

// Whether a side of a user-defined page is one the printer can take: within
// the queue's physical limits.
bool pageSideFits(int32_t twips, const QSizeF& minPoints, const QSizeF& maxPoints)
{
    if (twips <= 0)
        return false;
    if (minPoints.isEmpty() || maxPoints.isEmpty())
        return true;
    const double points = twips / 20.0;
    return points >= std::min(minPoints.width(), minPoints.height()) - 0.5
           && points <= std::max(maxPoints.width(), maxPoints.height()) + 0.5;
}

}  // namespace

Status QtPrinter::PageHeight(int32_t twips)
{
    if (!pageSideFits(twips, customMinPoints_, customMaxPoints_))
        return invalidValue();
    userHeightTwips_ = twips;
    return {};
}

Status QtPrinter::PageWidth(int32_t twips)
{
    if (!pageSideFits(twips, customMinPoints_, customMaxPoints_))
        return invalidValue();
    userWidthTwips_ = twips;
    return {};
}

Status QtPrinter::Orientation(int16_t orientation)
{
    if (orientation != 1 && orientation != 2)
        return invalidValue();
    orientation_ = orientation == 1 ? QPageLayout::Portrait : QPageLayout::Landscape;
    return {};
}

Status QtPrinter::Copies(int16_t copies)
{
    if (copies < 1 || copies > kMaxCopies)
        return invalidValue();
    copies_ = copies;
    return {};
}

Status QtPrinter::Duplex(int16_t duplex)
{
    if (duplex < 1 || duplex > 3)
        return invalidValue();
    duplex_ = duplex;
    return {};
}

Status QtPrinter::PrintQuality(int16_t dpi)
{
    if (dpi <= 0)
        return invalidValue();
    dpi_ = dpi;
    dpiSet_ = true;
    return {};
}

// A user-defined page is given as it stands, portrait, in points; one that
// happens to be a standard size exactly becomes that size, which a driver is
// more likely to know by name.
QPageSize QtPrinter::documentPageSize() const
{
    if (!userDefined_)
        return pageSize_;
    return QPageSize(QSizeF(userWidthTwips_ / 20.0, userHeightTwips_ / 20.0), QPageSize::Point, QString(),
                     QPageSize::ExactMatch);
}

// -- The document -------------------------------------------------------------

// The drawing area is the printable area: the margins are the least the
// driver allows for the paper and orientation, as on any printer whose
// origin is where its print head can first reach.
Status QtPrinter::startDocument()
{
    if (started_)
        return {};
    ensure_qt_application();
    QPrinter& printer = *printer_;
    if (!printer.setPageSize(documentPageSize()))
        return Failure(ErrorNumber::PrinterError, "The printer cannot take this paper size");
    // A paper the queue carries only turned is drawn on the turned sheet, so
    // that the page keeps the shape of its code.
    const bool turned = paperTurned_ && !userDefined_;
    const QPageLayout::Orientation sheet = !turned ? orientation_
                                           : orientation_ == QPageLayout::Portrait ? QPageLayout::Landscape
                                                                                   : QPageLayout::Portrait;
    printer.setPageOrientation(sheet);
    const QPageLayout allowed = printer.pageLayout();
    const QPageLayout layout(documentPageSize(), sheet, allowed.minimumMargins(), allowed.units(),
                             allowed.minimumMargins());
    const QRectF page = layout.fullRect(QPageLayout::Point);
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    fd_ = createQueueFile(pdfPath_);
    if (fd_ < 0)
        return Failure(ErrorNumber::PrinterError, "Cannot create the document for the printer");
    pdf::DocumentInfo info;
    info.title = kDocumentName;
    info.creator = kDocumentName;
    info.created = std::time(nullptr);
    document_ = std::make_unique<pdf::PdfDocument>(fd_, std::move(info), PdfPrinter::compressionThreads());
    pageWidth_ = page.width();
    pageHeight_ = page.height();
    surface_.set_document(document_.get());
    surface_.set_resolution(dpi_, dpi_);
    surface_.set_origin(margins.left(), margins.top());
    document_->begin_page(pageWidth_, pageHeight_);
    started_ = true;
    return {};
}

void QtPrinter::closeDocument()
{
    surface_.set_document(nullptr);
    document_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!pdfPath_.empty())
        ::unlink(pdfPath_.c_str());
    pdfPath_.clear();
    started_ = false;
}

Status QtPrinter::EndDoc()
{
    if (!started_)
        return {};
    return endQueueDocument();
}

Status QtPrinter::AbortDoc()
{
    if (started_)
        closeDocument();
    return {};
}

// The document goes to the queue as one job, the page setup with it; the
// driver makes the copies. Sending is bounded in time whatever the server
// does, and the file is removed either way.
Status QtPrinter::endQueueDocument()
{
    bool written = document_->finish(1);
    written = ::close(fd_) == 0 && written;
    fd_ = -1;
    if (!written) {
        closeDocument();
        return Failure(ErrorNumber::PrinterError, "The document could not be sent to the printer");
    }
    const QSizeF points = documentPageSize().size(QPageSize::Point);
    const CupsJobOptions options = cups_job_options(
        PaperSize(), points.width(), points.height(), orientation_ == QPageLayout::Landscape ? 2 : 1,
        static_cast<int16_t>(copies_), duplex_, static_cast<int16_t>(dpiSet_ ? dpi_ : 0), kDocumentName);
    const auto sent = send_pdf_to_queue(deviceName_, pdfPath_, options);
    closeDocument();
    if (!sent)
        return sent.failure();
    lastOutput_ = *sent;
    return {};
}

}  // namespace kt482
