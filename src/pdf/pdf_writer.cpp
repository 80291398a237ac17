#include "pdf/pdf_writer.h"

#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <charconv>
#include <cmath>
#include <memory>
#include <new>

#include "sign/pdf_encryption.h"
#include "text/font_service.h"

namespace kt482::pdf {
namespace {

constexpr std::size_t kBufferSize = 1 << 18;

void append_scaled(std::string& out, double value, int decimals, int64_t scale)
{
    if (!std::isfinite(value))
        value = 0;
    value = std::clamp(value, -kLargestPdfNumber, kLargestPdfNumber);
    int64_t scaled = std::llround(value * static_cast<double>(scale));
    if (scaled < 0) {
        out.push_back('-');
        scaled = -scaled;
    }
    char digits[24];
    auto whole = std::to_chars(digits, digits + sizeof digits, scaled / scale);
    out.append(digits, whole.ptr);
    int64_t fraction = scaled % scale;
    if (fraction == 0)
        return;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --decimals;
    }
    out.push_back('.');
    char fraction_digits[8];
    auto end = std::to_chars(fraction_digits, fraction_digits + sizeof fraction_digits, fraction);
    for (auto n = end.ptr - fraction_digits; n < decimals; ++n)
        out.push_back('0');
    out.append(fraction_digits, end.ptr);
}

}  // namespace

void append_number(std::string& out, double value)
{
    append_scaled(out, value, 2, 100);
}

void append_number3(std::string& out, double value)
{
    append_scaled(out, value, 3, 1000);
}

double written_number(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<double>(std::llround(std::clamp(value, -kLargestPdfNumber, kLargestPdfNumber) * 100)) / 100;
}

void append_text_string(std::string& out, std::string_view utf8)
{
    bool plain = true;
    for (const char c : utf8)
        plain = plain && c >= ' ' && c < 0x7F;
    if (plain) {
        out.push_back('(');
        for (const char c : utf8) {
            if (c == '(' || c == ')' || c == '\\')
                out.push_back('\\');
            out.push_back(c);
        }
        out.push_back(')');
        return;
    }
    std::u32string chars;
    text::decode_utf8(utf8, chars);
    append_utf16_hex(out, chars, ByteOrderMark::With);
}

void append_utf16_hex(std::string& out, std::u32string_view text, ByteOrderMark mark)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto unit = [&](unsigned u) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kHex[(u >> shift) & 0xF]);
    };
    out.push_back('<');
    if (mark == ByteOrderMark::With)
        unit(0xFEFF);
    for (const char32_t c : text) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    out.push_back('>');
}

namespace {

// A compressor costs a few hundred kilobytes to set up; each thread keeps
// one per level it uses.
struct Compressor {
    explicit Compressor(int level) : handle(libdeflate_alloc_compressor(level)) {}
    ~Compressor() { libdeflate_free_compressor(handle); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    libdeflate_compressor* handle;
};

libdeflate_compressor* compressor_for(int level)
{
    level = std::clamp(level, 0, 12);
    thread_local std::unique_ptr<Compressor> compressors[13];
    if (!compressors[level])
        compressors[level] = std::make_unique<Compressor>(level);
    if (!compressors[level]->handle)
        throw std::bad_alloc();
    return compressors[level]->handle;
}

}  // namespace

std::string deflate(std::string_view data, int level)
{
    libdeflate_compressor* compressor = compressor_for(level);
    std::string out(libdeflate_zlib_compress_bound(compressor, data.size()), '\0');
    const std::size_t size = libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), out.size());
    out.resize(size);
    return out;
}

PdfWriter::PdfWriter(int fd) : fd_(fd)
{
    buffer_.reserve(kBufferSize);
    // The binary comment tells transfer programs the file is not text.
    write("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n");
}

PdfWriter::~PdfWriter() = default;

uint32_t PdfWriter::reserve()
{
    offsets_.push_back(0);
    return static_cast<uint32_t>(offsets_.size());
}

void PdfWriter::begin(uint32_t number)
{
    if (number == 0 || number > offsets_.size())
        return;
    offsets_[number - 1] = offset_;
    std::string head;
    char digits[16];
    head.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
    head += " 0 obj\n";
    write(head);
}

uint64_t PdfWriter::object(uint32_t number, std::string_view body)
{
    if (key_.empty())
        return plain_object(number, body);
    return plain_object(number, encrypt_strings(body));
}

uint64_t PdfWriter::plain_object(uint32_t number, std::string_view body)
{
    begin(number);
    const uint64_t at = offset_;
    write(body);
    write("\nendobj\n");
    return at;
}

void PdfWriter::stream(uint32_t number, std::string_view entries, std::string_view data)
{
    std::string encrypted;
    if (!key_.empty()) {
        encrypted = sign::encrypt_aesv3(key_, data);
        data = encrypted;
    }
    begin(number);
    std::string head = "<<";
    head += entries;
    head += "/Length ";
    head += std::to_string(data.size());
    head += ">>\nstream\n";
    write(head);
    write(data);
    write("\nendstream\nendobj\n");
}

void PdfWriter::encrypt_with(std::string key, uint32_t dictionary)
{
    key_ = std::move(key);
    encryption_ = dictionary;
}

namespace {

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The bytes of the literal string at body[at] ('('), its escapes undone;
// at moves past its closing parenthesis.
std::string literal_bytes(std::string_view body, std::size_t& at)
{
    std::string bytes;
    int depth = 0;
    for (++at; at < body.size(); ++at) {
        char c = body[at];
        if (c == '\\' && at + 1 < body.size()) {
            c = body[++at];
            switch (c) {
            case 'n': bytes.push_back('\n'); break;
            case 'r': bytes.push_back('\r'); break;
            case 't': bytes.push_back('\t'); break;
            case 'b': bytes.push_back('\b'); break;
            case 'f': bytes.push_back('\f'); break;
            case '\n': break;  // a line continued
            default:
                if (c >= '0' && c <= '7') {
                    int value = 0;
                    for (int digits = 0; digits < 3 && at < body.size() && body[at] >= '0' && body[at] <= '7';
                         ++digits, ++at)
                        value = value * 8 + (body[at] - '0');
                    --at;
                    bytes.push_back(static_cast<char>(value & 0xFF));
                } else {
                    bytes.push_back(c);
                }
            }
            continue;
        }
        if (c == '(')
            ++depth;
        if (c == ')' && depth-- == 0) {
            ++at;
            return bytes;
        }
        bytes.push_back(c);
    }
    return bytes;
}

// The bytes of the hexadecimal string at body[at] ('<'); at moves past '>'.
std::string hex_bytes(std::string_view body, std::size_t& at)
{
    std::string bytes;
    int high = -1;
    for (++at; at < body.size() && body[at] != '>'; ++at) {
        const int v = hex_value(body[at]);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        bytes.push_back(static_cast<char>(high * 16));
    ++at;
    return bytes;
}

}  // namespace

// Every string the engine writes is a literal or a hex string in a body that
// holds no comments and no stream data, so that a scan for their delimiters
// finds them all; dictionaries' "<<" and ">>" are passed over.
std::string PdfWriter::encrypt_strings(std::string_view body) const
{
    if (key_.empty())
        return std::string(body);
    std::string out;
    out.reserve(body.size() * 2);
    std::size_t at = 0;
    while (at < body.size()) {
        const char c = body[at];
        std::string bytes;
        if (c == '(') {
            bytes = literal_bytes(body, at);
        } else if (c == '<' && at + 1 < body.size() && body[at + 1] == '<') {
            out += "<<";
            at += 2;
            continue;
        } else if (c == '<') {
            bytes = hex_bytes(body, at);
        } else {
            out.push_back(c);
            ++at;
            continue;
        }
        static constexpr char kDigits[] = "0123456789ABCDEF";
        out.push_back('<');
        for (const char b : sign::encrypt_aesv3(key_, bytes)) {
            out.push_back(kDigits[static_cast<unsigned char>(b) >> 4]);
            out.push_back(kDigits[static_cast<unsigned char>(b) & 15]);
        }
        out.push_back('>');
    }
    return out;
}

bool PdfWriter::finish(uint32_t root, uint32_t info, std::string_view id)
{
    const uint64_t xref = offset_;
    std::string table = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
    char entry[32];
    for (const uint64_t at : offsets_) {
        // An object reserved but never written is a free entry.
        if (at == 0)
            std::snprintf(entry, sizeof entry, "0000000000 00000 f \n");
        else
            std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(at));
        table += entry;
        if (table.size() >= kBufferSize) {
            write(table);
            table.clear();
        }
    }
    table += "trailer\n<</Size " + std::to_string(offsets_.size() + 1) + "/Root " + std::to_string(root)
             + " 0 R/Info " + std::to_string(info) + " 0 R";
    if (encryption_)
        table += "/Encrypt " + std::to_string(encryption_) + " 0 R";
    if (!id.empty()) {
        std::string hex;
        for (const char c : id) {
            std::snprintf(entry, sizeof entry, "%02X", static_cast<unsigned char>(c));
            hex += entry;
        }
        table += "/ID[<" + hex + "><" + hex + ">]";
    }
    table += ">>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    write(table);
    flush();
    return !failed_;
}

void PdfWriter::write(std::string_view data)
{
    offset_ += data.size();
    if (buffer_.size() + data.size() > kBufferSize) {
        flush();
        if (data.size() >= kBufferSize) {
            buffer_.assign(data);
            flush();
            return;
        }
    }
    buffer_.append(data);
}

void PdfWriter::flush()
{
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

}  // namespace kt482::pdf
