#include "platform/file_publishing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <filesystem>

namespace kt482 {

int create_new_file(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The file creation mask as the kernel reports it. Reading it through
// umask() would set it for a moment, and a file or folder another thread of
// the host creates in that moment would be open to everyone.
std::optional<mode_t> process_umask()
{
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return std::nullopt;
    std::optional<mode_t> mask;
    char line[256];
    while (!mask && std::fgets(line, sizeof line, status)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1 && value <= 0777)
            mask = static_cast<mode_t>(value);
    }
    std::fclose(status);
    return mask;
}

int create_temporary_in(const std::string& folder, std::string& path)
{
    static constexpr char kName[] = "/.kt482-XXXXXX.part";
    std::string pattern = folder + kName;
    const int fd = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd < 0)
        return -1;
    // mkostemps creates the file for its owner alone; a finished file is as
    // readable as any other the process creates. Where the mask cannot be
    // read, the file stays its owner's.
    if (const std::optional<mode_t> mask = process_umask())
        (void)::fchmod(fd, 0666 & ~*mask);
    path = std::move(pattern);
    return fd;
}

// renameat2 takes the name in one step where the file system can; others
// (RENAME_NOREPLACE is refused with EINVAL) get a second link that is then
// removed, which the kernel refuses as well when the name is taken.
bool publish_new(const std::string& temporary, const std::string& path)
{
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(temporary.c_str(), path.c_str()) != 0)
        return false;
    (void)::unlink(temporary.c_str());
    return true;
}

bool publish_replacing(const std::string& temporary, const std::string& path)
{
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

namespace {

// Opened anew for the flush: on Linux fsync writes out the file's data and
// its size whichever descriptor asks.
bool sync_path(const std::string& path, int flags)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    int synced;
    do {
        synced = ::fsync(fd);
    } while (synced != 0 && errno == EINTR);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return synced == 0;
}

}  // namespace

bool sync_before_publishing(const std::string& temporary, Durability durability)
{
    return durability == Durability::Unsynced || sync_path(temporary, O_NOFOLLOW);
}

bool sync_after_publishing(const std::string& path, Durability durability)
{
    if (durability == Durability::Unsynced)
        return true;
    std::string folder = std::filesystem::path(path).parent_path().string();
    return sync_path(folder.empty() ? "." : folder, O_DIRECTORY);
}

}  // namespace kt482
