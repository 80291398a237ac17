// A PDF document written as it is drawn: each page's content stream goes to
// the file when the page ends, the fonts (subsets of the glyphs used) once at
// the end. What stays in memory per page is its object numbers and size.
//
// Content streams are deflated on a small pool of worker threads, started
// when a second page ends, and still written in page order. Copies of the whole document are further page
// objects on the content streams already written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include <optional>

#include "pdf/pdf_attachments.h"
#include "pdf/pdf_signature_field.h"
#include "pdf/pdf_writer.h"
#include "kt482/draw_surface.h"
#include "sign/pdf_encryption.h"

namespace kt482::text {
class FontFace;
}  // namespace kt482::text

namespace kt482::pdf {

// What a document says of itself. Text is UTF-8; control characters become
// blanks and each field keeps at most kLongestInfoText characters.
struct DocumentInfo {
    std::string title;
    std::string author;
    std::string subject;
    std::string keywords;
    std::string creator;
    std::time_t created = 0;
    // Archivable (PDF/A-2u, PDF/A-3u with attachments): XMP metadata
    // matching the fields above, the sRGB output intent, and nothing the
    // archival form forbids.
    bool archive = false;
    // Files embedded in the document.
    std::vector<Attachment> attachments;
    // Strings and streams encrypted, with these keys and entries.
    std::optional<sign::StandardSecurity> encryption;
    // A signature or document timestamp over the whole file.
    SignatureSetting signature;
};

inline constexpr std::size_t kLongestInfoText = 4000;

// Whether a marked-content sequence begins inside the open text object or
// closes it first.
enum class TextObject { Close, KeepOpen };
// A moment as a PDF date string takes it ("D:20260308091500+09'00'"), in
// local time with its offset.
std::string pdf_date(std::time_t when);

class PdfDocument {
public:
    // Writes to fd (not closed by the document). threads: how many deflate
    // page content besides the drawing thread; 0 deflates on it.
    PdfDocument(int fd, DocumentInfo info, int threads = 0);
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // A page of a size in points; the page before is ended first.
    void begin_page(double width, double height);
    bool page_open() const { return page_open_; }
    double page_height() const { return page_height_; }
    // The open page's content, to append operators to.
    std::string& content() { return content_; }
    // A text object (BT) may stay open across texts; the page closes it when
    // it ends. close_text() is for operators not allowed inside one.
    bool text_open() const { return text_open_; }
    void open_text()
    {
        if (!text_open_)
            content_ += "BT\n";
        text_open_ = true;
    }
    void close_text()
    {
        if (text_open_)
            content_ += "ET\n";
        text_open_ = false;
    }
    void end_page();
    std::size_t page_count() const { return pages_.size(); }

    // The resource number of a face in this document ("/F3" is 3); set
    // vertically, a face is a resource of its own with vertical metrics.
    int font_number(const text::FontFace* face, bool vertical = false);
    // The character code that shows a glyph of a font as text (the
    // characters a reader extracts for it), for the content stream. Each
    // distinct pair of glyph and text has a code of its own, so that glyphs
    // shared by several characters and characters shown by several glyphs
    // keep their text wherever they stand. Codes are numbered in order of
    // first use, whatever the glyph ids.
    uint16_t glyph_code(int font, uint32_t glyph, std::u32string_view text)
    {
        FontUse& use = fonts_[static_cast<std::size_t>(font)];
        if (glyph < use.code_of_glyph.size()) {
            const uint16_t code = use.code_of_glyph[glyph];
            if (code != 0 && use.text_of_code[code] == text)
                return code;
        }
        return other_glyph_code(use, glyph, text, -1);
    }
    // The code of a glyph of a spread text, width font units wide (or long,
    // in a vertical resource): up to the next glyph, so that readers find the word without gaps. The font file
    // has a copy of the glyph at that width, as some readers take a glyph's
    // advance from the file.
    uint16_t spread_glyph_code(int font, uint32_t glyph, std::u32string_view text, uint16_t width)
    {
        return other_glyph_code(fonts_[static_cast<std::size_t>(font)], glyph, text, width);
    }

    // A marked-content sequence whose text a reader takes instead of that of
    // the glyphs inside (ActualText); sequences do not nest, and one still
    // open when the page ends is closed with it. A text object open is
    // closed first unless kept open (a sequence inside it).
    void begin_actual_text(std::u32string_view text, TextObject text_object);
    void end_actual_text();
    bool actual_text_open() const { return actual_text_open_; }
    // The resource number of a picture in this document ("/Im2" is 2),
    // written the first time it is asked for; 0 when it cannot be written.
    int image_number(const ImagePixels& picture);

    // Ends the last page, writes the pages of copies 2 to copies again on
    // the same content, the fonts, the page tree and the trailer. False when
    // the file could not be written completely.
    bool finish(int copies = 1);
    // Why finish failed when the file was written but could not be signed
    // (the signer's or the timestamp authority's reason); empty otherwise.
    const std::string& signing_failure() const { return signing_failure_; }
    // True once a write to the file failed: the document can no longer be
    // completed.
    bool write_failed() const { return writer_.failed(); }

private:
    struct FontUse {
        const text::FontFace* face = nullptr;
        bool vertical = false;
        uint32_t object = 0;
        // By glyph: the code of the glyph with the text it had first; 0
        // while unused.
        std::vector<uint16_t> code_of_glyph;
        // By code (0 is the missing glyph and shows nothing).
        std::vector<uint32_t> glyph_of_code;
        std::vector<std::u32string> text_of_code;
        // The width of a spread text's code in font units; -1: its glyph's.
        std::vector<int32_t> width_of_code;
        // Further pairs: the glyph and the width plus one as the first
        // characters, then the text.
        std::unordered_map<std::u32string, uint16_t> other_codes;
    };
    struct Page {
        uint32_t content;
        float width;   // points, to 0.01
        float height;
    };

    void write_page(const Page& page);
    std::vector<std::pair<const char*, std::string>> info_fields() const;
    static std::string producer();
    void write_info();
    std::string file_identifier() const;
    std::string write_archive_parts();
    std::string xmp_metadata() const;
    std::string write_protection_parts(uint32_t appearance);
    uint32_t write_signature_appearance();
    uint16_t other_glyph_code(FontUse& use, uint32_t glyph, std::u32string_view text, int32_t width);
    void write_face(const std::vector<const FontUse*>& uses);
    void write_descriptor(const text::FontFace& face, const std::string& name, uint32_t descriptor,
                          const std::string& subset_file);
    void write_font(const FontUse& font, const std::string& name, uint32_t descriptor,
                    std::vector<uint32_t> subset_glyphs);
    // Writes the compressed streams that are done (and waits for the oldest
    // while too many are pending), or all of them.
    enum class Drain { Finished, All };
    void drain_compressed(Drain drain);

    PdfWriter writer_;
    DocumentInfo info_;
    std::time_t created_ = 0;
    uint32_t catalog_ = 0;
    uint32_t pages_root_ = 0;
    uint32_t resources_ = 0;
    uint32_t info_object_ = 0;
    uint32_t encryption_object_ = 0;
    uint32_t signature_field_ = 0;
    uint32_t signature_value_ = 0;
    uint32_t signed_page_ = 0;  // the page object whose annotation the signature is
    double signed_page_height_ = 0;
    SignatureSlot signature_slot_;
    std::string signing_failure_;

    bool page_open_ = false;
    bool text_open_ = false;
    bool actual_text_open_ = false;
    bool actual_text_inside_text_ = false;
    double page_width_ = 0;
    double page_height_ = 0;
    std::string content_;
    std::vector<Page> pages_;
    std::vector<uint32_t> page_objects_;
    std::vector<FontUse> fonts_;  // index 0 unused
    std::unordered_map<uint64_t, int> image_numbers_;  // by picture id
    std::vector<uint32_t> images_;                     // objects, /Im1 first

    // Content deflated on the pool, written in the order the pages ended.
    struct Pending {
        uint32_t object;
        std::future<std::string> data;
    };
    class Pool;
    int threads_ = 0;
    std::unique_ptr<Pool> pool_;  // made when a second page ends
    std::deque<Pending> pending_;
    uint32_t held_object_ = 0;  // the last page's content, not yet handed over
    std::string held_;
};

}  // namespace kt482::pdf
