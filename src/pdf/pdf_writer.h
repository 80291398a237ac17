// The low level of a PDF file: numbered objects written one after the other
// to a file descriptor, their offsets for the cross-reference table, and
// numbers written the one way a PDF reader takes them.
//
// Objects may be reserved before they are written (a page names its content
// stream and its parent before either exists) and written in any order. The
// writer keeps eight bytes per object, never the objects themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kt482::pdf {

// The largest number written: beyond it a coordinate means nothing on any
// page (the largest is 14,400 points) and older readers stop taking reals.
inline constexpr double kLargestPdfNumber = 32767.0;

// Appends a number rounded to two decimals, without trailing zeros; values
// that are not finite become 0 and huge ones are clamped, so that no number
// written is ever malformed or beyond what readers take.
void append_number(std::string& out, double value);
// The same with three decimals, for glyph widths in thousandths of an em.
void append_number3(std::string& out, double value);
// The value append_number writes for a number: rounded to two decimals,
// clamped, 0 when not finite.
double written_number(double value);
// A text string: as it stands when printable ASCII, else UTF-16BE in hex.
void append_text_string(std::string& out, std::string_view utf8);

// Text as UTF-16BE in hex between angle brackets, with the byte order mark
// a text string starts with, or without it (a CMap's destination strings).
enum class ByteOrderMark { With, Without };
void append_utf16_hex(std::string& out, std::u32string_view text, ByteOrderMark mark);

// Deflates data (zlib format) with libdeflate. Level 9 makes page content
// about 2 % smaller than 6 for half as much time again, which the worker
// threads absorb; 12 would take four times as long.
std::string deflate(std::string_view data, int level = 9);

class PdfWriter {
public:
    // Writes to fd, which the writer does not close.
    explicit PdfWriter(int fd);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // A new object number for an object written later.
    uint32_t reserve();
    // An object whose body (dictionary, array, ...) is given whole; its
    // strings are encrypted when the document is. Returns the offset of the
    // body in the file.
    uint64_t object(uint32_t number, std::string_view body);
    // The same, written exactly as given (the encryption dictionary, and a
    // signature whose strings were encrypted apart from its contents).
    uint64_t plain_object(uint32_t number, std::string_view body);
    // A stream object: extra dictionary entries and the data, deflated
    // already when the entries say so; the data is encrypted when the
    // document is.
    void stream(uint32_t number, std::string_view entries, std::string_view data);
    // From now on strings and streams are encrypted with the key (AESV3),
    // and the trailer names the encryption dictionary.
    void encrypt_with(std::string key, uint32_t dictionary);
    // The literal and hexadecimal strings of a body encrypted, as hex
    // strings; the body itself when the document is not encrypted.
    std::string encrypt_strings(std::string_view body) const;
    // The cross-reference table and trailer, with the file's identifier (16
    // bytes, written twice) when given; then flushes. False when any write
    // failed.
    bool finish(uint32_t root, uint32_t info, std::string_view id = {});

    // The file descriptor, for completing a signature once the file is.
    int fd() const { return fd_; }

    bool failed() const { return failed_; }
    uint64_t bytes_written() const { return offset_; }

private:
    void write(std::string_view data);
    void flush();
    void begin(uint32_t number);

    int fd_;
    std::string buffer_;
    uint64_t offset_ = 0;
    std::vector<uint64_t> offsets_;  // by object number - 1; 0 while unwritten
    bool failed_ = false;
    std::string key_;  // empty: not encrypted
    uint32_t encryption_ = 0;
};

}  // namespace kt482::pdf
