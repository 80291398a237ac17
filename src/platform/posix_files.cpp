#include "platform/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <limits>
#include <vector>

#include "base/utf8.h"

namespace kt482 {
namespace {

constexpr FileHandle kFirstHandle = 1;
constexpr FileHandle kLastHandle = 255;

// Appends collect until the buffer reaches this size. A page spool writes
// many short records, and one write per 64 KiB keeps the system calls out of
// the per-record cost.
constexpr std::size_t kFlushThreshold = 64 * 1024;

bool valid_handle(FileHandle handle)
{
    return handle >= kFirstHandle && handle <= kLastHandle;
}

// A name with an embedded NUL would be cut short silently by the C calls and
// reach a different file than the one asked for.
bool valid_path(const std::string& path)
{
    return path.find('\0') == std::string::npos;
}

Failure open_failure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ErrorNumber::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PermissionDenied;
    case EMFILE:
    case ENFILE:
        return ErrorNumber::TooManyFiles;
    case ENOSPC:
    case EDQUOT:
        return ErrorNumber::DiskFull;
    default:
        // ELOOP (a symlink refused by O_NOFOLLOW), EISDIR and the rest.
        return ErrorNumber::PathFileAccessError;
    }
}

Failure unlink_failure(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PermissionDenied;
    case ENOTDIR:
        return ErrorNumber::PathNotFound;
    default:
        return ErrorNumber::PathFileAccessError;
    }
}

Failure write_failure(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return ErrorNumber::DiskFull;
    return ErrorNumber::DeviceIoError;
}

// The folder part of a path: everything before the last '/', the root for a
// name directly under it, the current folder when there is no '/'. Extra
// separators at its end ("dir//name") are harmless to the system calls.
std::string folder_of(const std::string& path, std::size_t slash)
{
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool is_folder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes all of data at the current end of the file. The end is looked up on
// every call because another handle on the same file may have grown it.
Status write_at_end(int fd, std::string_view data)
{
    if (::lseek(fd, 0, SEEK_END) < 0)
        return write_failure(errno);
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return write_failure(errno);
        // A regular file never accepts zero bytes of a non-empty write
        // unless something is badly wrong; do not spin on it.
        if (n == 0)
            return ErrorNumber::DeviceIoError;
        done += static_cast<std::size_t>(n);
    }
    return {};
}

// The index after the UTF-8 character starting at i; a byte that starts no
// valid sequence counts as one character.
std::size_t next_code_point(std::string_view text, std::size_t i)
{
    const std::size_t length = utf8_sequence_length(text.substr(i));
    return i + (length != 0 ? length : 1);
}

// Wildcard match with one backtrack point: on a mismatch the most recent '*'
// swallows one more code point and matching resumes after it. Earlier stars
// never need revisiting, so the cost stays within name length times pattern
// length, whatever the pattern.
bool wildcard_match(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t star_name = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_name = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n = next_code_point(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            star_name = next_code_point(name, star_name);
            n = star_name;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Opens a page file for reading and writing: a new one is created
// exclusively, so that nothing planted under its name in a shared folder is
// taken over between a check and the open. O_NONBLOCK keeps a FIFO or device
// node from blocking the open; such files are refused by the caller, and
// regular files ignore the flag. Returns -1 with errno set on failure.
int open_page_file(const std::string& path)
{
    constexpr int kCommon = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    // A file that vanishes between the two opens is simply created next time.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = -1;
        do {
            fd = ::open(path.c_str(), kCommon | O_CREAT | O_EXCL, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        do {
            fd = ::open(path.c_str(), kCommon);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// An existing page file is used only when it is a regular file of this user
// with no other name: a file another user planted, or a hard link to someone
// else's file, would hand its records to whoever else can open it.
bool own_private_file(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

// Closes a directory stream on every way out of the function.
class DirCloser {
public:
    explicit DirCloser(DIR* dir) : dir_(dir) {}
    ~DirCloser() { ::closedir(dir_); }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* dir_;
};

class PosixFiles final : public Files {
public:
    PosixFiles() = default;
    ~PosixFiles() override { (void)close_all(); }
    PosixFiles(const PosixFiles&) = delete;
    PosixFiles& operator=(const PosixFiles&) = delete;

    Result<FileHandle> free_handle() override;
    Status open(FileHandle handle, const std::string& path) override;
    Status append(FileHandle handle, std::string_view bytes) override;
    Result<std::size_t> read_at(FileHandle handle, uint64_t pos, std::span<char> out) override;
    Result<uint64_t> length(FileHandle handle) override;
    bool is_open(FileHandle handle) const override;
    Status close(FileHandle handle) override;
    Status close_all() override;
    Status remove(const std::string& path) override;
    Status remove_matching(const std::string& pattern) override;

private:
    struct OpenFile {
        int fd = -1;
        std::string pending;
    };

    // The open file behind handle, or null when the number is out of range
    // or nothing is open on it.
    OpenFile* find(FileHandle handle);
    Status flush(OpenFile& file);

    // Indexed by handle number; entry 0 is never used.
    std::array<OpenFile, kLastHandle + 1> files_;
};

PosixFiles::OpenFile* PosixFiles::find(FileHandle handle)
{
    if (!valid_handle(handle))
        return nullptr;
    OpenFile& file = files_[static_cast<std::size_t>(handle)];
    return file.fd >= 0 ? &file : nullptr;
}

// The buffer is emptied even when the write fails: the failure is reported
// once, and a full disk does not make the buffer grow without bound.
Status PosixFiles::flush(OpenFile& file)
{
    if (file.pending.empty())
        return {};
    Status status = write_at_end(file.fd, file.pending);
    file.pending.clear();
    return status;
}

Result<FileHandle> PosixFiles::free_handle()
{
    for (FileHandle h = kFirstHandle; h <= kLastHandle; ++h) {
        if (files_[static_cast<std::size_t>(h)].fd < 0)
            return h;
    }
    return ErrorNumber::TooManyFiles;
}

Status PosixFiles::open(FileHandle handle, const std::string& path)
{
    if (!valid_handle(handle) || !valid_path(path))
        return ErrorNumber::BadFileNameOrNumber;
    if (is_open(handle))
        return ErrorNumber::FileAlreadyOpen;
    // Another handle may hold appends to the same file, as when a page that is
    // being recorded is read back: the new handle must see them.
    for (OpenFile& other : files_) {
        if (other.fd >= 0) {
            if (Status status = flush(other); !status)
                return status;
        }
    }

    int fd = open_page_file(path);
    if (fd < 0)
        return open_failure(errno);
    if (!own_private_file(fd)) {
        ::close(fd);
        return ErrorNumber::PathFileAccessError;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        ::close(fd);
        return ErrorNumber::PathFileAccessError;
    }
    files_[static_cast<std::size_t>(handle)].fd = fd;
    return {};
}

Status PosixFiles::append(FileHandle handle, std::string_view bytes)
{
    OpenFile* file = find(handle);
    if (!file)
        return ErrorNumber::BadFileNameOrNumber;

    // A block as large as the buffer itself gains nothing from a copy.
    if (bytes.size() >= kFlushThreshold) {
        Status status = flush(*file);
        if (!status)
            return status;
        return write_at_end(file->fd, bytes);
    }
    file->pending.append(bytes);
    if (file->pending.size() >= kFlushThreshold)
        return flush(*file);
    return {};
}

Result<std::size_t> PosixFiles::read_at(FileHandle handle, uint64_t pos, std::span<char> out)
{
    OpenFile* file = find(handle);
    if (!file)
        return ErrorNumber::BadFileNameOrNumber;
    Status status = flush(*file);
    if (!status)
        return status.failure();

    // No file reaches an offset beyond what off_t holds.
    constexpr auto kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (pos >= kMaxOffset)
        return std::size_t{0};
    std::size_t done = 0;
    while (done < out.size()) {
        uint64_t at = pos + done;
        if (at >= kMaxOffset)
            break;
        ssize_t n = ::pread(file->fd, out.data() + done, out.size() - done, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ErrorNumber::DeviceIoError;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

Result<uint64_t> PosixFiles::length(FileHandle handle)
{
    OpenFile* file = find(handle);
    if (!file)
        return ErrorNumber::BadFileNameOrNumber;
    Status status = flush(*file);
    if (!status)
        return status.failure();
    struct stat st {};
    if (::fstat(file->fd, &st) != 0)
        return ErrorNumber::DeviceIoError;
    return static_cast<uint64_t>(st.st_size);
}

bool PosixFiles::is_open(FileHandle handle) const
{
    return valid_handle(handle) && files_[static_cast<std::size_t>(handle)].fd >= 0;
}

Status PosixFiles::close(FileHandle handle)
{
    if (!valid_handle(handle))
        return ErrorNumber::BadFileNameOrNumber;
    OpenFile* file = find(handle);
    if (!file)
        return {};
    Status status = flush(*file);
    // Linux releases the descriptor even when close reports an error, so a
    // retry could close a descriptor another thread has just been given.
    int result = ::close(file->fd);
    int error = errno;
    file->fd = -1;
    std::string().swap(file->pending);
    if (!status)
        return status;
    if (result != 0 && error != EINTR)
        return write_failure(error);
    return {};
}

Status PosixFiles::close_all()
{
    Status first;
    for (FileHandle h = kFirstHandle; h <= kLastHandle; ++h) {
        Status status = close(h);
        if (first && !status)
            first = status;
    }
    return first;
}

Status PosixFiles::remove(const std::string& path)
{
    if (!valid_path(path))
        return ErrorNumber::BadFileNameOrNumber;
    if (::unlink(path.c_str()) == 0)
        return {};
    if (errno != ENOENT)
        return unlink_failure(errno);
    if (is_folder(folder_of(path, path.rfind('/'))))
        return ErrorNumber::FileNotFound;
    return ErrorNumber::PathNotFound;
}

Status PosixFiles::remove_matching(const std::string& pattern)
{
    if (!valid_path(pattern))
        return ErrorNumber::BadFileNameOrNumber;
    std::size_t slash = pattern.rfind('/');
    std::string folder = folder_of(pattern, slash);
    std::string_view name_pattern(pattern);
    if (slash != std::string::npos)
        name_pattern.remove_prefix(slash + 1);

    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return open_failure(errno);
    DirCloser closer(dir);
    int dfd = ::dirfd(dir);

    // The names are collected before anything is deleted, since removing
    // entries while the stream is read leaves it unspecified which of the
    // remaining entries the stream still returns.
    std::vector<std::string> names;
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != ".." && wildcard_match(name_pattern, name))
            names.emplace_back(name);
        errno = 0;
    }
    if (errno != 0)
        return ErrorNumber::DeviceIoError;

    bool matched = false;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // Gone since the listing: someone else removed it already.
            if (errno == ENOENT)
                continue;
            return unlink_failure(errno);
        }
        if (S_ISDIR(st.st_mode))
            continue;
        matched = true;
        if (::unlinkat(dfd, name.c_str(), 0) != 0 && errno != ENOENT)
            return unlink_failure(errno);
    }
    if (!matched)
        return ErrorNumber::FileNotFound;
    return {};
}

}  // namespace

std::unique_ptr<Files> make_posix_files()
{
    return std::make_unique<PosixFiles>();
}

}  // namespace kt482
