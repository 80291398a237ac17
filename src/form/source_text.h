// A document's bytes, held in memory or left in its file and read again by
// range. A form keeps its data file this way, so that a statement of many
// thousand lines never holds its text whole: the rows are read a window at
// a time, and a line and column are counted from the start when a problem
// needs them.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kt482::form {

// Line and column (both from 1; columns count characters, not bytes) of the
// byte after the text fed so far, fed in pieces.
struct PositionCounter {
    std::size_t line = 1, column = 1;
    void feed(std::string_view piece);
    std::string text() const { return std::to_string(line) + ":" + std::to_string(column); }
};

class SourceText {
public:
    SourceText() = default;
    // Held in memory.
    explicit SourceText(std::string text);
    // Left in the file, which stays open; a UTF-8 byte-order mark is not
    // part of the text. nullopt when the file cannot be opened or sized.
    static std::optional<SourceText> open_file(const std::string& path);
    // A view of a text the caller keeps for as long as this is used.
    static SourceText borrowed(std::string_view text);

    bool in_memory() const { return !file_; }
    std::size_t size() const { return size_; }
    // The whole text when it is held in memory, and empty otherwise.
    std::string_view view() const { return borrowing_ ? borrowed_ : std::string_view(text_); }
    // The bytes [begin, end) (end past the size reads to the end): in memory
    // a view into the text; from a file a view into a window of at least
    // kWindow bytes, valid until the next call. nullopt when the file no
    // longer has them.
    std::optional<std::string_view> bytes(std::size_t begin, std::size_t end) const;
    // Drops the window read last, once a reader is done with it.
    void forget_window() const;
    // "line:column" of a byte offset (past the end: of the end).
    std::string position(std::size_t offset) const;

    static constexpr std::size_t kWindow = 64 * 1024;

private:
    std::string text_;
    std::string_view borrowed_;
    bool borrowing_ = false;
    std::size_t size_ = 0;
    // The file and the bytes the mark skipped; a window of it read last.
    std::shared_ptr<std::FILE> file_;
    std::size_t skip_ = 0;
    mutable std::string window_;
    mutable std::size_t window_at_ = 0;
};

}  // namespace kt482::form
