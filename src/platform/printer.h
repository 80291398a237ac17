// A selected printer: a drawing surface in points with the page setup and
// document operations of a printer. The first drawing of a document starts
// it; EndDoc sends everything drawn since as one job.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kt482/draw_surface.h"

namespace kt482 {

// The built-in PDF printer's device name: always installed, whatever the
// print server does.
inline constexpr const char* kPdfPrinterName = "KT482 PDF";

// The nominal resolution of the PDF printer in dots per inch, reported as the
// further printer setting and used when drawing its pages.
inline constexpr int16_t kPdfPrinterDpi = 600;

// The most copies of a document a printer makes.
inline constexpr int16_t kMaxCopies = 99;

// What the host says of its next document: its information (empty fields
// leave the printer's own: the title is the file's or job's name) and
// whether it is archivable (PDF/A-2u).
struct ProtectionCache;  // print/pdf_protection.h

struct DocumentProperties {
    std::string title;
    std::string author;
    std::string subject;
    std::string keywords;
    bool archive = false;
    // The protection of PDF documents, kept from one document to the next
    // (each with an initializer, so that a list of the fields above may end
    // early).
    struct Attachment {
        std::string path;
        std::string mime_type;
        std::string relationship;
        std::string description;
    };
    std::vector<Attachment> attachments{};
    // Encrypted when either password is set.
    std::string user_password{};
    std::string owner_password{};
    int32_t permissions = 0;
    // Signed when a PKCS#12 file is named; timestamped when an authority is.
    std::string pkcs12_file{};
    std::string pkcs12_password{};
    std::string reason{};
    std::string location{};
    std::string tsa_url{};
    // A visible signature: its page (1-based; 0 invisible), its box in
    // points from the page's printable origin (left, top, right, bottom)
    // and the seal picture's file.
    int16_t signature_page = 0;
    float signature_box[4] = {0, 0, 0, 0};
    std::string signature_picture{};
    // The signer's key as read from its file and the passwords' keys, made
    // for the first document after the member call that set them and shared
    // by the documents after it, in memory only; none: made per document.
    std::shared_ptr<ProtectionCache> cache{};

    // What stays for the document after: all but the information, which is
    // the one document's.
    DocumentProperties kept() const
    {
        DocumentProperties next = *this;
        next.title.clear();
        next.author.clear();
        next.subject.clear();
        next.keywords.clear();
        return next;
    }
};

class Printer : public DrawSurface {
public:
    // The device name under which the printer is installed.
    virtual std::string DeviceName() const = 0;

    // Page setup, before the document starts. A refused value leaves the
    // printer's own setting and fails with InvalidPropertyValue (380).
    // Coordinates are in points; nothing else is offered.
    virtual Status ScaleModePoints() = 0;
    virtual Status FillTransparent() = 0;
    // A paper code; a code the printer has no paper for leaves its own
    // paper, which PaperSize() then reports.
    virtual Status PaperSize(int16_t code) = 0;
    virtual int16_t PaperSize() const = 0;
    // A user-defined page, in whole twips; used when PaperSize() is 256.
    virtual Status PageHeight(int32_t twips) = 0;
    virtual Status PageWidth(int32_t twips) = 0;
    // 1 portrait, 2 landscape.
    virtual Status Orientation(int16_t orientation) = 0;
    // 1 to 99.
    virtual Status Copies(int16_t copies) = 0;
    // 1 simplex, 2 long edge, 3 short edge.
    virtual Status Duplex(int16_t duplex) = 0;
    // The further setting: the resolution in dots per inch.
    virtual Status PrintQuality(int16_t dpi) = 0;

    // Later output goes on a fresh sheet.
    virtual Status NewPage() = 0;
    // Sends the document as one job; the next drawing starts a new one.
    virtual Status EndDoc() = 0;
    // Drops the document begun since the last EndDoc: nothing is sent, no
    // file is left behind. The next drawing starts a new document.
    virtual Status AbortDoc() = 0;
    // Where the last document went ("/tmp/x/KT482-0001.pdf", "job 12 on
    // office"), empty before the first.
    virtual std::string LastOutput() const = 0;
    // The properties of the next document this printer starts; printers
    // that write no document of their own ignore them.
    virtual void NextDocumentProperties(const DocumentProperties& /*properties*/) {}

    // Moves everything the documents started from now on draw by x points
    // rightwards and y points downwards on the sheet, for stationery that
    // this printer feeds a little off. A printer that cannot fails with
    // NotSupported (438).
    virtual Status PrintOffset(double /*x_points*/, double /*y_points*/) { return ErrorNumber::NotSupported; }
    // The paper source (IPP media-source: "auto", "manual", "tray-1", ...)
    // and paper kind (media-type: "stationery", "envelope", "labels", ...)
    // of the documents started from now on; empty leaves the printer's own.
    // A name the printer does not offer fails with InvalidPropertyValue
    // (380), its text listing the names it offers; asking the print server
    // returns within 3 seconds.
    virtual Status MediaSource(const std::string& name) { return name.empty() ? Status() : ErrorNumber::NotSupported; }
    virtual Status MediaType(const std::string& name) { return name.empty() ? Status() : ErrorNumber::NotSupported; }
    // The print server's number of the last job this printer sent, 0 when
    // it sent none or is no print server's queue.
    virtual int32_t LastJobId() const { return 0; }
    // Where the drawing's origin lies on the sheet of the document under
    // way, in points from the sheet's top left corner, the offset left out:
    // the corner of the printable area. Known once the first drawing has
    // started the document; (0, 0) before and for printers that cannot tell.
    struct SheetPoint {
        double x = 0;
        double y = 0;
    };
    virtual SheetPoint SheetOrigin() const { return {}; }
};

}  // namespace kt482
