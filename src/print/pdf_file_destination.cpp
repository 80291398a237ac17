#include "print/pdf_file_destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <utility>

#include "base/paper_table.h"
#include "base/units.h"
#include "platform/pdf_output_folder.h"
#include "platform/printer.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;

constexpr int16_t kPaperCodeA4 = 9;

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

}  // namespace

PdfFileDestination::PdfFileDestination(std::string file) : file_(std::move(file)), paperCode_(kPaperCodeA4)
{
    const PaperTwips twips = portrait_twips(*paper_entry(kPaperCodeA4));
    userHeightTwips_ = twips.height;
    userWidthTwips_ = twips.width;
}

std::string PdfFileDestination::device_name() const
{
    return kPdfPrinterName;
}

// -- Paper --------------------------------------------------------------------

Status PdfFileDestination::paper_size(int16_t code)
{
    if (code == kPaperUserDefined) {
        userDefined_ = true;
        return {};
    }
    const auto entry = paper_entry(code);
    if (!entry)
        return invalidValue();
    paperCode_ = code;
    userDefined_ = false;
    return {};
}

int16_t PdfFileDestination::paper_size() const
{
    return userDefined_ ? kPaperUserDefined : paper_code_for_size(paper_size_mm(*paper_entry(paperCode_)));
}

Status PdfFileDestination::page_height(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalidValue();
    userHeightTwips_ = twips;
    return {};
}

Status PdfFileDestination::page_width(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalidValue();
    userWidthTwips_ = twips;
    return {};
}

void PdfFileDestination::pagePoints(bool landscape, double& width, double& height) const
{
    if (userDefined_) {
        width = points_from_twips(userWidthTwips_);
        height = points_from_twips(userHeightTwips_);
    } else {
        const PaperPoints points = paper_points(*paper_entry(paperCode_));
        width = points.width;
        height = points.height;
    }
    // Paper is defined upright and a user's page as given; landscape turns
    // either.
    if (landscape)
        std::swap(width, height);
}

// -- The document's file ------------------------------------------------------

Result<OpenedDocument> PdfFileDestination::open(const DocumentSetup& setup)
{
    if (Status created = createFile(); !created)
        return created.failure();
    OpenedDocument opened;
    opened.fd = fd_;
    opened.title = fs::path(finalPath_).filename().string();
    pagePoints(setup.landscape, opened.width, opened.height);
    opened.nominal_dpi = setup.dpi_set ? setup.dpi : kPdfPrinterDpi;
    opened.device_dpi = setup.dpi;
    opened.copies_in_file = setup.copies;
    return opened;
}

// A folder's file is created anew, never over an existing one: the name
// carries the time and a number, and a name already taken moves on to the
// next number. A named file is written under a temporary name beside it.
Status PdfFileDestination::createFile()
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

Result<std::string> PdfFileDestination::finish(bool written)
{
    fd_ = -1;
    if (written && writingPath_ != finalPath_)
        written = ::rename(writingPath_.c_str(), finalPath_.c_str()) == 0;
    std::string path = std::move(finalPath_);
    if (written)
        writingPath_.clear();
    drop();
    if (!written)
        return Failure(ErrorNumber::PrinterError, "The PDF file could not be written");
    return path;
}

void PdfFileDestination::drop()
{
    fd_ = -1;
    if (!writingPath_.empty())
        ::unlink(writingPath_.c_str());
    writingPath_.clear();
    finalPath_.clear();
}

}  // namespace kt482
