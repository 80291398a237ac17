#include "platform/qt/qt_printer.h"

#include "platform/qt/qt_duplex_codes.h"

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QMarginsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/qt/cups_job.h"
#include "platform/qt/pdf_printer.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

// The job title at the print server, and the creator of the PDF files.
constexpr const char* kDocumentName = "KT482_Print";

constexpr int kMaxCopies = 99;

// A PDF page is 3 to 14,400 points on a side.
constexpr int32_t kPdfMinPageTwips = 3 * 20;
constexpr int32_t kPdfMaxPageTwips = 14400 * 20;

// A numbered file name is tried this many times before the folder counts as
// full: more documents in the same second are not to be expected.
constexpr int kMaxPdfNumber = 9999;

Failure invalidValue()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

// Why a PDF file could not be created in its folder, as a file operation
// would report it.
Failure pdfFileFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Failure(ErrorNumber::PathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
        return Failure(ErrorNumber::PermissionDenied);
    case ENOSPC:
    case EDQUOT:
        return Failure(ErrorNumber::DiskFull);
    default:
        return Failure(ErrorNumber::PrinterError, "Cannot create the PDF file");
    }
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

QtPrinter::QtPrinter(Kind kind) : kind_(kind) {}

std::shared_ptr<QtPrinter> QtPrinter::forQueue(const QPrinterInfo& info)
{
    ensure_qt_application();
    std::shared_ptr<QtPrinter> printer(new QtPrinter(Kind::Queue));
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

std::shared_ptr<QtPrinter> QtPrinter::forPdf()
{
    std::shared_ptr<QtPrinter> printer(new QtPrinter(Kind::Pdf));
    printer->deviceName_ = kPdfPrinterName;
    printer->pageSize_ = QPageSize(QPageSize::A4);
    const QSize twips = portraitTwips(printer->pageSize_);
    printer->userHeightTwips_ = twips.height();
    printer->userWidthTwips_ = twips.width();
    return printer;
}

std::shared_ptr<QtPrinter> QtPrinter::forPdfFile(const std::string& path)
{
    std::shared_ptr<QtPrinter> printer = forPdf();
    printer->outputPath_ = std::filesystem::absolute(path).lexically_normal().string();
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
    if (recording())
        recordText(OpCode::FontName, face);
    return surface_.FontName(face);
}

Status QtPrinter::FontSize(float points)
{
    if (recording())
        record(OpCode::FontSize, 0, points);
    return surface_.FontSize(points);
}

Status QtPrinter::FontBold(bool bold)
{
    if (recording())
        record(OpCode::FontBold, bold ? 1 : 0);
    return surface_.FontBold(bold);
}

Status QtPrinter::FontUnderline(bool underline)
{
    if (recording())
        record(OpCode::FontUnderline, underline ? 1 : 0);
    return surface_.FontUnderline(underline);
}

Status QtPrinter::CurrentX(float x)
{
    if (recording())
        record(OpCode::CurrentX, 0, x);
    return surface_.CurrentX(x);
}

Status QtPrinter::CurrentY(float y)
{
    if (recording())
        record(OpCode::CurrentY, 0, y);
    return surface_.CurrentY(y);
}

Status QtPrinter::Print(std::string_view text, LineEnd end)
{
    if (Status started = startDocument(); !started)
        return started;
    if (recording())
        recordText(OpCode::Print, text, end == LineEnd::With ? 1 : 0);
    return surface_.Print(text, end);
}

Status QtPrinter::DrawMode(int16_t mode)
{
    if (recording())
        record(OpCode::DrawMode, mode);
    return surface_.DrawMode(mode);
}

Status QtPrinter::DrawWidth(int16_t pixels)
{
    if (recording())
        record(OpCode::DrawWidth, pixels);
    return surface_.DrawWidth(pixels);
}

Status QtPrinter::DrawStyle(int16_t style)
{
    if (recording())
        record(OpCode::DrawStyle, style);
    return surface_.DrawStyle(style);
}

Status QtPrinter::Line(float x1, float y1, float x2, float y2)
{
    if (Status started = startDocument(); !started)
        return started;
    if (recording())
        record(OpCode::Line, 0, x1, y1, x2, y2);
    return surface_.Line(x1, y1, x2, y2);
}

Status QtPrinter::NewPage()
{
    if (Status started = startDocument(); !started)
        return started;
    if (recording())
        record(OpCode::NewPage);
    if (!surface_.newPage())
        return Failure(ErrorNumber::PrinterError, "The printer cannot start a new page");
    return {};
}

// -- Page setup ---------------------------------------------------------------

Status QtPrinter::PaperSize(int16_t code)
{
    if (code == kPaperUserDefined) {
        if (kind_ == Kind::Queue && !queueCustomSizes_)
            return invalidValue();
        userDefined_ = true;
        return {};
    }
    const std::optional<QPageSize> wanted = pageSizeForPaperCode(code);
    if (!wanted)
        return invalidValue();
    if (kind_ == Kind::Pdf) {
        pageSize_ = *wanted;
        paperCode_ = paperCodeForPageSize(*wanted);
        paperTurned_ = false;
        userDefined_ = false;
        return {};
    }
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
// the queue's physical limits, or those of a PDF page.
bool pageSideFits(int32_t twips, bool pdf, const QSizeF& minPoints, const QSizeF& maxPoints)
{
    if (twips <= 0)
        return false;
    if (pdf)
        return twips >= kPdfMinPageTwips && twips <= kPdfMaxPageTwips;
    if (minPoints.isEmpty() || maxPoints.isEmpty())
        return true;
    const double points = twips / 20.0;
    return points >= std::min(minPoints.width(), minPoints.height()) - 0.5
           && points <= std::max(maxPoints.width(), maxPoints.height()) + 0.5;
}

}  // namespace

Status QtPrinter::PageHeight(int32_t twips)
{
    if (!pageSideFits(twips, kind_ == Kind::Pdf, customMinPoints_, customMaxPoints_))
        return invalidValue();
    userHeightTwips_ = twips;
    return {};
}

Status QtPrinter::PageWidth(int32_t twips)
{
    if (!pageSideFits(twips, kind_ == Kind::Pdf, customMinPoints_, customMaxPoints_))
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

int QtPrinter::pixelDpi() const
{
    if (kind_ == Kind::Queue || dpiSet_)
        return dpi_;
    return 0;
}

// -- The document -------------------------------------------------------------

Status QtPrinter::startDocument()
{
    if (started_)
        return {};
    ensure_qt_application();
    if (Status opened = kind_ == Kind::Queue ? startQueueDocument() : startPdfDocument(); !opened)
        return opened;
    started_ = true;
    copiesOfDocument_ = kind_ == Kind::Pdf ? copies_ : 1;
    ops_.clear();
    opText_.clear();
    if (copiesOfDocument_ > 1) {
        startState_.face = surface_.fontFamily();
        startState_.size = surface_.FontSize();
        startState_.bold = surface_.fontBold();
        startState_.underline = surface_.fontUnderline();
        startState_.x = surface_.CurrentX();
        startState_.y = surface_.currentY();
        startState_.drawMode = surface_.drawMode();
        startState_.drawWidth = surface_.drawWidth();
        startState_.drawStyle = surface_.drawStyle();
    }
    return {};
}

// The drawing area is the printable area: the margins are the least the
// driver allows for the paper and orientation, as on any printer whose
// origin is where its print head can first reach. The document is drawn into
// a private PDF file with those margins, which EndDoc sends to the queue.
Status QtPrinter::startQueueDocument()
{
    QPrinter& printer = *printer_;
    if (!printer.setPageSize(documentPageSize()))
        return Failure(ErrorNumber::PrinterError, "The printer cannot take this paper size");
    const bool turned = paperTurned_ && !userDefined_;
    printer.setPageOrientation(!turned ? orientation_
                               : orientation_ == QPageLayout::Portrait ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);
    const QPageLayout layout = printer.pageLayout();
    const int fd = createQueueFile(pdfPath_);
    if (fd < 0)
        return Failure(ErrorNumber::PrinterError, "Cannot create the document for the printer");
    return beginPdfFile(fd, QPageLayout(documentPageSize(), orientation_, layout.minimumMargins(), layout.units(),
                                        layout.minimumMargins()));
}

// The file is created anew, never over an existing one: the name carries the
// time and a number, and a name already taken moves on to the next number.
Status QtPrinter::startPdfDocument()
{
    namespace fs = std::filesystem;
    auto folder = pdf_output_folder();
    if (!folder)
        return folder.failure();
    const std::string stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    int fd = -1;
    std::string path;
    for (int number = 1; fd < 0; ++number) {
        if (number > kMaxPdfNumber)
            return Failure(ErrorNumber::PrinterError, "No free name for the PDF file");
        if (outputPath_.empty())
            path = (fs::path(*folder) / ("KT482-" + stamp + "-" + std::to_string(number) + ".pdf")).string();
        else
            path = outputPath_ + ".part" + std::to_string(number);
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno != EEXIST)
            return pdfFileFailure(errno);
    }
    pdfPath_ = path;
    return beginPdfFile(fd, QPageLayout(documentPageSize(), orientation_, QMarginsF(0, 0, 0, 0)));
}

// Starts drawing into the open file fd (taken over) with the layout; on a
// failure the file is removed.
Status QtPrinter::beginPdfFile(int fd, const QPageLayout& layout)
{
    namespace fs = std::filesystem;
    file_ = std::make_unique<QFile>(QString::fromStdString(pdfPath_));
    if (!file_->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        discardPdfDocument();
        return Failure(ErrorNumber::PrinterError, "Cannot create the PDF file");
    }
    writer_ = std::make_unique<QPdfWriter>(file_.get());
    writer_->setCreator(QString::fromLatin1(kDocumentName));
    writer_->setTitle(QString::fromStdString(fs::path(pdfPath_).filename().string()));
    writer_->setResolution(dpi_);
    if (!writer_->setPageLayout(layout)) {
        discardPdfDocument();
        return Failure(ErrorNumber::PrinterError, "The PDF printer cannot take this paper size");
    }
    surface_.setNominalDpi(pixelDpi());
    if (!surface_.begin(writer_.get())) {
        discardPdfDocument();
        return Failure(ErrorNumber::PrinterError, "The PDF printer cannot start a document");
    }
    return {};
}

void QtPrinter::discardPdfDocument()
{
    surface_.end();
    writer_.reset();
    if (file_) {
        file_->close();
        file_.reset();
    }
    if (!pdfPath_.empty())
        ::unlink(pdfPath_.c_str());
    pdfPath_.clear();
}

Status QtPrinter::EndDoc()
{
    if (!started_)
        return {};
    if (recording())
        repeatForCopies();
    started_ = false;
    const Status ended = kind_ == Kind::Pdf ? endPdfDocument() : endQueueDocument();
    // Give the memory of a long document with copies back.
    std::vector<Op>().swap(ops_);
    std::string().swap(opText_);
    copiesOfDocument_ = 1;
    return ended;
}

// The document is dropped: a queue's is drawn into a private file like the
// PDF printer's, so removing that file sends nothing.
Status QtPrinter::AbortDoc()
{
    if (!started_)
        return {};
    started_ = false;
    std::vector<Op>().swap(ops_);
    std::string().swap(opText_);
    copiesOfDocument_ = 1;
    discardPdfDocument();
    return {};
}

// Ends the painter and closes the file; false when anything was not written.
bool QtPrinter::finishPdfFile()
{
    const bool painted = surface_.painter()->end();
    surface_.end();
    writer_.reset();
    bool written = painted && file_->error() == QFileDevice::NoError;
    file_->close();
    written = written && file_->error() == QFileDevice::NoError;
    file_.reset();
    return written;
}

Status QtPrinter::endPdfDocument()
{
    if (!finishPdfFile()) {
        discardPdfDocument();
        return Failure(ErrorNumber::PrinterError, "The PDF file could not be written");
    }
    if (!outputPath_.empty()) {
        // rename() replaces a symlink at the given path, never its target.
        if (::rename(pdfPath_.c_str(), outputPath_.c_str()) != 0) {
            const int error = errno;
            discardPdfDocument();
            return pdfFileFailure(error);
        }
        pdfPath_ = outputPath_;
    }
    lastOutput_ = pdfPath_;
    pdfPath_.clear();
    return {};
}

// The document goes to the queue as one job, the page setup with it; the
// driver makes the copies. Sending is bounded in time whatever the server
// does, and the file is removed either way.
Status QtPrinter::endQueueDocument()
{
    if (!finishPdfFile()) {
        discardPdfDocument();
        return Failure(ErrorNumber::PrinterError, "The document could not be sent to the printer");
    }
    const QSizeF points = documentPageSize().size(QPageSize::Point);
    const CupsJobOptions options = cups_job_options(
        PaperSize(), points.width(), points.height(), orientation_ == QPageLayout::Landscape ? 2 : 1,
        static_cast<int16_t>(copies_), duplex_, static_cast<int16_t>(dpiSet_ ? dpi_ : 0), kDocumentName);
    const auto sent = send_pdf_to_queue(deviceName_, pdfPath_, options);
    ::unlink(pdfPath_.c_str());
    pdfPath_.clear();
    if (!sent)
        return sent.failure();
    lastOutput_ = *sent;
    return {};
}

// -- Copies of the PDF printer ------------------------------------------------

void QtPrinter::record(OpCode code, int16_t number, float a, float b, float c, float d)
{
    Op op;
    op.code = code;
    op.number = number;
    op.values[0] = a;
    op.values[1] = b;
    op.values[2] = c;
    op.values[3] = d;
    ops_.push_back(op);
}

void QtPrinter::recordText(OpCode code, std::string_view text, int16_t number)
{
    Op op;
    op.code = code;
    op.number = number;
    op.textOffset = static_cast<uint32_t>(opText_.size());
    op.textLength = static_cast<uint32_t>(text.size());
    opText_.append(text);
    ops_.push_back(op);
}

// Each further copy starts on a fresh sheet from the state the document
// started with and draws the same operations again, so copies come out
// collated: 1, 2, 3, 1, 2, 3.
void QtPrinter::repeatForCopies()
{
    const QByteArray face = startState_.face.toUtf8();
    for (int copy = 2; copy <= copiesOfDocument_; ++copy) {
        (void)surface_.newPage();
        (void)surface_.FontName(std::string_view(face.constData(), static_cast<std::size_t>(face.size())));
        (void)surface_.FontSize(startState_.size);
        (void)surface_.FontBold(startState_.bold);
        (void)surface_.FontUnderline(startState_.underline);
        (void)surface_.CurrentX(startState_.x);
        (void)surface_.CurrentY(startState_.y);
        (void)surface_.DrawMode(startState_.drawMode);
        (void)surface_.DrawWidth(startState_.drawWidth);
        (void)surface_.DrawStyle(static_cast<int16_t>(startState_.drawStyle));
        for (const Op& op : ops_)
            replay(op);
    }
}

// The outcome was reported when the operation was first drawn.
void QtPrinter::replay(const Op& op)
{
    const std::string_view text(opText_.data() + op.textOffset, op.textLength);
    const float* v = op.values;
    switch (op.code) {
    case OpCode::FontName:
        (void)surface_.FontName(text);
        break;
    case OpCode::FontSize:
        (void)surface_.FontSize(v[0]);
        break;
    case OpCode::FontBold:
        (void)surface_.FontBold(op.number != 0);
        break;
    case OpCode::FontUnderline:
        (void)surface_.FontUnderline(op.number != 0);
        break;
    case OpCode::CurrentX:
        (void)surface_.CurrentX(v[0]);
        break;
    case OpCode::CurrentY:
        (void)surface_.CurrentY(v[0]);
        break;
    case OpCode::Print:
        (void)surface_.Print(text, op.number != 0 ? LineEnd::With : LineEnd::Without);
        break;
    case OpCode::DrawMode:
        (void)surface_.DrawMode(op.number);
        break;
    case OpCode::DrawWidth:
        (void)surface_.DrawWidth(op.number);
        break;
    case OpCode::DrawStyle:
        (void)surface_.DrawStyle(op.number);
        break;
    case OpCode::Line:
        (void)surface_.Line(v[0], v[1], v[2], v[3]);
        break;
    case OpCode::NewPage:
        (void)surface_.newPage();
        break;
    }
}

}  // namespace kt482
