// A spool folder written by another process: which pages it holds, and
// whether each page file reads back record by record.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job/job_state.h"

namespace kt482::cli {

struct SpoolFolder {
    std::string path;
    std::vector<int> pages;  // page numbers with a file, ascending
};

// Lists the page files of folder. A folder that is missing, not a folder,
// unreadable or without a single page file gives the reason instead.
struct FolderScan {
    std::optional<SpoolFolder> folder;
    std::string problem;
};
FolderScan scan_spool_folder(const std::string& path);

using RecordFields = std::array<std::string, 6>;
using RecordVisitor = std::function<void(const PageRecordHeader&, const RecordFields&)>;

// Reads every record of one page, calling visit for each. Returns the empty
// text when the page reads to its end, else "FILE: record N: what is wrong".
std::string read_page(const SpoolFolder& folder, int page, const RecordVisitor& visit);

// The pages of folder inside first..last (0 for the first or last recorded
// page), checked as read_page does; the first problem found is returned.
std::string check_pages(const SpoolFolder& folder, int first, int last);

}  // namespace kt482::cli
