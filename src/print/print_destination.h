// Where a PDF printer's documents go: a file of the built-in PDF printer
// (pdf_file_destination.h) or a print server's queue
// (cups_queue_destination.h). The printer keeps the page setup every printer
// shares and the document's life; the destination decides which papers it
// takes, opens the file the document is written to and delivers it.
#pragma once

#include <cstdint>
#include <string>

#include "kt482/failure.h"

namespace kt482 {

// The page setup shared by every destination, as a document starts.
struct DocumentSetup {
    bool landscape = false;
    int copies = 1;
    int16_t duplex = 1;
    int dpi = 1200;
    bool dpi_set = false;
};

// The file a document is written to, and how it is drawn.
struct OpenedDocument {
    int fd = -1;
    std::string title;
    double width = 0;  // the page in points
    double height = 0;
    double left = 0;   // the origin of the drawing, in points
    double top = 0;
    int nominal_dpi = 0;  // a line's pixel, and the device's resolution
    int device_dpi = 0;
    int copies_in_file = 1;  // copies the file itself repeats
};

class PrintDestination {
public:
    virtual ~PrintDestination() = default;

    virtual std::string device_name() const = 0;
    virtual int16_t default_duplex() const = 0;
    virtual int default_dpi() const = 0;

    // The paper for the next document; a refused value keeps the paper and
    // fails with InvalidPropertyValue (380).
    virtual Status paper_size(int16_t code) = 0;
    virtual int16_t paper_size() const = 0;
    virtual Status page_height(int32_t twips) = 0;
    virtual Status page_width(int32_t twips) = 0;

    // Opens the file of a new document.
    virtual Result<OpenedDocument> open(const DocumentSetup& setup) = 0;
    // How the document's file was closed: with every byte written, or cut
    // short by a failure to write or close it.
    enum class DocumentFile { Complete, Incomplete };
    // The file is closed, complete or not: delivers or drops it and tells
    // where the document went.
    virtual Result<std::string> finish(DocumentFile file) = 0;
    // Drops the file of the open document.
    virtual void drop() = 0;

    // The paper source and kind of the next document (IPP names, empty for
    // the destination's own); a destination without them refuses any other.
    virtual Status media_source(const std::string& name) { return name.empty() ? Status() : ErrorNumber::NotSupported; }
    virtual Status media_type(const std::string& name) { return name.empty() ? Status() : ErrorNumber::NotSupported; }
    // The print server's number of the last job delivered, 0 when none.
    virtual int32_t last_job_id() const { return 0; }
};

}  // namespace kt482
