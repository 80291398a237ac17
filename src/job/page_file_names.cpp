#include "job/page_file_names.h"

#include <cstdio>

namespace kt482 {
namespace {

std::string in_folder(std::string_view temp_dir, std::string name)
{
    if (temp_dir.empty())
        return name;
    std::string path(temp_dir);
    path += '/';
    return path + name;
}

}  // namespace

std::string PageFileName(std::string_view temp_dir, int32_t page)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", static_cast<int>(page));
    std::string name(kPageFilePrefix);
    name += digits;
    name += kPageFileSuffix;
    return in_folder(temp_dir, std::move(name));
}

std::string PageFilePattern(std::string_view temp_dir)
{
    std::string name(kPageFilePrefix);
    name += '*';
    name += kPageFileSuffix;
    return in_folder(temp_dir, std::move(name));
}

}  // namespace kt482
