#include "pdf/pdf_signature_field.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "pdf/pdf_document.h"
#include "sign/cms_signature.h"
#include "sign/timestamp_client.h"

namespace kt482::pdf {
namespace {

// Room for a signature with the signer's certificate and a few of its
// chain's, and more for an authority's token with its certificates.
constexpr std::size_t kSignatureRoom = 8192;
constexpr std::size_t kTimestampRoom = 12288;
// "0 a b c" with three offsets of up to 12 digits, padded with blanks.
constexpr std::size_t kRangesRoom = 42;

Failure file_failure(const char* what)
{
    return Failure(ErrorNumber::PrinterError, std::string("SetPdfSignature: the signed file could not be ") + what);
}

bool write_at(int fd, uint64_t at, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool read_at(int fd, uint64_t at, uint64_t size, std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + start + done, size - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void SignatureSlot::write(PdfWriter& writer, uint32_t number, const SignatureSetting& setting, std::time_t when)
{
    room_ = (setting.signer ? kSignatureRoom : 0) + (setting.tsa_url.empty() ? 0 : kTimestampRoom);
    std::string head = setting.signer ? "<</Type/Sig/Filter/Adobe.PPKLite/SubFilter/ETSI.CAdES.detached"
                                      : "<</Type/DocTimeStamp/Filter/Adobe.PPKLite/SubFilter/ETSI.RFC3161";
    head += "/ByteRange[";
    const std::size_t ranges = head.size();
    head += "0 0 0 0";
    head.append(kRangesRoom - 7, ' ');
    head += "]/Contents";
    const std::size_t contents = head.size();
    head += '<';
    head.append(room_ * 2, '0');
    head += '>';
    std::string tail;
    if (setting.signer) {
        tail += "/M";
        append_text_string(tail, pdf_date(when));
        tail += "/Name";
        append_text_string(tail, setting.signer->name());
        if (!setting.reason.empty()) {
            tail += "/Reason";
            append_text_string(tail, setting.reason);
        }
        if (!setting.location.empty()) {
            tail += "/Location";
            append_text_string(tail, setting.location);
        }
    }
    tail += ">>";
    const uint64_t at = writer.plain_object(number, head + writer.encrypt_strings(tail));
    ranges_at_ = at + ranges;
    contents_at_ = at + contents;
}

Status SignatureSlot::complete(int fd, uint64_t file_size, const SignatureSetting& setting) const
{
    const auto deadline = std::chrono::steady_clock::now() + sign::kTimestampDeadline;
    const uint64_t after = contents_at_ + room_ * 2 + 2;
    std::string ranges = "0 " + std::to_string(contents_at_) + " " + std::to_string(after) + " "
                         + std::to_string(file_size - after);
    ranges.resize(kRangesRoom, ' ');
    if (!write_at(fd, ranges_at_, ranges))
        return file_failure("written");
    std::string covered;
    if (!read_at(fd, 0, contents_at_, covered) || !read_at(fd, after, file_size - after, covered))
        return file_failure("read back");
    Result<std::string> signature = setting.signer
                                        ? sign::sign_detached(*setting.signer, covered, setting.tsa_url, deadline)
                                        : sign::request_timestamp(setting.tsa_url, covered, deadline);
    if (!signature)
        return signature.failure();
    if (signature->size() > room_)
        return Failure(ErrorNumber::PrinterError, "SetPdfSignature: the signature is larger than the room kept for it");
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(signature->size() * 2);
    for (const char c : *signature) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    if (!write_at(fd, contents_at_ + 1, hex))
        return file_failure("written");
    return {};
}

}  // namespace kt482::pdf
