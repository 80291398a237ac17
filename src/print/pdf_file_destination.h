// The built-in PDF printer's destination: PDF files, into an output folder
// under names of their own, or to a file the host names.
//
// Files
//   In the folder (pdf_output_folder()), a document is a new file
//   "KT482-<yyyyMMdd-HHmmss>-<n>.pdf", never put over an existing one. Every
//   document is written beside its name, under a hidden temporary ending in
//   ".part", and takes the name only once complete: a failed, dropped or
//   killed document leaves the old file (or nothing) under the name. A named
//   file replaces the file of that name. See platform/file_publishing.h for
//   what a crash leaves behind. Copies are collated: the pages of each
//   further copy are new pages on the content already written.
//
// Paper
//   Every paper code with dimensions is taken; a user-defined page (256) is
//   3 to 14,400 points on a side. Duplex is taken and ignored. The
//   resolution is that of a line's pixel once set; before, a pixel is 1/600
//   inch.
#pragma once

#include <cstdint>
#include <string>

#include "print/print_destination.h"

namespace kt482 {

class PdfFileDestination final : public PrintDestination {
public:
    // An empty file: new files in the output folder.
    explicit PdfFileDestination(std::string file);

    std::string device_name() const override;
    int16_t default_duplex() const override { return 1; }
    int default_dpi() const override { return 1200; }

    Status paper_size(int16_t code) override;
    int16_t paper_size() const override;
    Status page_height(int32_t twips) override;
    Status page_width(int32_t twips) override;

    Result<OpenedDocument> open(const DocumentSetup& setup) override;
    Result<std::string> finish(DocumentFile file) override;
    void drop() override;

private:
    Status create_file();
    bool publish_in_folder();
    // The page of the next document in points, turned for landscape.
    void page_points(bool landscape, double& width, double& height) const;

    std::string file_;  // named by the host; empty for the folder

    int16_t paper_code_;  // as set; it reads back as the lowest code of its size
    bool user_defined_ = false;
    int32_t user_height_twips_ = 0;
    int32_t user_width_twips_ = 0;

    // The open document's file (a temporary one beside a named file).
    int fd_ = -1;
    std::string writing_path_;
    std::string final_path_;
};

}  // namespace kt482
