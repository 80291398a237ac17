// A signature of a whole PDF file, made in two steps: the signature
// dictionary is written with room for the signature and for the byte
// ranges it covers (all of the file but that room); once the file is
// complete, the ranges are filled in and the signature over them is
// written into the room. Without a signer the room takes a timestamp
// authority's token alone (a document timestamp).
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "kt482/draw_surface.h"
#include "kt482/failure.h"
#include "pdf/pdf_writer.h"
#include "sign/signing_identity.h"

namespace kt482::pdf {

struct SignatureSetting {
    std::shared_ptr<const sign::SigningIdentity> signer;  // none: a document timestamp, when tsa_url is set
    std::string reason;
    std::string location;
    std::string tsa_url;  // empty: no timestamp
    // A visible signature: its page (1-based; 0 invisible), its box in
    // points from the page's top left corner (left, top, right, bottom) and
    // the seal picture (none while its id is 0), valid while picture_owner
    // lives.
    int page = 0;
    double box[4] = {0, 0, 0, 0};
    ImagePixels picture;
    std::shared_ptr<const void> picture_owner;
    bool active() const { return signer || !tsa_url.empty(); }
};

class SignatureSlot {
public:
    // Writes the signature dictionary as object number, its strings
    // encrypted when the document is (the room never is).
    void write(PdfWriter& writer, uint32_t number, const SignatureSetting& setting, std::time_t when);
    // Fills in the byte ranges and the signature of the complete file of
    // file_size bytes written to fd, which must be open for reading too.
    // Returns within the timestamp deadline; on failure the file is not to
    // be published.
    Status complete(int fd, uint64_t file_size, const SignatureSetting& setting) const;

private:
    uint64_t ranges_at_ = 0;    // the byte range array's room, after "[" in the file
    uint64_t contents_at_ = 0;  // the "<" of the contents' hex string
    std::size_t room_ = 0;      // the bytes of signature the hex string has room for
};

}  // namespace kt482::pdf
