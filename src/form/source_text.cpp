#include "form/source_text.h"

#include <sys/stat.h>

#include <algorithm>

namespace kt482::form {

void PositionCounter::feed(std::string_view piece)
{
    for (const char c : piece) {
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
}

SourceText::SourceText(std::string text) : text_(std::move(text)), size_(text_.size()) {}

SourceText SourceText::borrowed(std::string_view text)
{
    SourceText source;
    source.borrowed_ = text;
    source.borrowing_ = true;
    source.size_ = text.size();
    return source;
}

std::optional<SourceText> SourceText::open_file(const std::string& path)
{
    // Only a regular file reads the same again: not a folder, pipe or
    // device. Asked before opening, as opening a pipe and closing it again
    // would lose its writer's text.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    std::shared_ptr<std::FILE> file(std::fopen(path.c_str(), "rb"), [](std::FILE* f) {
        if (f)
            std::fclose(f);
    });
    // Unbuffered, so that every window is read from the file, never from a
    // buffer of it that a seek within its range would keep.
    if (file)
        std::setvbuf(file.get(), nullptr, _IONBF, 0);
    if (!file || ::fstat(::fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode) ||
        ::fseeko(file.get(), 0, SEEK_END) != 0)
        return std::nullopt;
    const off_t length = ::ftello(file.get());
    if (length < 0 || ::fseeko(file.get(), 0, SEEK_SET) != 0)
        return std::nullopt;
    SourceText source;
    source.file_ = std::move(file);
    char mark[3] = {};
    if (std::fread(mark, 1, 3, source.file_.get()) == 3 && std::string_view(mark, 3) == "\xEF\xBB\xBF")
        source.skip_ = 3;
    source.size_ = static_cast<std::size_t>(length) - source.skip_;
    return source;
}

std::optional<std::string_view> SourceText::bytes(std::size_t begin, std::size_t end) const
{
    end = std::min(end, size_);
    if (begin > end)
        return std::nullopt;
    if (!file_)
        return view().substr(begin, end - begin);
    if (begin >= window_at_ && end <= window_at_ + window_.size())
        return std::string_view(window_).substr(begin - window_at_, end - begin);
    // A window from begin on, so that reading the rows in order reads the
    // file in large pieces.
    const std::size_t length = std::min(std::max(end - begin, kWindow), size_ - begin);
    window_.resize(length);
    window_at_ = begin;
    if (::fseeko(file_.get(), static_cast<off_t>(begin + skip_), SEEK_SET) != 0 ||
        std::fread(window_.data(), 1, length, file_.get()) != length) {
        window_.clear();
        return std::nullopt;
    }
    return std::string_view(window_).substr(0, end - begin);
}

void SourceText::forget_window() const
{
    std::string().swap(window_);
    window_at_ = 0;
}

std::string SourceText::position(std::size_t offset) const
{
    offset = std::min(offset, size_);
    PositionCounter counter;
    for (std::size_t at = 0; at < offset;) {
        const std::size_t end = std::min(offset, at + kWindow);
        const auto piece = bytes(at, end);
        if (!piece || piece->empty())
            break;
        counter.feed(*piece);
        at += piece->size();
    }
    return counter.text();
}

}  // namespace kt482::form
