// The printers of the Qt platform: a print queue, whose documents are drawn
// with QPdfWriter and sent as PDF jobs through libcups, and the built-in PDF
// printer "KT482 PDF", also through QPdfWriter. Both draw with a
// QtDrawSurface, in points, from the top left corner of the drawing area: the
// printable area of the queue's paper (its driver's hardware margins), the
// whole page of the PDF printer, which has none.
//
// The document
//   Nothing is opened until the first Print, Line or NewPage; NewPage on a
//   document not yet started starts it and then breaks the page. Fonts, the
//   pen and the position may be set before: they carry into the document, and
//   TextWidth measures at any time. EndDoc hands the document over (one job
//   to the print server, or a finished PDF file) and the next drawing starts
//   another one; EndDoc without a document does nothing. AbortDoc drops the
//   open document instead: no job reaches the print server, no PDF file is
//   left.
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
//                    page keeps its shape; the PDF printer takes every code
//                    with dimensions. The code read back is the lowest code
//                    of the paper set (A4 small reads back as A4).
//                    256 selects the user-defined page of PageHeight and
//                    PageWidth (queues only when they take custom sizes).
//                    Anything else keeps the paper and fails with 380.
//   PageHeight/Width the user-defined page in twips, portrait; within the
//                    queue's physical limits, or 3 to 14,400 points for a PDF.
//   Orientation      1 portrait, 2 landscape.
//   Copies           1 to 99, collated. A queue's driver makes the copies of
//                    the one job; the PDF printer writes the document that
//                    many times into the one file.
//   Duplex           1 none, 2 long edge, 3 short edge; the PDF printer takes
//                    and ignores it.
//   PrintQuality     the resolution in dpi. A queue's printer starts at Qt's
//                    high resolution (1200 dpi), the PDF printer at 1200 dpi.
//                    A line's pixel is one dot at that resolution; on the PDF
//                    printer only once a resolution has been set, before that
//                    it is 1/600 inch (see QtDrawSurface).
//
// Failures
//   A queue whose print server stops answering, a document Qt cannot start
//   and a job the server refuses are PrinterError (482). The PDF printer's
//   folder fails as files do: 76 when it does not exist, 70 when it cannot be
//   written to. Every failure leaves the printer ready for the next document.
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
#include "platform/qt/qt_draw_surface.h"

class QFile;
class QPdfWriter;
class QPrinter;
class QPrinterInfo;

namespace kt482 {

class QtPrinter final : public Printer {
public:
    // The queue's printer. Creating it asks the print server about the queue,
    // so call it only after the server has answered the probe.
    static std::shared_ptr<QtPrinter> forQueue(const QPrinterInfo& info);
    // The built-in PDF printer; it never touches the print server.
    static std::shared_ptr<QtPrinter> forPdf();
    // The PDF printer writing each document to one given file instead of a
    // new file in the output folder. The document goes to a file of its own
    // beside it first and replaces the given file only when it is complete,
    // so a document dropped or failed leaves that file as it was.
    static std::shared_ptr<QtPrinter> forPdfFile(const std::string& path);

    // A document still open is finished as EndDoc would, so that nothing
    // drawn is lost.
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    bool isPdfPrinter() const { return kind_ == Kind::Pdf; }
    bool documentStarted() const { return started_; }
    // The drawing operations kept to repeat the open document for its copies;
    // always none with one copy.
    std::size_t recordedOperations() const { return ops_.size(); }

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
    enum class Kind { Queue, Pdf };

    // One drawing operation of a document that is printed more than once.
    enum class OpCode : uint8_t {
        FontName, FontSize, FontBold, FontUnderline, CurrentX, CurrentY,
        Print, DrawMode, DrawWidth, DrawStyle, Line, NewPage,
    };
    struct Op {
        OpCode code;
        int16_t number = 0;       // draw mode, width or style; bold, underline, line end
        uint32_t textOffset = 0;  // into opText_, for FontName and Print
        uint32_t textLength = 0;
        float values[4] = {};     // size, position, line ends
    };

    // What the surface holds when a document starts; each further copy
    // starts from it again.
    struct SurfaceState {
        QString face;
        float size = 0;
        bool bold = false;
        bool underline = false;
        float x = 0;
        float y = 0;
        int16_t drawMode = 0;
        int16_t drawWidth = 0;
        LineStyle drawStyle = LineStyle::Solid;
    };

    explicit QtPrinter(Kind kind);

    Status startDocument();
    Status startQueueDocument();
    Status startPdfDocument();
    Status beginPdfFile(int fd, const QPageLayout& layout);
    bool finishPdfFile();
    Status endQueueDocument();
    Status endPdfDocument();
    void discardPdfDocument();
    QPageSize documentPageSize() const;
    int pixelDpi() const;

    bool recording() const { return started_ && copiesOfDocument_ > 1; }
    void record(OpCode code, int16_t number = 0, float a = 0, float b = 0, float c = 0, float d = 0);
    void recordText(OpCode code, std::string_view text, int16_t number = 0);
    void repeatForCopies();
    void replay(const Op& op);

    Kind kind_;
    std::string deviceName_;
    QtDrawSurface surface_;

    // A queue: its printer, for the page sizes and margins its driver allows;
    // each document is a PDF file (file_, writer_) sent as one job.
    std::unique_ptr<QPrinter> printer_;
    std::vector<QPageSize> queueSizes_;
    bool queueCustomSizes_ = false;
    QSizeF customMinPoints_;
    QSizeF customMaxPoints_;

    // The PDF file and its writer, for one document.
    std::unique_ptr<QFile> file_;
    std::unique_ptr<QPdfWriter> writer_;
    std::string pdfPath_;
    // The file every document goes to; empty: a new file in the folder.
    std::string outputPath_;

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

    bool started_ = false;
    int copiesOfDocument_ = 1;
    SurfaceState startState_;
    std::vector<Op> ops_;
    std::string opText_;
    std::string lastOutput_;
};

}  // namespace kt482
