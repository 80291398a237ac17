// The printer of every destination: the built-in PDF printer (always
// installed, and the default printer whenever the print server offers none)
// and a print server's queue. Documents are drawn with the PDF engine; the
// destination (print_destination.h) is the one thing that varies.
//
// The document
//   Nothing is opened until the first Print, Line or NewPage; NewPage on a
//   document not yet started starts it and then breaks the page. Fonts, the
//   pen and the position may be set before: they carry into the document, and
//   TextWidth measures at any time. EndDoc finishes the document and hands it
//   to the destination; EndDoc without a document does nothing, and the next
//   drawing starts another one. AbortDoc drops the document. Each page's
//   content goes to the file as the page ends, so a long document takes no
//   more memory than a short one.
//
// Page setup
//   Setup calls are kept and applied when a document starts, so a call made
//   while a document is open affects the next document, never the pages
//   already begun.
//   Orientation      1 portrait, 2 landscape.
//   Copies           1 to 99, collated.
//   Duplex           1 none, 2 long edge, 3 short edge.
//   PrintQuality     the resolution in dpi. A line's pixel is one dot at it.
//   The paper (PaperSize, PageHeight, PageWidth) is the destination's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kt482/failure.h"
#include "pdf/pdf_surface.h"
#include "platform/print_queue.h"
#include "platform/printer_makers.h"
#include "platform/printer.h"
#include "print/print_destination.h"

namespace kt482 {

namespace pdf {
class PdfDocument;
}

class PdfPrinter final : public Printer {
public:
    // Documents go to new files in pdf_output_folder().
    static std::shared_ptr<PdfPrinter> for_folder();
    // Documents go to this file, replacing it once complete.
    static std::shared_ptr<PdfPrinter> for_file(std::string path);
    // Documents go to the queue as PDF jobs. Creating it asks the print
    // server about the queue, so call it only after the server has answered
    // the probe.
    static std::shared_ptr<PdfPrinter> for_queue(std::unique_ptr<PrintQueue> queue);

    explicit PdfPrinter(std::unique_ptr<PrintDestination> destination);
    // A document still open is finished as EndDoc would, so that nothing
    // drawn is lost.
    ~PdfPrinter() override;
    PdfPrinter(const PdfPrinter&) = delete;
    PdfPrinter& operator=(const PdfPrinter&) = delete;

    bool document_started() const { return document_ != nullptr; }
    // How many threads deflate page content: $KT482_PDF_THREADS (0 to 8) when
    // set, else one when the machine has more than one core.
    static int compression_threads();

    std::string DeviceName() const override { return destination_->device_name(); }

    Status FontName(std::string_view face) override { return surface_.FontName(face); }
    Status FontSize(float points) override { return surface_.FontSize(points); }
    float FontSize() const override { return surface_.FontSize(); }
    Status FontBold(bool bold) override { return surface_.FontBold(bold); }
    Status FontUnderline(bool underline) override { return surface_.FontUnderline(underline); }
    Status CurrentX(float x) override { return surface_.CurrentX(x); }
    float CurrentX() const override { return surface_.CurrentX(); }
    Status CurrentY(float y) override { return surface_.CurrentY(y); }
    Status Print(std::string_view text, LineEnd end) override;
    Status BeginSpreadText(std::string_view text) override;
    Status EndSpreadText() override { return surface_.EndSpreadText(); }
    float TextWidth(std::string_view text) override { return surface_.TextWidth(text); }
    Status DrawMode(int16_t mode) override { return surface_.DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return surface_.DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override { return surface_.DrawStyle(style); }
    Status Line(float x1, float y1, float x2, float y2) override;
    Status Color(uint32_t rgb) override { return surface_.Color(rgb); }
    Status FillRect(float x, float y, float width, float height) override;
    Status Image(float x, float y, float width, float height, const ImagePixels& picture) override;

    Status ScaleModePoints() override { return {}; }
    Status FillTransparent() override { return {}; }
    Status PaperSize(int16_t code) override { return destination_->paper_size(code); }
    int16_t PaperSize() const override { return destination_->paper_size(); }
    Status PageHeight(int32_t twips) override { return destination_->page_height(twips); }
    Status PageWidth(int32_t twips) override { return destination_->page_width(twips); }
    Status Orientation(int16_t orientation) override;
    Status Copies(int16_t copies) override;
    Status Duplex(int16_t duplex) override;
    Status PrintQuality(int16_t dpi) override;

    Status NewPage() override;
    Status EndDoc() override;
    Status AbortDoc() override;
    void NextDocumentProperties(const DocumentProperties& properties) override { next_ = properties; }
    std::string LastOutput() const override { return last_output_; }
    Status PrintOffset(double x_points, double y_points) override;
    Status MediaSource(const std::string& name) override { return destination_->media_source(name); }
    Status MediaType(const std::string& name) override { return destination_->media_type(name); }
    int32_t LastJobId() const override { return destination_->last_job_id(); }
    SheetPoint SheetOrigin() const override { return origin_; }

private:
    Status start_document();
    void close_document();

    std::unique_ptr<PrintDestination> destination_;
    pdf::PdfSurface surface_;
    DocumentSetup setup_;  // for the next document
    DocumentProperties next_;  // for the next document

    // The open document: its file and its page in points.
    std::unique_ptr<pdf::PdfDocument> document_;
    int fd_ = -1;
    int copies_in_file_ = 1;
    double page_width_ = 0;
    double page_height_ = 0;

    std::string last_output_;
    // Where the documents' drawing is moved on the sheet, in points.
    double offset_x_ = 0;
    double offset_y_ = 0;
    SheetPoint origin_;
};

// The PDF printers, for the platform's printer system to hand out: the
// library's composition (the platform defaults) gives it these.
PrinterMakers pdf_printer_makers();

}  // namespace kt482
