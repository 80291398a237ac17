// A print queue's destination. Documents are written to a private file and
// sent as PDF jobs through libcups (cups_job.h); the platform's description
// of the queue (platform/print_queue.h) tells the papers and margins its
// driver allows. The drawing area is the printable area of the queue's paper
// (its driver's hardware margins), in points from its top left corner.
//
// Paper
//   PaperSize(code)  a paper code with dimensions (base/paper_table.h). A
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
//   Copies are made by the driver from the one job; the resolution starts at
//   the queue's own. The paper source and kind are the queue's own until
//   set to one of the names the queue lists (asked at the time of setting).
//
// Failures
//   A queue whose print server stops answering, a document that cannot be
//   written and a job the server refuses are PrinterError (482). Every
//   failure leaves the printer ready for the next document.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/print_queue.h"
#include "print/cups_job.h"
#include "print/print_destination.h"

namespace kt482 {

class CupsQueueDestination final : public PrintDestination {
public:
    explicit CupsQueueDestination(std::unique_ptr<PrintQueue> queue);

    std::string device_name() const override { return queue_->name(); }
    int16_t default_duplex() const override { return queue_->default_duplex(); }
    int default_dpi() const override { return queue_->default_dpi(); }

    Status paper_size(int16_t code) override;
    int16_t paper_size() const override;
    Status page_height(int32_t twips) override;
    Status page_width(int32_t twips) override;

    Result<OpenedDocument> open(const DocumentSetup& setup) override;
    Result<std::string> finish(DocumentFile file) override;
    void drop() override;

    Status media_source(const std::string& name) override;
    Status media_type(const std::string& name) override;
    int32_t last_job_id() const override { return last_job_id_; }

private:
    bool page_side_fits(int32_t twips) const;

    std::unique_ptr<PrintQueue> queue_;

    // The paper for the next document: one of the queue's (its default one
    // until a code is set), and the code set (the lowest code of its size), 0
    // while it is the queue's own; true when the queue carries that paper
    // only turned by 90 degrees.
    std::size_t paper_ = QueueSheet::kDefaultPaper;
    int16_t paper_code_ = 0;
    bool paper_turned_ = false;
    bool user_defined_ = false;
    int32_t user_height_twips_ = 0;
    int32_t user_width_twips_ = 0;

    // The open document's private file and the job's options.
    std::string pdf_path_;
    CupsJobOptions options_;

    // The paper source and kind chosen for the next documents, and the
    // number of the last job sent.
    std::string media_source_;
    std::string media_type_;
    int32_t last_job_id_ = 0;
};

}  // namespace kt482
