#include "job/page_reader.h"

#include <algorithm>
#include <cstring>

#include "base/utf8.h"
#include "job/number_text.h"
#include "job/page_record.h"

namespace kt482 {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kMaxCharBytes = 4;

}  // namespace

PageReader::PageReader(Files& files, FileHandle handle) : files_(files), handle_(handle) {}

Result<bool> PageReader::fill(std::size_t count)
{
    const std::size_t available = buffer_.size() - buffer_pos_;
    if (available >= count)
        return true;
    // Move the unread rest to the front and read on behind it.
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(buffer_pos_));
    file_pos_ += buffer_pos_;
    buffer_pos_ = 0;
    // A read asks for no more than the file held when reading began: a small
    // page takes a small buffer, and a record near the end reads nothing
    // more.
    const std::size_t kept = buffer_.size();
    if (file_length_ <= file_pos_ + kept)
        return false;
    const std::size_t want = static_cast<std::size_t>(
        std::min<uint64_t>(std::max(count - kept, kChunk), file_length_ - (file_pos_ + kept)));
    buffer_.resize(kept + want);
    auto got = files_.read_at(handle_, file_pos_ + kept, std::span<char>(buffer_.data() + kept, want));
    if (!got) {
        buffer_.resize(kept);
        return got.failure();
    }
    buffer_.resize(kept + *got);
    return buffer_.size() >= count;
}

Status PageReader::read_text(int16_t length)
{
    text_.clear();
    char_offsets_.clear();
    if (length == 0)
        return {};
    // A character takes at most four bytes: one fill covers the whole text,
    // or everything up to the end of the file.
    auto ready = fill(static_cast<std::size_t>(length) * kMaxCharBytes);
    if (!ready)
        return ready.failure();
    const std::string_view rest(buffer_.data() + buffer_pos_, buffer_.size() - buffer_pos_);
    // Room for every character at once, but no more than the bytes there are:
    // the length is the file's word.
    char_offsets_.reserve(std::min(static_cast<std::size_t>(length), rest.size()));
    std::size_t used = 0;
    for (int16_t i = 0; i < length; ++i) {
        if (used >= rest.size())
            return Failure(ErrorNumber::InputPastEndOfFile);
        // Numbers and codes are ASCII: a byte below 0x80 is a character.
        if (static_cast<unsigned char>(rest[used]) < 0x80) {
            char_offsets_.push_back(static_cast<uint32_t>(used++));
            continue;
        }
        const std::string_view next = rest.substr(used, kMaxCharBytes);
        const std::size_t size = utf8_sequence_length(next);
        if (size == 0) {
            // The file may end inside a character; anything else is a text
            // that is not UTF-8, wherever it stands.
            if (is_cut_utf8_sequence(next) && next.size() < kMaxCharBytes)
                return Failure(ErrorNumber::InputPastEndOfFile);
            return Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: the page text is not UTF-8");
        }
        char_offsets_.push_back(static_cast<uint32_t>(used));
        used += size;
    }
    text_.assign(rest.substr(0, used));
    buffer_pos_ += used;
    return {};
}

Result<bool> PageReader::next(PageRecordHeader& header, std::array<std::string, 6>& fields)
{
    if (!length_known_) {
        auto length = files_.length(handle_);
        if (!length)
            return length.failure();
        file_length_ = *length;
        length_known_ = true;
    }
    const uint64_t position = file_pos_ + buffer_pos_;
    if (position + 1 >= file_length_)
        return false;

    auto ready = fill(kRecordHeaderSize);
    if (!ready)
        return ready.failure();
    if (!*ready)
        return Failure(ErrorNumber::InputPastEndOfFile);
    header = decode_record_header(buffer_.data() + buffer_pos_);
    if (header.Marker != std::array<char, 2>{':', 'C'})
        return Failure(ErrorNumber::InvalidFileFormat);
    buffer_pos_ += kRecordHeaderSize;

    if (header.TextLength < 0)
        return Failure(ErrorNumber::BadRecordLength);
    if (Status status = read_text(header.TextLength); !status)
        return status.failure();

    // Split the text into fields 1 to 5 by the character counts of the header.
    const int64_t characters = static_cast<int64_t>(char_offsets_.size());
    int64_t offset = 0;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        fields[i].clear();
        if (offset >= characters)
            continue;
        const int64_t count = header.FieldLength[i];
        if (count < 0)
            return Failure(ErrorNumber::BadRecordLength);
        const int64_t end = std::min(characters, offset + count);
        const std::size_t from = char_offsets_[static_cast<std::size_t>(offset)];
        const std::size_t to = end < characters ? char_offsets_[static_cast<std::size_t>(end)] : text_.size();
        fields[i].assign(text_, from, to - from);
        offset += count;
    }
    fields[0].clear();
    return true;
}

}  // namespace kt482
