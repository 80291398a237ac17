#include "platform/qt/pdf_printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "pdf/pdf_document.h"
#include "platform/qt/qt_paper_codes.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxCopies = 99;
constexpr int kMaxThreads = 8;

// A PDF page is 3 to 14,400 points on a side.
constexpr int32_t kPdfMinPageTwips = 3 * 20;
constexpr int32_t kPdfMaxPageTwips = 14400 * 20;

// A numbered file name is tried this many times before the folder counts as
// full: more documents in the same second are not to be expected.
constexpr int kMaxPdfNumber = 9999;

// The creator of the PDF files.
constexpr const char* kDocumentName = "KT482_Print";

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

int createExclusive(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string timeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Points of a page size as defined, not rounded to whole points.
double toPoints(double value, QPageSize::Unit unit)
{
    switch (unit) {
    case QPageSize::Millimeter:
        return value * 72.0 / 25.4;
    case QPageSize::Inch:
        return value * 72.0;
    case QPageSize::Cicero:
        return value * 12.0 * 72.0 / 67.553;
    case QPageSize::Didot:
        return value * 72.0 / 67.553;
    case QPageSize::Pica:
        return value * 12.0;
    case QPageSize::Point:
        break;
    }
    return value;
}

}  // namespace

Result<std::string> pdf_output_folder()
{
    const char* configured = std::getenv("KT482_PDF_DIR");
    const fs::path folder = (configured && *configured) ? fs::path(configured) : fs::path(".");
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        return Failure(ErrorNumber::PrinterError, "Cannot determine the PDF output folder");
    absolute = absolute.lexically_normal();
    // "/tmp/out/" and "/tmp/out/." both name /tmp/out; report it one way.
    if (!absolute.has_filename() && absolute.has_relative_path())
        absolute = absolute.parent_path();
    return absolute.string();
}

PdfPrinter::PdfPrinter(std::string file) : file_(std::move(file))
{
    const QSize twips = portraitTwips(pageSize_);
    userHeightTwips_ = twips.height();
    userWidthTwips_ = twips.width();
}

std::shared_ptr<PdfPrinter> PdfPrinter::forFolder()
{
    return std::shared_ptr<PdfPrinter>(new PdfPrinter(std::string()));
}

std::shared_ptr<PdfPrinter> PdfPrinter::forFile(std::string path)
{
    return std::shared_ptr<PdfPrinter>(new PdfPrinter(std::move(path)));
}

PdfPrinter::~PdfPrinter()
{
    if (document_)
        (void)EndDoc();
}

int PdfPrinter::compressionThreads()
{
    if (const char* set = std::getenv("KT482_PDF_THREADS"); set && *set)
        return std::clamp(std::atoi(set), 0, kMaxThreads);
    return std::thread::hardware_concurrency() > 1 ? 1 : 0;
}

// -- Drawing ----------------------------------------------------------------

Status PdfPrinter::Print(std::string_view text, LineEnd end)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.Print(text, end);
}

Status PdfPrinter::BeginSpreadText(std::string_view text)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.BeginSpreadText(text);
}

Status PdfPrinter::Line(float x1, float y1, float x2, float y2)
{
    if (Status started = startDocument(); !started)
        return started;
    return surface_.Line(x1, y1, x2, y2);
}

Status PdfPrinter::NewPage()
{
    if (Status started = startDocument(); !started)
        return started;
    document_->begin_page(documentWidth_, documentHeight_);
    return {};
}

// -- Page setup ---------------------------------------------------------------

Status PdfPrinter::PaperSize(int16_t code)
{
    if (code == kPaperUserDefined) {
        userDefined_ = true;
        return {};
    }
    const std::optional<QPageSize> wanted = pageSizeForPaperCode(code);
    if (!wanted)
        return invalidValue();
    pageSize_ = *wanted;
    userDefined_ = false;
    return {};
}

int16_t PdfPrinter::PaperSize() const
{
    return userDefined_ ? kPaperUserDefined : paperCodeForPageSize(pageSize_);
}

Status PdfPrinter::PageHeight(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalidValue();
    userHeightTwips_ = twips;
    return {};
}

Status PdfPrinter::PageWidth(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalidValue();
    userWidthTwips_ = twips;
    return {};
}

Status PdfPrinter::Orientation(int16_t orientation)
{
    if (orientation != 1 && orientation != 2)
        return invalidValue();
    landscape_ = orientation == 2;
    return {};
}

Status PdfPrinter::Copies(int16_t copies)
{
    if (copies < 1 || copies > kMaxCopies)
        return invalidValue();
    copies_ = copies;
    return {};
}

Status PdfPrinter::Duplex(int16_t duplex)
{
    if (duplex < 1 || duplex > 3)
        return invalidValue();
    duplex_ = duplex;
    return {};
}

Status PdfPrinter::PrintQuality(int16_t dpi)
{
    if (dpi <= 0)
        return invalidValue();
    dpi_ = dpi;
    dpiSet_ = true;
    return {};
}

void PdfPrinter::pagePoints(double& width, double& height) const
{
    if (userDefined_) {
        width = userWidthTwips_ / 20.0;
        height = userHeightTwips_ / 20.0;
    } else {
        const QSizeF size = pageSize_.definitionSize();
        width = toPoints(size.width(), pageSize_.definitionUnits());
        height = toPoints(size.height(), pageSize_.definitionUnits());
    }
    // Paper is defined upright and a user's page as given; landscape turns
    // either.
    if (landscape_)
        std::swap(width, height);
}

// -- The document -------------------------------------------------------------

Status PdfPrinter::startDocument()
{
    if (document_)
        return {};
    if (Status created = createFile(); !created)
        return created;
    pdf::DocumentInfo info;
    info.title = fs::path(finalPath_).filename().string();
    info.creator = kDocumentName;
    info.created = std::time(nullptr);
    document_ = std::make_unique<pdf::PdfDocument>(fd_, std::move(info), compressionThreads());
    copiesOfDocument_ = copies_;
    surface_.set_document(document_.get());
    surface_.set_resolution(dpiSet_ ? dpi_ : kPdfPrinterDpi, dpi_);
    pagePoints(documentWidth_, documentHeight_);
    document_->begin_page(documentWidth_, documentHeight_);
    return {};
}

// A folder's file is created anew, never over an existing one: the name
// carries the time and a number, and a name already taken moves on to the
// next number. A named file is written under a temporary name beside it.
Status PdfPrinter::createFile()
{
    if (!file_.empty()) {
        const fs::path target = fs::absolute(fs::path(file_));
        std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            return pdfFileFailure(errno);
        // mkostemp creates the file for its owner alone; a finished PDF is
        // as readable as any file the host creates.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(fd, 0666 & ~mask);
        fd_ = fd;
        writingPath_ = pattern;
        finalPath_ = target.string();
        return {};
    }
    auto folder = pdf_output_folder();
    if (!folder)
        return folder.failure();
    const std::string stamp = timeStamp();
    for (int number = 1;; ++number) {
        if (number > kMaxPdfNumber)
            return Failure(ErrorNumber::PrinterError, "No free name for the PDF file");
        const std::string path =
            (fs::path(*folder) / ("KT482-" + stamp + "-" + std::to_string(number) + ".pdf")).string();
        const int fd = createExclusive(path);
        if (fd >= 0) {
            fd_ = fd;
            writingPath_ = path;
            finalPath_ = path;
            return {};
        }
        if (errno != EEXIST)
            return pdfFileFailure(errno);
    }
}

void PdfPrinter::closeFile(bool keep)
{
    surface_.set_document(nullptr);
    document_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!keep && !writingPath_.empty())
        ::unlink(writingPath_.c_str());
    writingPath_.clear();
    finalPath_.clear();
}

Status PdfPrinter::EndDoc()
{
    if (!document_)
        return {};
    bool written = document_->finish(copiesOfDocument_);
    // A file system that reports its errors only when the file closes.
    written = written && ::close(fd_) == 0;
    fd_ = -1;
    if (written && writingPath_ != finalPath_)
        written = ::rename(writingPath_.c_str(), finalPath_.c_str()) == 0;
    const std::string path = finalPath_;
    if (written)
        writingPath_.clear();
    closeFile(written);
    if (!written)
        return Failure(ErrorNumber::PrinterError, "The PDF file could not be written");
    lastOutput_ = path;
    return {};
}

Status PdfPrinter::AbortDoc()
{
    if (document_)
        closeFile(false);
    return {};
}

}  // namespace kt482
