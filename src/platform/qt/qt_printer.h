// A print queue's printer. Its documents are drawn with the PDF engine into a
// private file and sent as PDF jobs through libcups (cups_job.h); QPrinter
// only tells the page sizes and margins the queue's driver allows. It draws in
// points from the top left corner of the drawing area: the printable area of
// the queue's paper (its driver's hardware margins). The built-in PDF printer
// is PdfPrinter (pdf_printer.h).
//
// The document
//   Nothing is opened until the first Print, Line or NewPage; NewPage on a
//   document not yet started starts it and then breaks the page. Fonts, the
//   pen and the position may be set before: they carry into the document, and
//   TextWidth measures at any time. EndDoc sends the document as one job,
//   within seconds whatever the server does, and the next drawing starts
//   another one; EndDoc without a document does nothing. AbortDoc drops the
//   document without sending anything. The private file is removed either
//   way.
//
// Page setup
//   Setup calls are kept and applied when a document starts, so a call made
//   while a document is open affects the next document, never the pages
//   already begun: the copy count and the resolution cannot change within a
//   job anyway, and one rule for every setting is easier to reason about.
//
//   PaperSize(code)  a paper code with dimensions (print/paper_table.h). A
//                    queue takes only a paper it lists (within 1 mm), upright
//                    or else turned: one it lists only turned (Ledger as
//                    11 x 17 in) is printed in the other orientation, so the
//                    page keeps its shape. The code read back is the lowest
//                    code (A4 small reads back as A4).
//                    256 selects the user-defined page of PageHeight and
//                    PageWidth (queues only when they take custom sizes).
//                    Anything else keeps the paper and fails with 380.
//   PageHeight/Width the user-defined page in twips, portrait; within the
//                    queue's physical limits.
//   Orientation      1 portrait, 2 landscape.
//   Copies           1 to 99, collated; the driver makes the copies of the
//                    one job.
//   Duplex           1 none, 2 long edge, 3 short edge.
//   PrintQuality     the resolution in dpi, from Qt's high resolution (1200
//                    dpi). A line's pixel is one dot at that resolution.
//
// Failures
//   A queue whose print server stops answering, a document that cannot be
//   written and a job the server refuses are PrinterError (482). Every
//   failure leaves the printer ready for the next document.
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/printer.h"
#include "pdf/pdf_surface.h"

class QPrinter;
class QPrinterInfo;

namespace kt482 {

namespace pdf {
class PdfDocument;
}

class QtPrinter final : public Printer {
public:
    // The queue's printer. Creating it asks the print server about the queue,
    // so call it only after the server has answered the probe.
    static std::shared_ptr<QtPrinter> forQueue(const QPrinterInfo& info);

    // A document still open is finished as EndDoc would, so that nothing
    // drawn is lost.
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    bool documentStarted() const { return started_; }

    std::string DeviceName() const override { return deviceName_; }

    Status FontName(std::string_view face) override;
    Status FontSize(float points) override;
    float FontSize() const override { return surface_.FontSize(); }
    Status FontBold(bool bold) override;
    Status FontUnderline(bool underline) override;
    Status CurrentX(float x) override;
    float CurrentX() const override { return surface_.CurrentX(); }
    Status CurrentY(float y) override;
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override { return surface_.TextWidth(text); }
    Status DrawMode(int16_t mode) override;
    Status DrawWidth(int16_t pixels) override;
    Status DrawStyle(int16_t style) override;
    Status Line(float x1, float y1, float x2, float y2) override;
    Status BeginSpreadText(std::string_view text) override;
    Status EndSpreadText() override { return surface_.EndSpreadText(); }

    Status ScaleModePoints() override { return {}; }
    Status FillTransparent() override { return {}; }
    Status PaperSize(int16_t code) override;
    int16_t PaperSize() const override;
    Status PageHeight(int32_t twips) override;
    Status PageWidth(int32_t twips) override;
    Status Orientation(int16_t orientation) override;
    Status Copies(int16_t copies) override;
    Status Duplex(int16_t duplex) override;
    Status PrintQuality(int16_t dpi) override;

    Status NewPage() override;
    Status EndDoc() override;
    Status AbortDoc() override;
    std::string LastOutput() const override { return lastOutput_; }

private:
    QtPrinter();

    Status startDocument();
    Status endQueueDocument();
    void closeDocument();
    QPageSize documentPageSize() const;

    std::string deviceName_;
    pdf::PdfSurface surface_;

    // The queue's printer, for the page sizes and margins its driver allows.
    std::unique_ptr<QPrinter> printer_;
    std::vector<QPageSize> queueSizes_;
    bool queueCustomSizes_ = false;
    QSizeF customMinPoints_;
    QSizeF customMaxPoints_;

    // Page setup for the next document.
    QPageSize pageSize_;
    // The code of the paper set (the lowest code of its size), 0 while it is
    // the printer's own; true when the queue carries that paper only turned
    // by 90 degrees.
    int16_t paperCode_ = 0;
    bool paperTurned_ = false;
    bool userDefined_ = false;
    int32_t userHeightTwips_ = 0;
    int32_t userWidthTwips_ = 0;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    int copies_ = 1;
    int16_t duplex_ = 1;
    int dpi_ = 1200;
    bool dpiSet_ = false;

    // The open document: its private file, and its page in points.
    std::unique_ptr<pdf::PdfDocument> document_;
    int fd_ = -1;
    std::string pdfPath_;
    double pageWidth_ = 0;
    double pageHeight_ = 0;

    bool started_ = false;
    std::string lastOutput_;
};

}  // namespace kt482
