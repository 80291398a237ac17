#include "print/pdf_file_destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/paper_table.h"
#include "base/units.h"
#include "platform/file_publishing.h"
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

Failure invalid_value()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

// Why a PDF file could not be created in its folder, as a file operation
// would report it.
Failure pdf_file_failure(int error)
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

std::string time_stamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Where the search for a free number in a folder starts: after the number
// this process took last for the same folder and second. Names taken by
// others are still looked at and passed over; without the hint a batch
// would look at every name of the second again for each document.
class NumberHint {
public:
    int first(const std::string& folder, const std::string& stamp)
    {
        std::lock_guard lock(mutex_);
        const auto found = next_.find(folder);
        return found != next_.end() && found->second.first == stamp ? found->second.second : 1;
    }
    void taken(const std::string& folder, const std::string& stamp, int number)
    {
        std::lock_guard lock(mutex_);
        // One entry a folder: the seconds before are over.
        next_[folder] = {stamp, number + 1};
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::pair<std::string, int>> next_;
};

NumberHint& number_hint()
{
    static auto* hint = new NumberHint();  // never destroyed: printers may outlive statics
    return *hint;
}

}  // namespace

PdfFileDestination::PdfFileDestination(std::string file) : file_(std::move(file)), paper_code_(kPaperCodeA4)
{
    const PaperTwips twips = portrait_twips(*paper_entry(kPaperCodeA4));
    user_height_twips_ = twips.height;
    user_width_twips_ = twips.width;
}

std::string PdfFileDestination::device_name() const
{
    return kPdfPrinterName;
}

// -- Paper --------------------------------------------------------------------

Status PdfFileDestination::paper_size(int16_t code)
{
    if (code == kPaperUserDefined) {
        user_defined_ = true;
        return {};
    }
    const auto entry = paper_entry(code);
    if (!entry)
        return invalid_value();
    paper_code_ = code;
    user_defined_ = false;
    return {};
}

int16_t PdfFileDestination::paper_size() const
{
    return user_defined_ ? kPaperUserDefined : paper_code_for_size(paper_size_mm(*paper_entry(paper_code_)));
}

Status PdfFileDestination::page_height(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalid_value();
    user_height_twips_ = twips;
    return {};
}

Status PdfFileDestination::page_width(int32_t twips)
{
    if (twips < kPdfMinPageTwips || twips > kPdfMaxPageTwips)
        return invalid_value();
    user_width_twips_ = twips;
    return {};
}

void PdfFileDestination::page_points(bool landscape, double& width, double& height) const
{
    if (user_defined_) {
        width = points_from_twips(user_width_twips_);
        height = points_from_twips(user_height_twips_);
    } else {
        const PaperPoints points = paper_points(*paper_entry(paper_code_));
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
    if (Status created = create_file(); !created)
        return created.failure();
    OpenedDocument opened;
    opened.fd = fd_;
    opened.title = fs::path(final_path_).filename().string();
    page_points(setup.landscape, opened.width, opened.height);
    opened.nominal_dpi = setup.dpi_set ? setup.dpi : kPdfPrinterDpi;
    opened.device_dpi = setup.dpi;
    opened.copies_in_file = setup.copies;
    return opened;
}

// A document is written under a temporary name beside its final one and
// takes that name only once complete. A folder's file is created anew, never
// over an existing one: the name carries the time and a number, and a number
// whose name or temporary is taken moves on to the next. A named file's
// temporary has a short name of its own, so that any name the folder takes
// can be written.
Status PdfFileDestination::create_file()
{
    if (!file_.empty()) {
        const fs::path target = fs::absolute(fs::path(file_));
        std::string temporary;
        const int fd = create_temporary_in(target.parent_path().string(), temporary);
        if (fd < 0)
            return pdf_file_failure(errno);
        fd_ = fd;
        writing_path_ = std::move(temporary);
        final_path_ = target.string();
        return {};
    }
    auto folder = pdf_output_folder();
    if (!folder)
        return folder.failure();
    const std::string stamp = time_stamp();
    for (int number = number_hint().first(*folder, stamp);; ++number) {
        if (number > kMaxPdfNumber)
            return Failure(ErrorNumber::PrinterError, "No free name for the PDF file");
        const std::string name = "KT482-" + stamp + "-" + std::to_string(number);
        const std::string path = (fs::path(*folder) / (name + ".pdf")).string();
        struct stat existing{};
        if (::lstat(path.c_str(), &existing) == 0)
            continue;
        if (errno != ENOENT)
            return pdf_file_failure(errno);
        const std::string temporary = (fs::path(*folder) / ("." + name + ".part")).string();
        const int fd = create_new_file(temporary);
        if (fd >= 0) {
            number_hint().taken(*folder, stamp, number);
            fd_ = fd;
            writing_path_ = temporary;
            final_path_ = path;
            return {};
        }
        if (errno != EEXIST)
            return pdf_file_failure(errno);
    }
}

// The folder's name chosen at the start was taken meanwhile by a writer that
// does not reserve it as this printer does: the next free number.
bool PdfFileDestination::publish_in_folder()
{
    if (publish_new(writing_path_, final_path_))
        return true;
    const fs::path chosen(final_path_);
    const std::string stem = chosen.stem().string();
    const std::size_t dash = stem.rfind('-');
    for (int number = std::atoi(stem.c_str() + dash + 1) + 1; errno == EEXIST && number <= kMaxPdfNumber; ++number) {
        const std::string path =
            (chosen.parent_path() / (stem.substr(0, dash + 1) + std::to_string(number) + ".pdf")).string();
        if (publish_new(writing_path_, path)) {
            final_path_ = path;
            return true;
        }
    }
    return false;
}

namespace {

// $KT482_PDF_SYNC=0 leaves the flushes out (see Durability); any other value,
// or none, keeps them.
Durability pdf_durability()
{
    const char* set = std::getenv("KT482_PDF_SYNC");
    return set && std::string_view(set) == "0" ? Durability::Unsynced : Durability::Synced;
}

}  // namespace

Result<std::string> PdfFileDestination::finish(DocumentFile file)
{
    fd_ = -1;
    const Durability durability = pdf_durability();
    bool written = file == DocumentFile::Complete && sync_before_publishing(writing_path_, durability);
    if (written)
        written = file_.empty() ? publish_in_folder() : publish_replacing(writing_path_, final_path_);
    std::string path = std::move(final_path_);
    if (written)
        writing_path_.clear();
    drop();
    if (!written)
        return Failure(ErrorNumber::PrinterError, "The PDF file could not be written");
    // The file has its name, yet the name may not outlast a power cut: the
    // host is told, as a document it cannot count on.
    if (!sync_after_publishing(path, durability))
        return Failure(ErrorNumber::PrinterError, "The PDF file's folder could not be written to the disk");
    return path;
}

void PdfFileDestination::drop()
{
    fd_ = -1;
    if (!writing_path_.empty())
        ::unlink(writing_path_.c_str());
    writing_path_.clear();
    final_path_.clear();
}

}  // namespace kt482
