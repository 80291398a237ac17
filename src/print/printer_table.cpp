#include "print/printer_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace kt482 {
namespace {

using Json = nlohmann::json;

// A calibration table is a few lines per printer; anything far larger is not
// one.
constexpr off_t kMaxTableBytes = 1 << 20;

Failure damaged(const std::string& why)
{
    return Failure(ErrorNumber::InvalidFileFormat, "The printer table is damaged: " + why);
}

Failure access_failure(const std::string& path, const std::string& why)
{
    return Failure(ErrorNumber::PathFileAccessError, "The printer table " + path + " " + why);
}

// The text of the file, nothing when it does not exist.
Result<std::optional<std::string>> read_table_file(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<std::string>();
        return access_failure(path, errno == ELOOP ? "is a symbolic link, which is not followed"
                                                   : "cannot be read");
    }
    struct stat status{};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxTableBytes) {
        ::close(fd);
        return access_failure(path, "is not a regular file of a printer table");
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return access_failure(path, "cannot be read");
        }
        if (got == 0 || text.size() > static_cast<std::size_t>(kMaxTableBytes))
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return std::optional<std::string>(std::move(text));
}

// The table's top level, checked to be what it must be.
Result<Json> parse_table(std::string_view text)
{
    Json table = Json::parse(text.begin(), text.end(), nullptr, false);
    if (table.is_discarded())
        return damaged("not JSON");
    if (!table.is_object())
        return damaged("not an object");
    if (table.contains("printers") && !table["printers"].is_object())
        return damaged("\"printers\" is not an object");
    return table;
}

Result<std::optional<PrintOffset>> offset_of(const Json& table, const std::string& queue)
{
    const auto printers = table.find("printers");
    if (printers == table.end())
        return std::optional<PrintOffset>();
    const auto entry = printers->find(queue);
    if (entry == printers->end())
        return std::optional<PrintOffset>();
    if (!entry->is_object())
        return damaged("the entry of " + queue + " is not an object");
    const auto offset = entry->find("offset_mm");
    if (offset == entry->end())
        return std::optional<PrintOffset>();
    if (!offset->is_array() || offset->size() != 2 || !(*offset)[0].is_number() || !(*offset)[1].is_number())
        return damaged("the offset of " + queue + " is not two numbers");
    const PrintOffset value{(*offset)[0].get<float>(), (*offset)[1].get<float>()};
    if (Status valid = check_print_offset(value.x_mm, value.y_mm); !valid)
        return damaged("the offset of " + queue + " is beyond the limit");
    return std::optional<PrintOffset>(value);
}

// Creates the folder of the file, private, when it is missing.
void make_folder_of(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno == ENOENT) {
        make_folder_of(folder);
        (void)::mkdir(folder.c_str(), 0700);
    }
}

// Writes the text to a private file beside path and renames it over path:
// a symbolic link at path is replaced, never followed.
Status replace_file(const std::string& path, const std::string& text)
{
    make_folder_of(path);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return access_failure(path, "cannot be written");
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
    const bool written = done == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return access_failure(path, "cannot be written");
    }
    return {};
}

}  // namespace

Status check_print_offset(float x_mm, float y_mm)
{
    const auto within = [](float v) { return std::isfinite(v) && std::fabs(v) <= kMaxPrintOffsetMm; };
    if (within(x_mm) && within(y_mm))
        return {};
    return Failure(ErrorNumber::InvalidPropertyValue,
                   "An offset is a number of millimetres from -20 to 20 either way");
}

std::string printer_table_path()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/kt482/printers.json";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/kt482/printers.json";
    return {};
}

Result<std::optional<PrintOffset>> offset_in_table(std::string_view text, const std::string& queue)
{
    auto table = parse_table(text);
    if (!table)
        return table.failure();
    return offset_of(*table, queue);
}

Result<std::optional<PrintOffset>> stored_print_offset(const std::string& path, const std::string& queue)
{
    auto text = read_table_file(path);
    if (!text)
        return text.failure();
    if (!*text)
        return std::optional<PrintOffset>();
    return offset_in_table(**text, queue);
}

Status store_print_offset(const std::string& path, const std::string& queue, PrintOffset offset)
{
    if (Status valid = check_print_offset(offset.x_mm, offset.y_mm); !valid)
        return valid;
    auto text = read_table_file(path);
    if (!text)
        return text.failure();
    Json table = Json::object();
    if (*text) {
        auto parsed = parse_table(**text);
        if (!parsed)
            return parsed.failure();
        table = std::move(*parsed);
    }
    Json& entry = table["printers"][queue];
    if (!entry.is_object())
        entry = Json::object();
    // Tenths of a millimetre are what a ruler gives; two decimals keep the
    // file readable.
    const auto rounded = [](float v) { return std::round(static_cast<double>(v) * 100.0) / 100.0; };
    entry["offset_mm"] = Json::array({rounded(offset.x_mm), rounded(offset.y_mm)});
    return replace_file(path, table.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

}  // namespace kt482
