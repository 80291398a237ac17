#include "print/pdf_printer.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <utility>

#include "pdf/pdf_document.h"
#include "print/cups_queue_destination.h"
#include "print/pdf_file_destination.h"
#include "print/pdf_protection.h"

namespace kt482 {
namespace {

constexpr int kMaxThreads = 8;

// The creator of every document.
constexpr const char* kDocumentName = "KT482_Print";

Failure invalid_value()
{
    return Failure(ErrorNumber::InvalidPropertyValue);
}

}  // namespace

std::shared_ptr<PdfPrinter> PdfPrinter::for_folder()
{
    return std::make_shared<PdfPrinter>(std::make_unique<PdfFileDestination>(std::string()));
}

std::shared_ptr<PdfPrinter> PdfPrinter::for_file(std::string path)
{
    return std::make_shared<PdfPrinter>(std::make_unique<PdfFileDestination>(std::move(path)));
}

std::shared_ptr<PdfPrinter> PdfPrinter::for_queue(std::unique_ptr<PrintQueue> queue)
{
    return std::make_shared<PdfPrinter>(std::make_unique<CupsQueueDestination>(std::move(queue)));
}

PdfPrinter::PdfPrinter(std::unique_ptr<PrintDestination> destination) : destination_(std::move(destination))
{
    setup_.duplex = destination_->default_duplex();
    setup_.dpi = destination_->default_dpi();
}

PdfPrinter::~PdfPrinter()
{
    if (document_)
        (void)EndDoc();
}

int PdfPrinter::compression_threads()
{
    if (const char* set = std::getenv("KT482_PDF_THREADS"); set && *set)
        return std::clamp(std::atoi(set), 0, kMaxThreads);
    // Asked once: the answer reads a file, and a batch starts many documents.
    static const bool several_cores = std::thread::hardware_concurrency() > 1;
    return several_cores ? 1 : 0;
}

// -- Drawing ----------------------------------------------------------------

Status PdfPrinter::Print(std::string_view text, LineEnd end)
{
    if (Status started = start_document(); !started)
        return started;
    return surface_.Print(text, end);
}

Status PdfPrinter::BeginSpreadText(std::string_view text)
{
    if (Status started = start_document(); !started)
        return started;
    return surface_.BeginSpreadText(text);
}

Status PdfPrinter::FillRect(float x, float y, float width, float height)
{
    if (Status started = start_document(); !started)
        return started;
    return surface_.FillRect(x, y, width, height);
}

Status PdfPrinter::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    if (Status started = start_document(); !started)
        return started;
    return surface_.Image(x, y, width, height, picture);
}

Status PdfPrinter::Line(float x1, float y1, float x2, float y2)
{
    if (Status started = start_document(); !started)
        return started;
    return surface_.Line(x1, y1, x2, y2);
}

Status PdfPrinter::NewPage()
{
    if (Status started = start_document(); !started)
        return started;
    static_cast<void>(surface_.EndSpreadText());  // a spread text left open is drawn on its page
    document_->begin_page(page_width_, page_height_);
    // The pages written so far could not all be: said at the page, rather
    // than only when the document ends.
    if (document_->write_failed())
        return Failure(ErrorNumber::PrinterError, "The PDF file could not be written");
    return {};
}

// -- Page setup ---------------------------------------------------------------

Status PdfPrinter::Orientation(int16_t orientation)
{
    if (orientation != 1 && orientation != 2)
        return invalid_value();
    setup_.landscape = orientation == 2;
    return {};
}

Status PdfPrinter::Copies(int16_t copies)
{
    if (copies < 1 || copies > kMaxCopies)
        return invalid_value();
    setup_.copies = copies;
    return {};
}

Status PdfPrinter::Duplex(int16_t duplex)
{
    if (duplex < 1 || duplex > 3)
        return invalid_value();
    setup_.duplex = duplex;
    return {};
}

Status PdfPrinter::PrintQuality(int16_t dpi)
{
    if (dpi <= 0)
        return invalid_value();
    setup_.dpi = dpi;
    setup_.dpi_set = true;
    return {};
}

// The offset applies from the next document on: a document's pages all sit
// the same way on their sheets.
Status PdfPrinter::PrintOffset(double x_points, double y_points)
{
    if (!std::isfinite(x_points) || !std::isfinite(y_points))
        return invalid_value();
    offset_x_ = x_points;
    offset_y_ = y_points;
    return {};
}

// -- The document -------------------------------------------------------------

Status PdfPrinter::start_document()
{
    if (document_)
        return {};
    // The protection is prepared first, so that a setting that cannot be
    // used leaves no file behind.
    pdf::DocumentInfo info;
    if (Status prepared = prepare_protection(next_, info); !prepared) {
        next_ = next_.kept();
        return prepared;
    }
    auto opened = destination_->open(setup_);
    if (!opened)
        return opened.failure();
    info.title = next_.title.empty() ? std::move(opened->title) : next_.title;
    info.author = next_.author;
    info.subject = next_.subject;
    info.keywords = next_.keywords;
    info.archive = next_.archive;
    info.creator = kDocumentName;
    info.created = std::time(nullptr);
    // A visible signature's box is drawn as the grid is, from the origin.
    for (int i = 0; i < 4; ++i)
        info.signature.box[i] += i % 2 == 0 ? opened->left : opened->top;
    // The information is the one document's; archiving and protection stay.
    next_ = next_.kept();
    fd_ = opened->fd;
    document_ = std::make_unique<pdf::PdfDocument>(fd_, std::move(info), compression_threads());
    copies_in_file_ = opened->copies_in_file;
    page_width_ = opened->width;
    page_height_ = opened->height;
    surface_.set_document(document_.get());
    surface_.set_resolution(opened->nominal_dpi, opened->device_dpi);
    origin_ = {opened->left, opened->top};
    surface_.set_origin(opened->left + offset_x_, opened->top + offset_y_);
    document_->begin_page(page_width_, page_height_);
    return {};
}

void PdfPrinter::close_document()
{
    surface_.set_document(nullptr);
    document_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

// A file system that reports its errors only when the file closes fails the
// document too.
Status PdfPrinter::EndDoc()
{
    if (!document_)
        return {};
    static_cast<void>(surface_.EndSpreadText());  // a spread text left open is drawn on its page
    bool written = document_->finish(copies_in_file_);
    const std::string signing_failure = document_->signing_failure();
    written = ::close(fd_) == 0 && written;
    fd_ = -1;
    close_document();
    auto delivered = destination_->finish(written ? PrintDestination::DocumentFile::Complete
                                                  : PrintDestination::DocumentFile::Incomplete);
    // A file that could not be signed is not delivered, for the signer's
    // reason.
    if (!signing_failure.empty())
        return Failure(ErrorNumber::PrinterError, signing_failure);
    if (!delivered)
        return delivered.failure();
    last_output_ = std::move(*delivered);
    return {};
}

Status PdfPrinter::AbortDoc()
{
    if (document_) {
        close_document();
        destination_->drop();
    }
    return {};
}

// -- The printers the platform's printer system hands out ---------------------

PrinterMakers pdf_printer_makers()
{
    return {.pdf_folder = [] { return std::shared_ptr<Printer>(PdfPrinter::for_folder()); },
            .pdf_file = [](std::string path) { return std::shared_ptr<Printer>(PdfPrinter::for_file(std::move(path))); },
            .queue = [](std::unique_ptr<PrintQueue> queue) {
                return std::shared_ptr<Printer>(PdfPrinter::for_queue(std::move(queue)));
            }};
}

}  // namespace kt482
