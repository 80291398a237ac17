#include "platform/qt/qt_printer.h"

#include "platform/qt/qt_duplex_codes.h"

#include <cups/cups.h>

#include <QMarginsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/qt/cups_probe.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

// The job title at the print server.
constexpr const char* kDocumentName = "KT482_Print";

constexpr int kMaxCopies = 99;

// Sizes within this many millimetres are the same paper.
constexpr double kPaperToleranceMm = 1.0;

Failure invalidValue()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

QSizeF portrait(const QSizeF& size)
{
    return QSizeF(std::min(size.width(), size.height()), std::max(size.width(), size.height()));
}

// The newest job of this user on the queue: the one just submitted, as Qt
// does not pass on the id the server gave it. A quick job may already be
// done, so the finished ones are asked for only when no active one is found.
int newestJobId(const std::string& queue)
{
    for (const int which : {CUPS_WHICHJOBS_ACTIVE, CUPS_WHICHJOBS_ALL}) {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 1, which);
        int newest = 0;
        for (int i = 0; i < count; ++i)
            newest = std::max(newest, jobs[i].id);
        if (count > 0)
            cupsFreeJobs(count, jobs);
        if (newest > 0)
            return newest;
    }
    return 0;
}

// Where libcups is sent to fail at once: a unix socket that cannot exist.
constexpr const char* kNoPrintServer = "/nonexistent/kt482-no-print-server";

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
    if (!surface_.newPage())
        return Failure(ErrorNumber::PrinterError, "The printer cannot start a new page");
    return {};
}

// -- Page setup ---------------------------------------------------------------

Status QtPrinter::PaperSize(int16_t code)
{
    if (code == kUserDefinedPaperCode) {
        if (!queueCustomSizes_)
            return invalidValue();
        userDefined_ = true;
        return {};
    }
    const std::optional<QPageSize> wanted = pageSizeForPaperCode(code);
    if (!wanted)
        return invalidValue();
    // The queue's own page size, not Qt's, so that the server is asked for
    // the paper under the name its driver knows.
    const QSizeF size = portrait(wanted->size(QPageSize::Millimeter));
    const QPageSize* best = nullptr;
    double bestDistance = kPaperToleranceMm;
    for (const QPageSize& offered : queueSizes_) {
        const QSizeF other = portrait(offered.size(QPageSize::Millimeter));
        const double distance = std::max(std::abs(other.width() - size.width()),
                                         std::abs(other.height() - size.height()));
        if (distance <= bestDistance) {
            best = &offered;
            bestDistance = distance;
        }
    }
    if (!best)
        return invalidValue();
    pageSize_ = *best;
    userDefined_ = false;
    return {};
}

int16_t QtPrinter::PaperSize() const
{
    return userDefined_ ? kUserDefinedPaperCode : paperCodeForPageSize(pageSize_);
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

Status QtPrinter::startDocument()
{
    if (started_)
        return {};
    ensure_qt_application();
    if (Status opened = startQueueDocument(); !opened)
        return opened;
    started_ = true;
    return {};
}

// The drawing area is the printable area: the margins are the least the
// driver allows for the paper and orientation, as on any printer whose
// origin is where its print head can first reach.
Status QtPrinter::startQueueDocument()
{
    QPrinter& printer = *printer_;
    if (!printer.setPageSize(documentPageSize()))
        return Failure(ErrorNumber::PrinterError, "The printer cannot take this paper size");
    printer.setPageOrientation(orientation_);
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
    printer.setResolution(dpi_);
    printer.setCopyCount(copies_);
    printer.setCollateCopies(true);
    printer.setDuplex(duplexModeForCode(duplex_));
    printer.setDocName(QString::fromLatin1(kDocumentName));
    surface_.setNominalDpi(dpi_);
    if (!surface_.begin(&printer))
        return Failure(ErrorNumber::PrinterError, "The printer cannot start a document");
    return {};
}

Status QtPrinter::EndDoc()
{
    if (!started_)
        return {};
    started_ = false;
    return endQueueDocument();
}

// Qt submits the job when its painter ends; pointed at a server that cannot
// exist, it drops it instead.
Status QtPrinter::AbortDoc()
{
    if (!started_)
        return {};
    started_ = false;
    printer_->abort();
    cupsSetServer(kNoPrintServer);
    surface_.painter()->end();
    surface_.end();
    cupsSetServer(nullptr);
    return {};
}

// Ending the painter makes Qt submit the job, and libcups would wait minutes
// for a server that has gone silent since the printer was opened. Such a
// server is found out first, and libcups is pointed at a server that cannot
// exist while Qt ends the document, so that the job is dropped at once.
Status QtPrinter::endQueueDocument()
{
    if (cups_server_state(kCupsProbeTimeout) != CupsServerState::Answers) {
        cupsSetServer(kNoPrintServer);
        surface_.painter()->end();
        surface_.end();
        cupsSetServer(nullptr);
        return Failure(ErrorNumber::PrinterError, "The print server does not answer");
    }
    const bool sent = surface_.painter()->end();
    surface_.end();
    if (!sent)
        return Failure(ErrorNumber::PrinterError, "The document could not be sent to the printer");
    // Qt submits with libcups on this thread and keeps its status.
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        return Failure(ErrorNumber::PrinterError,
                       std::string("The print server refused the job: ") + cupsLastErrorString());
    const int job = newestJobId(deviceName_);
    lastOutput_ = job > 0 ? "job " + std::to_string(job) + " on " + deviceName_ : "queue " + deviceName_;
    return {};
}

}  // namespace kt482
