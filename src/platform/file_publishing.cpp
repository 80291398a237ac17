#include "platform/file_publishing.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kt482 {

int create_new_file(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int create_temporary_in(const std::string& folder, std::string& path)
{
    static constexpr char kName[] = "/.kt482-XXXXXX.part";
    std::string pattern = folder + kName;
    const int fd = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
    if (fd < 0)
        return -1;
    // mkostemps creates the file for its owner alone; a finished file is as
    // readable as any other the process creates.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
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

}  // namespace kt482
