// The built-in PDF printer: always installed, and the default printer whenever
// the print server offers none. It writes PDF files with the PDF engine, into
// an output folder under names of its own, or to a file the host names.
//
// The document
//   As on every printer, nothing is opened until the first Print, Line or
//   NewPage, and EndDoc finishes the file; AbortDoc drops it. Each page's
//   content goes to the file as the page ends, so a long document takes no
//   more memory than a short one. Copies (1 to 99) are collated: the pages of
//   each further copy are new pages on the content already written.
//
// Files
//   In the folder (pdf_output_folder()), a document is a new file
//   "KT482-<yyyyMMdd-HHmmss>-<n>.pdf", created exclusively, never over an
//   existing one. A named file is written beside its name and takes it only
//   once complete, so a failed or dropped document leaves the old file (or
//   nothing) there.
//
// Page setup
//   As on the queues: kept and applied when the next document starts. Every
//   known paper code is taken; a user-defined page (256) is 3 to 14,400
//   points on a side. Duplex is taken and ignored. The resolution is that of
//   a line's pixel once set; before, a pixel is 1/600 inch.
#pragma once

#include <QPageSize>

#include <cstdint>
#include <memory>
#include <string>

#include "pdf/pdf_surface.h"
#include "platform/failure.h"
#include "platform/printer.h"

namespace kt482 {

namespace pdf {
class PdfDocument;
}


// The nominal resolution of the PDF printer in dots per inch, reported as the
// further printer setting and used when drawing its pages.
inline constexpr int16_t kPdfPrinterDpi = 600;

// The folder the PDF files go to, as an absolute path: $KT482_PDF_DIR when set
// and not empty, else the current directory. The folder need not exist yet.
Result<std::string> pdf_output_folder();

class PdfPrinter final : public Printer {
public:
    // Documents go to new files in pdf_output_folder().
    static std::shared_ptr<PdfPrinter> forFolder();
    // Documents go to this file, replacing it once complete.
    static std::shared_ptr<PdfPrinter> forFile(std::string path);

    // A document still open is finished as EndDoc would.
    ~PdfPrinter() override;
    PdfPrinter(const PdfPrinter&) = delete;
    PdfPrinter& operator=(const PdfPrinter&) = delete;

    bool documentStarted() const { return document_ != nullptr; }
    // How many threads deflate page content: $KT482_PDF_THREADS (0 to 8) when
    // set, else one when the machine has more than one core.
    static int compressionThreads();

    std::string DeviceName() const override { return kPdfPrinterName; }

    Status FontName(std::string_view face) override { return surface_.FontName(face); }
    Status FontSize(float points) override { return surface_.FontSize(points); }
    float FontSize() const override { return surface_.FontSize(); }
    Status FontBold(bool bold) override { return surface_.FontBold(bold); }
    Status FontUnderline(bool underline) override { return surface_.FontUnderline(underline); }
    Status CurrentX(float x) override { return surface_.CurrentX(x); }
    float CurrentX() const override { return surface_.CurrentX(); }
    Status CurrentY(float y) override { return surface_.CurrentY(y); }
    Status Print(std::string_view text, LineEnd end) override;
    float TextWidth(std::string_view text) override { return surface_.TextWidth(text); }
    Status DrawMode(int16_t mode) override { return surface_.DrawMode(mode); }
    Status DrawWidth(int16_t pixels) override { return surface_.DrawWidth(pixels); }
    Status DrawStyle(int16_t style) override { return surface_.DrawStyle(style); }
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
    explicit PdfPrinter(std::string file);

    Status startDocument();
    Status createFile();
    void closeFile(bool keep);
    // The page of the next document in points, turned for landscape.
    void pagePoints(double& width, double& height) const;

    std::string file_;  // named by the host; empty for the folder
    pdf::PdfSurface surface_;

    // The open document: its file (a temporary one beside a named file).
    std::unique_ptr<pdf::PdfDocument> document_;
    int fd_ = -1;
    std::string writingPath_;
    std::string finalPath_;
    int copiesOfDocument_ = 1;
    double documentWidth_ = 0;  // points, as the document started
    double documentHeight_ = 0;

    QPageSize pageSize_ = QPageSize(QPageSize::A4);
    bool userDefined_ = false;
    int32_t userHeightTwips_ = 0;
    int32_t userWidthTwips_ = 0;
    bool landscape_ = false;
    int copies_ = 1;
    int16_t duplex_ = 1;
    int dpi_ = 1200;
    bool dpiSet_ = false;

    std::string lastOutput_;
};

}  // namespace kt482
