#include "image/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace kt482 {
namespace {

Failure open_failure(int error)
{
    switch (error) {
    case ENOENT: return Failure(ErrorNumber::FileNotFound);
    case ENOTDIR: return Failure(ErrorNumber::PathNotFound);
    case EACCES:
    case EPERM: return Failure(ErrorNumber::PermissionDenied);
    default: return Failure(ErrorNumber::PathFileAccessError);
    }
}

FileIdentity identity_of(const struct stat& st)
{
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Opens without following a symlink and without blocking on a FIFO; only a
// regular file is accepted.
Result<int> open_regular(const std::string& path, struct stat& st)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return open_failure(errno == ELOOP ? EINVAL : errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure(ErrorNumber::PathFileAccessError);
    }
    return fd;
}

}  // namespace

Result<FileIdentity> picture_file_identity(const std::string& path)
{
    struct stat st;
    auto fd = open_regular(path, st);
    if (!fd)
        return fd.failure();
    Descriptor guard(*fd);
    return identity_of(st);
}

Result<std::vector<uint8_t>> read_picture_file(const std::string& path, FileIdentity& identity)
{
    struct stat st;
    auto fd = open_regular(path, st);
    if (!fd)
        return fd.failure();
    Descriptor guard(*fd);
    if (static_cast<uint64_t>(st.st_size) > kMaxPictureFileBytes)
        return Failure(ErrorNumber::InvalidPicture, "Invalid picture: the file is too large");
    identity = identity_of(st);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(guard.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Failure(ErrorNumber::DeviceIoError);
        if (got == 0)
            break;  // shortened while read: the decoder finds it cut short
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

std::string absolute_picture_path(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder))
        return path;
    std::string absolute(folder);
    if (absolute.back() != '/')
        absolute.push_back('/');
    return absolute + path;
}

}  // namespace kt482
