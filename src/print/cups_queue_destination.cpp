#include "print/cups_queue_destination.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "base/paper_table.h"
#include "base/units.h"
#include "platform/cups_queue_status.h"

namespace kt482 {
namespace {

// The job title at the print server.
constexpr const char* kDocumentName = "KT482_Print";

Failure invalid_value()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

// A private file for a queue's document until it is sent: in $TMPDIR (else
// /tmp), readable by its owner only, under a name nobody else can take.
int create_queue_file(std::string& path)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kt482-job-XXXXXX.pdf";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd >= 0)
        path = pattern;
    return fd;
}

// The name when the queue lists it for the attribute; else the failure that
// lists what it offers.
Status offered_by_queue(const std::string& queue, const std::string& attribute, const std::string& what,
                        const std::string& name)
{
    if (name.empty())
        return {};
    auto offered = cups_supported_values(queue, attribute);
    if (!offered)
        return offered.failure();
    if (std::find(offered->begin(), offered->end(), name) != offered->end())
        return {};
    std::string list;
    for (const std::string& value : *offered)
        list += (list.empty() ? "" : ", ") + value;
    return Failure(ErrorNumber::InvalidPropertyValue, "The printer " + queue + " has no " + what + " \"" + name +
                                                          "\"; it offers " + (list.empty() ? "none" : list));
}

}  // namespace

CupsQueueDestination::CupsQueueDestination(std::unique_ptr<PrintQueue> queue) : queue_(std::move(queue))
{
    const QueuePaper& paper = queue_->default_paper();
    user_height_twips_ = paper.portrait_height_twips;
    user_width_twips_ = paper.portrait_width_twips;
}

// -- Paper --------------------------------------------------------------------

// The queue's own paper, not the table's, so that the server is asked for
// the paper under the name its driver knows. A paper the queue lists only
// turned (Ledger, 17 x 11 in, as 11 x 17 in) is printed turned, so that the
// page keeps the shape of its code.
Status CupsQueueDestination::paper_size(int16_t code)
{
    if (code == kPaperUserDefined) {
        if (!queue_->takes_user_pages())
            return invalid_value();
        user_defined_ = true;
        return {};
    }
    const auto entry = paper_entry(code);
    if (!entry)
        return invalid_value();
    const PaperSizeMm wanted = paper_size_mm(*entry);
    std::vector<PaperSizeMm> offered;
    offered.reserve(queue_->papers().size());
    for (const QueuePaper& paper : queue_->papers())
        offered.push_back(paper.size_mm);
    const std::optional<PaperMatch> match = match_paper(wanted, offered);
    if (!match)
        return invalid_value();
    paper_ = match->index;
    paper_code_ = paper_code_for_size(wanted);
    paper_turned_ = match->turned;
    user_defined_ = false;
    return {};
}

int16_t CupsQueueDestination::paper_size() const
{
    if (user_defined_)
        return kPaperUserDefined;
    return paper_code_ != 0 ? paper_code_ : paper_code_for_size(queue_->default_paper().size_mm);
}

// Whether a side of a user-defined page is one the printer can take: within
// the queue's physical limits.
bool CupsQueueDestination::page_side_fits(int32_t twips) const
{
    if (twips <= 0)
        return false;
    const double smallest = queue_->smallest_side_points();
    const double largest = queue_->largest_side_points();
    if (smallest <= 0 || largest <= 0)
        return true;
    const double points = points_from_twips(twips);
    return points >= smallest - 0.5 && points <= largest + 0.5;
}

Status CupsQueueDestination::page_height(int32_t twips)
{
    if (!page_side_fits(twips))
        return invalid_value();
    user_height_twips_ = twips;
    return {};
}

Status CupsQueueDestination::page_width(int32_t twips)
{
    if (!page_side_fits(twips))
        return invalid_value();
    user_width_twips_ = twips;
    return {};
}

// -- The document -------------------------------------------------------------

// The drawing area is the printable area: the margins are the least the
// driver allows for the paper and orientation, as on any printer whose
// origin is where its print head can first reach. The job's options are
// those of the document's start, as its pages are.
Result<OpenedDocument> CupsQueueDestination::open(const DocumentSetup& setup)
{
    QueueSheet sheet;
    // A user-defined page is given as it stands, portrait, in points.
    sheet.user_defined = user_defined_;
    sheet.user_width_points = points_from_twips(user_width_twips_);
    sheet.user_height_points = points_from_twips(user_height_twips_);
    sheet.paper = paper_;
    // A paper the queue carries only turned is drawn on the turned sheet, so
    // that the page keeps the shape of its code.
    const bool turned = paper_turned_ && !user_defined_;
    sheet.landscape = turned ? !setup.landscape : setup.landscape;
    const std::optional<SheetArea> area = queue_->sheet_area(sheet);
    if (!area)
        return Failure(ErrorNumber::PrinterError, "The printer cannot take this paper size");
    OpenedDocument opened;
    opened.fd = create_queue_file(pdf_path_);
    if (opened.fd < 0)
        return Failure(ErrorNumber::PrinterError, "Cannot create the document for the printer");
    opened.title = kDocumentName;
    opened.width = area->width;
    opened.height = area->height;
    opened.left = area->left;
    opened.top = area->top;
    opened.nominal_dpi = setup.dpi;
    opened.device_dpi = setup.dpi;
    // The driver makes the copies of the one job.
    opened.copies_in_file = 1;

    double width = sheet.user_width_points;
    double height = sheet.user_height_points;
    if (!user_defined_) {
        const QueuePaper& paper =
            paper_ == QueueSheet::kDefaultPaper ? queue_->default_paper() : queue_->papers()[paper_];
        width = paper.width_points;
        height = paper.height_points;
    }
    options_ = cups_job_options(paper_size(), width, height, setup.landscape ? 2 : 1,
                                static_cast<int16_t>(setup.copies), setup.duplex,
                                static_cast<int16_t>(setup.dpi_set ? setup.dpi : 0), kDocumentName);
    options_.media_source = media_source_;
    options_.media_type = media_type_;
    return opened;
}

// The document goes to the queue as one job, the page setup with it. Sending
// is bounded in time whatever the server does, and the file is removed
// either way.
Result<std::string> CupsQueueDestination::finish(DocumentFile file)
{
    if (file == DocumentFile::Incomplete) {
        drop();
        return Failure(ErrorNumber::PrinterError, "The document could not be sent to the printer");
    }
    int job_id = 0;
    last_job_id_ = 0;
    auto sent = send_pdf_to_queue(queue_->name(), pdf_path_, options_, &job_id);
    drop();
    if (sent)
        last_job_id_ = job_id;
    return sent;
}

Status CupsQueueDestination::media_source(const std::string& name)
{
    if (Status offered = offered_by_queue(queue_->name(), "media-source", "paper source", name); !offered)
        return offered;
    media_source_ = name;
    return {};
}

Status CupsQueueDestination::media_type(const std::string& name)
{
    if (Status offered = offered_by_queue(queue_->name(), "media-type", "paper type", name); !offered)
        return offered;
    media_type_ = name;
    return {};
}

void CupsQueueDestination::drop()
{
    if (!pdf_path_.empty())
        ::unlink(pdf_path_.c_str());
    pdf_path_.clear();
}

}  // namespace kt482
