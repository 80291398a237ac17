#include "cli/spool_folder.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "job/page_file_names.h"
#include "job/page_reader.h"
#include "platform/services.h"

namespace kt482::cli {
namespace {

// "KT482_PRT_PAGE_0012.tmp" gives 12; any other name nothing.
std::optional<int> page_number_of(std::string_view name)
{
    if (!name.starts_with(kPageFilePrefix) || !name.ends_with(kPageFileSuffix))
        return std::nullopt;
    name.remove_prefix(kPageFilePrefix.size());
    name.remove_suffix(kPageFileSuffix.size());
    int page = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), page);
    if (ec != std::errc() || end != name.data() + name.size() || name.size() < 4 || page < 1 || page > 9999)
        return std::nullopt;
    return page;
}

}  // namespace

FolderScan scan_spool_folder(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status))
        return {std::nullopt, path + ": no such folder"};
    if (fs::is_symlink(status))
        return {std::nullopt, path + ": a symbolic link; name the folder itself"};
    if (!fs::is_directory(status))
        return {std::nullopt, path + ": not a folder"};
    SpoolFolder folder{path, {}};
    fs::directory_iterator it(path, ec);
    if (ec)
        return {std::nullopt, path + ": " + ec.message()};
    for (const fs::directory_entry& entry : it) {
        if (!entry.is_regular_file(ec) || entry.is_symlink(ec))
            continue;
        if (auto page = page_number_of(entry.path().filename().string()))
            folder.pages.push_back(*page);
    }
    if (folder.pages.empty())
        return {std::nullopt, path + ": no page files (" + std::string(kPageFilePrefix) + "NNNN" +
                                  std::string(kPageFileSuffix) + ") in this folder"};
    std::sort(folder.pages.begin(), folder.pages.end());
    return {std::move(folder), {}};
}

std::string read_page(const SpoolFolder& folder, int page, const RecordVisitor& visit)
{
    const std::string path = PageFileName(folder.path, page);
    Files& files = kt482::files();
    auto handle = files.free_handle();
    if (!handle)
        return path + ": " + handle.failure().description;
    if (auto opened = files.open(*handle, path); !opened)
        return path + ": " + opened.failure().description;
    PageReader reader(files, *handle);
    PageRecordHeader header;
    RecordFields fields;
    std::string problem;
    for (long record = 1;; ++record) {
        auto more = reader.next(header, fields);
        if (!more) {
            problem = path + ": record " + std::to_string(record) + ": " + more.failure().description;
            break;
        }
        if (!*more)
            break;
        if (visit)
            visit(header, fields);
    }
    (void)files.close(*handle);
    return problem;
}

std::string check_pages(const SpoolFolder& folder, int first, int last)
{
    if (first == 0)
        first = folder.pages.front();
    if (last == 0)
        last = folder.pages.back();
    for (int page : folder.pages) {
        if (page < first || page > last)
            continue;
        if (std::string problem = read_page(folder, page, nullptr); !problem.empty())
            return problem;
    }
    return {};
}

}  // namespace kt482::cli
