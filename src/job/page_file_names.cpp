#include "job/page_file_names.h"

#include <cstdio>

namespace kt482 {
namespace {

// The folder and the name with middle between the prefix and the suffix,
// built in one string: a page is opened by its name every time it is drawn.
std::string in_folder(std::string_view temp_dir, std::string_view middle)
{
    std::string path;
    path.reserve(temp_dir.size() + 1 + kPageFilePrefix.size() + middle.size() + kPageFileSuffix.size());
    if (!temp_dir.empty()) {
        path += temp_dir;
        path += '/';
    }
    path += kPageFilePrefix;
    path += middle;
    path += kPageFileSuffix;
    return path;
}

}  // namespace

std::string PageFileName(std::string_view temp_dir, int32_t page)
{
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%04d", static_cast<int>(page));
    return in_folder(temp_dir, std::string_view(digits, static_cast<std::size_t>(length)));
}

std::string PageFilePattern(std::string_view temp_dir)
{
    return in_folder(temp_dir, "*");
}

}  // namespace kt482
