#include "pdf/pdf_document.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "pdf/font_subset.h"
#include "pdf/pdf_image.h"
#include "text/font_service.h"

#ifndef KT482_VERSION
#define KT482_VERSION "0"
#endif

namespace kt482::pdf {
namespace {

// The width of a code the widths leave out, in thousandths of an em.
constexpr const char* kDefaultWidth = "1000";

// The compression level of embedded font files. Outlines barely compress:
// for the IPA faces level 2 takes 40 % of level 9's time for a file 1.5 %
// larger, and the font file is most of a one-page document's time.
constexpr int kFontFileLevel = 2;

std::string ref(uint32_t object)
{
    return std::to_string(object) + " 0 R";
}

// The subset's tag: six capital letters that differ when the glyphs do.
std::string subset_tag(const std::vector<uint32_t>& glyphs, const std::string& name)
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&](uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
    for (const char c : name)
        mix(static_cast<unsigned char>(c));
    for (const uint32_t glyph : glyphs)
        mix(glyph);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag.push_back(static_cast<char>('A' + hash % 26));
        hash /= 26;
    }
    return tag;
}

// A moment in local time with its offset from UTC: the date and time as
// format has them, then the offset's hours and minutes with separator
// between them and after as end.
std::string local_date(std::time_t when, const char* format, char separator, const char* end)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld%c%02ld%s", offset < 0 ? '-' : '+', minutes / 60, separator, minutes % 60,
                  end);
    return std::string(text) + zone;
}

}  // namespace

std::string pdf_date(std::time_t when)
{
    return local_date(when, "D:%Y%m%d%H%M%S", '\'', "'");
}

namespace {

// The same moment as XMP writes it.
std::string xmp_date(std::time_t when)
{
    return local_date(when, "%Y-%m-%dT%H:%M:%S", ':', "");
}

void append_xml_text(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
}

// Control characters become blanks (XML takes none, and the metadata must
// say what the dictionary says); invalid UTF-8 becomes U+FFFD; at most
// kLongestInfoText characters.
std::string clean_info_text(std::string_view text)
{
    std::u32string chars;
    text::decode_utf8(text, chars);
    if (chars.size() > kLongestInfoText)
        chars.resize(kLongestInfoText);
    std::string out;
    for (char32_t c : chars) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0xFFFE || c == 0xFFFF)
            c = ' ';
        char bytes[4];
        int n = 0;
        if (c < 0x80) {
            bytes[n++] = static_cast<char>(c);
        } else if (c < 0x800) {
            bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
            bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
            bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
            bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
        out.append(bytes, n);
    }
    return out;
}

// The sRGB profile of the output intent, built in from the file the build
// was given (KT482_SRGB_PROFILE).
constexpr unsigned char kSrgbProfile[] = {
#include "srgb_profile.inc"
};

// The ToUnicode map of a font: each code to the text it shows; codes
// without text (their text given by marked content) are left out.
std::string to_unicode_cmap(const std::vector<std::u32string>& text_of_code)
{
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<uint16_t> used;
    for (std::size_t code = 1; code < text_of_code.size(); ++code)
        if (!text_of_code[code].empty())
            used.push_back(static_cast<uint16_t>(code));
    char entry[8];
    for (std::size_t start = 0; start < used.size(); start += 100) {
        const std::size_t end = std::min(used.size(), start + 100);
        cmap += std::to_string(end - start) + " beginbfchar\n";
        for (std::size_t i = start; i < end; ++i) {
            std::snprintf(entry, sizeof entry, "<%04X> ", used[i]);
            cmap += entry;
            append_utf16_hex(cmap, text_of_code[used[i]], ByteOrderMark::Without);
            cmap.push_back('\n');
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

// The vertical metrics of a font set vertically: by default a glyph's
// vertical origin lies an ascender above its baseline and it advances by
// ascender and descender; the glyph of each code used gets its own advance
// and origin from the face's vertical metrics, in one run from code 1. A
// spread glyph's copy advances down the column by its spread width.
std::string vertical_metrics(const text::FontFace& face, const std::vector<uint32_t>& glyph_of_code,
                             const std::vector<int32_t>& width_of_code)
{
    const double to_thousandths = 1000.0 / face.units_per_em();
    std::string out = "/DW2[";
    append_number3(out, face.ascender() * to_thousandths);
    out.push_back(' ');
    append_number3(out, -(face.ascender() + face.descender()) * to_thousandths);
    out += "]/W2[";
    for (std::size_t code = 1; code < glyph_of_code.size(); ++code) {
        const uint32_t glyph = glyph_of_code[code];
        int32_t x = 0;
        int32_t y = 0;
        face.vertical_origin(glyph, x, y);
        out += code == 1 ? "1[" : " ";
        bool first = true;
        const int32_t advance = width_of_code[code] >= 0 ? width_of_code[code] : face.vertical_advance(glyph);
        for (const int32_t value : {-advance, x, y}) {
            if (!first)
                out.push_back(' ');
            first = false;
            append_number3(out, value * to_thousandths);
        }
    }
    out += glyph_of_code.size() > 1 ? "]]" : "]";
    return out;
}

}  // namespace

// A fixed set of threads deflating page content in turn.
class PdfDocument::Pool {
public:
    explicit Pool(int threads)
    {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] { run(); });
    }
    ~Pool()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& thread : threads_)
            thread.join();
    }
    std::future<std::string> submit(std::string data)
    {
        auto task = std::make_shared<std::packaged_task<std::string()>>(
            [data = std::move(data)] { return deflate(data); });
        auto result = task->get_future();
        {
            std::lock_guard lock(mutex_);
            tasks_.emplace_back([task] { (*task)(); });
        }
        wake_.notify_one();
        return result;
    }

private:
    void run()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

PdfDocument::PdfDocument(int fd, DocumentInfo info, int threads) : writer_(fd), info_(std::move(info))
{
    for (std::string* field : {&info_.title, &info_.author, &info_.subject, &info_.keywords, &info_.creator})
        *field = clean_info_text(*field);
    created_ = info_.created ? info_.created : std::time(nullptr);
    catalog_ = writer_.reserve();
    pages_root_ = writer_.reserve();
    resources_ = writer_.reserve();
    info_object_ = writer_.reserve();
    if (info_.encryption) {
        encryption_object_ = writer_.reserve();
        writer_.encrypt_with(info_.encryption->file_key, encryption_object_);
    }
    if (info_.signature.active()) {
        signature_field_ = writer_.reserve();
        signature_value_ = writer_.reserve();
    }
    fonts_.emplace_back();
    threads_ = std::max(threads, 0);
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::begin_page(double width, double height)
{
    if (page_open_)
        end_page();
    page_open_ = true;
    text_open_ = false;
    actual_text_open_ = false;
    page_width_ = width;
    page_height_ = height;
    content_.clear();
}

void PdfDocument::end_page()
{
    if (!page_open_)
        return;
    end_actual_text();
    close_text();
    page_open_ = false;
    const Page page{writer_.reserve(), static_cast<float>(page_width_), static_cast<float>(page_height_)};
    pages_.push_back(page);
    write_page(page);
    if (threads_ == 0) {
        writer_.stream(page.content, "/Filter/FlateDecode", deflate(content_));
        content_.clear();
        return;
    }
    // A page's content goes to the threads when the next page ends: a
    // one-page document deflates it on this thread at its end and starts no
    // thread at all, which is most of a small document's time otherwise.
    if (held_object_) {
        if (!pool_)
            pool_ = std::make_unique<Pool>(threads_);
        pending_.push_back({held_object_, pool_->submit(std::move(held_))});
        drain_compressed(Drain::Finished);
    }
    held_object_ = page.content;
    held_ = std::move(content_);
    content_ = std::string();
}

// Written streams leave memory as soon as they are done; at most a few
// pages per thread wait, none once the document ends.
void PdfDocument::drain_compressed(Drain drain)
{
    const std::size_t limit = drain == Drain::All ? 0 : 2 * static_cast<std::size_t>(threads_) + 1;
    while (!pending_.empty()) {
        const bool ready =
            pending_.front().data.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        if (!ready && pending_.size() <= limit)
            break;
        Pending next = std::move(pending_.front());
        pending_.pop_front();
        writer_.stream(next.object, "/Filter/FlateDecode", next.data.get());
    }
}

void PdfDocument::write_page(const Page& page)
{
    const uint32_t object = writer_.reserve();
    page_objects_.push_back(object);
    std::string body = "<</Type/Page/Parent " + ref(pages_root_) + "/Resources " + ref(resources_)
                       + "/MediaBox[0 0 ";
    append_number(body, page.width);
    body.push_back(' ');
    append_number(body, page.height);
    body += "]/Contents " + ref(page.content);
    // The signature's field is an annotation of its page (the first page
    // when invisible); on a page the document does not have, of none.
    const std::size_t signed_page = info_.signature.page > 0 ? static_cast<std::size_t>(info_.signature.page) : 1;
    if (signature_field_ && page_objects_.size() == signed_page && !signed_page_) {
        body += "/Annots[" + ref(signature_field_) + "]";
        signed_page_ = object;
        signed_page_height_ = page.height;
    }
    body += ">>";
    writer_.object(object, body);
}

int PdfDocument::font_number(const text::FontFace* face, bool vertical)
{
    for (std::size_t i = 1; i < fonts_.size(); ++i)
        if (fonts_[i].face == face && fonts_[i].vertical == vertical)
            return static_cast<int>(i);
    FontUse use;
    use.face = face;
    use.vertical = vertical;
    use.object = writer_.reserve();
    use.code_of_glyph.assign(face->glyph_count(), 0);
    use.glyph_of_code.push_back(0);
    use.text_of_code.emplace_back();
    use.width_of_code.push_back(-1);
    fonts_.push_back(std::move(use));
    return static_cast<int>(fonts_.size() - 1);
}

uint16_t PdfDocument::other_glyph_code(FontUse& use, uint32_t glyph, std::u32string_view text, int32_t width)
{
    if (glyph >= use.code_of_glyph.size())
        glyph = 0;
    const bool first = width < 0 && use.code_of_glyph[glyph] == 0;
    std::u32string key;
    if (!first) {
        key.reserve(text.size() + 2);
        key.push_back(static_cast<char32_t>(glyph));
        key.push_back(static_cast<char32_t>(width + 1));
        key.append(text);
        if (auto found = use.other_codes.find(key); found != use.other_codes.end())
            return found->second;
    }
    // Two-byte codes: past 65,535 pairs a glyph shows its first text.
    if (use.glyph_of_code.size() > 0xFFFF)
        return use.code_of_glyph[glyph];
    const auto code = static_cast<uint16_t>(use.glyph_of_code.size());
    use.glyph_of_code.push_back(glyph);
    use.text_of_code.emplace_back(text);
    use.width_of_code.push_back(width);
    if (first)
        use.code_of_glyph[glyph] = code;
    else
        use.other_codes.emplace(std::move(key), code);
    return code;
}

void PdfDocument::begin_actual_text(std::u32string_view text, TextObject text_object)
{
    if (actual_text_open_)
        return;
    const bool inside_text = text_object == TextObject::KeepOpen;
    if (!inside_text)
        close_text();
    content_ += "/Span<</ActualText";
    append_utf16_hex(content_, text, ByteOrderMark::With);
    content_ += ">>BDC\n";
    actual_text_open_ = true;
    actual_text_inside_text_ = inside_text;
}

void PdfDocument::end_actual_text()
{
    if (!actual_text_open_)
        return;
    if (!actual_text_inside_text_)
        close_text();
    content_ += "EMC\n";
    actual_text_open_ = false;
}

// A face's resources across and down embed one subset of the glyphs they
// use together: one font file and one descriptor. Spread texts' glyphs are
// copies in it, one for each glyph and width.
//
// A CFF-based face (a bold weight) has no map from codes to glyphs: each
// resource embeds a font file of its own whose glyph and CID of each code is
// the code (see cff_font.h).
void PdfDocument::write_face(const std::vector<const FontUse*>& uses)
{
    const text::FontFace& face = *uses.front()->face;
    if (face.is_cff()) {
        for (const FontUse* use : uses) {
            const FontSubset subset = subset_cff_font(face, use->glyph_of_code, use->width_of_code);
            std::vector<uint32_t> tagged = use->glyph_of_code;
            tagged.insert(tagged.end(), use->width_of_code.begin(), use->width_of_code.end());
            tagged.push_back(use->vertical ? 1 : 0);
            const std::string name = subset_tag(tagged, face.postscript_name()) + "+" + face.postscript_name();
            const uint32_t descriptor = writer_.reserve();
            write_font(*use, name, descriptor, subset.glyphs);
            write_descriptor(face, name, descriptor, subset.file);
        }
        return;
    }
    std::vector<uint32_t> glyphs;
    std::vector<GlyphCopy> copies;
    std::unordered_map<uint64_t, std::size_t> copy_of;  // by glyph and width
    for (const FontUse* use : uses) {
        glyphs.insert(glyphs.end(), use->glyph_of_code.begin(), use->glyph_of_code.end());
        for (std::size_t code = 0; code < use->width_of_code.size(); ++code)
            if (const int32_t width = use->width_of_code[code]; width >= 0) {
                const uint32_t glyph = use->glyph_of_code[code];
                if (copy_of.emplace(uint64_t{glyph} << 32 | static_cast<uint32_t>(width), copies.size()).second)
                    copies.push_back({glyph, static_cast<uint16_t>(width)});
            }
    }
    const FontSubset subset = subset_font(face, glyphs, copies);
    // The tag tells subsets of the same glyphs with other copies apart.
    std::vector<uint32_t> tagged = glyphs;
    for (const GlyphCopy& copy : copies)
        tagged.push_back(copy.advance);
    const std::string name = subset_tag(tagged, face.postscript_name()) + "+" + face.postscript_name();
    const uint32_t descriptor = writer_.reserve();

    std::size_t first = 0;
    for (const FontUse* use : uses) {
        const auto renumbered = subset.glyphs.begin() + static_cast<std::ptrdiff_t>(first);
        std::vector<uint32_t> subset_glyphs(renumbered, renumbered + static_cast<std::ptrdiff_t>(use->glyph_of_code.size()));
        for (std::size_t code = 0; code < use->width_of_code.size(); ++code)
            if (const int32_t width = use->width_of_code[code]; width >= 0)
                subset_glyphs[code] =
                    subset.copies[copy_of.at(uint64_t{use->glyph_of_code[code]} << 32 | static_cast<uint32_t>(width))];
        write_font(*use, name, descriptor, std::move(subset_glyphs));
        first += use->glyph_of_code.size();
    }
    write_descriptor(face, name, descriptor, subset.file);
}

// The descriptor of a face's subset, and its font file: TrueType, or a bare
// CFF font.
void PdfDocument::write_descriptor(const text::FontFace& face, const std::string& name, uint32_t descriptor,
                                   const std::string& subset_file)
{
    const double to_thousandths = 1000.0 / face.units_per_em();
    const uint32_t file = writer_.reserve();
    std::string box = "[";
    for (int i = 0; i < 4; ++i) {
        append_number3(box, face.bbox[i] * to_thousandths);
        box.push_back(i < 3 ? ' ' : ']');
    }
    std::string metrics = "/Ascent ";
    append_number3(metrics, face.ascender() * to_thousandths);
    metrics += "/Descent ";
    append_number3(metrics, -face.descender() * to_thousandths);
    metrics += "/CapHeight ";
    append_number3(metrics, face.ascender() * to_thousandths);
    // A bold weight's stems are about twice as wide.
    const char* stem = face.is_bold() ? "/StemV 160" : "/StemV 80";
    writer_.object(descriptor, "<</Type/FontDescriptor/FontName/" + name + "/Flags 4/FontBBox" + box
                                   + "/ItalicAngle 0" + metrics + stem + (face.is_cff() ? "/FontFile3 " : "/FontFile2 ")
                                   + ref(file) + ">>");
    const std::string kind = face.is_cff() ? "/Subtype/CIDFontType0C"
                                           : "/Length1 " + std::to_string(subset_file.size());
    writer_.stream(file, kind + "/Filter/FlateDecode", deflate(subset_file, kFontFileLevel));
}

// One resource: its codes' widths, glyphs in the subset and texts.
void PdfDocument::write_font(const FontUse& font, const std::string& name, uint32_t descriptor,
                             std::vector<uint32_t> subset_glyphs)
{
    const text::FontFace& face = *font.face;
    const double to_thousandths = 1000.0 / face.units_per_em();
    const uint32_t cid_font = writer_.reserve();
    const uint32_t to_unicode = writer_.reserve();
    // A CFF font's codes are its CIDs, which its charset takes to glyphs.
    const uint32_t cid_to_gid = face.is_cff() ? 0 : writer_.reserve();

    writer_.object(font.object, "<</Type/Font/Subtype/Type0/BaseFont/" + name
                                    + (font.vertical ? "/Encoding/Identity-V" : "/Encoding/Identity-H")
                                    + "/DescendantFonts[" + ref(cid_font)
                                    + "]/ToUnicode " + ref(to_unicode) + ">>");

    // Codes are numbered from 1 in order of first use: runs of the widths
    // other than the default (full-width characters are most of a Japanese
    // form), and the subset's glyph of each code two bytes of the map.
    std::string widths = "[";
    std::string glyph_map;
    glyph_map.reserve(2 * font.glyph_of_code.size());
    bool in_run = false;
    std::string width_text;
    for (std::size_t code = 0; code < font.glyph_of_code.size(); ++code) {
        const uint32_t glyph = font.glyph_of_code[code];
        glyph_map.push_back(static_cast<char>(subset_glyphs[code] >> 8));
        glyph_map.push_back(static_cast<char>(subset_glyphs[code] & 0xFF));
        if (code == 0)
            continue;
        const int32_t width = font.width_of_code[code];
        width_text.clear();
        append_number3(width_text, (width >= 0 ? width : face.advance(glyph)) * to_thousandths);
        if (width_text == kDefaultWidth) {
            if (in_run)
                widths.push_back(']');
            in_run = false;
            continue;
        }
        if (!in_run)
            widths += (widths.size() > 1 ? " " : "") + std::to_string(code) + "[";
        else
            widths.push_back(' ');
        widths += width_text;
        in_run = true;
    }
    widths += in_run ? "]]" : "]";
    if (font.vertical)
        widths += vertical_metrics(face, font.glyph_of_code, font.width_of_code);
    writer_.object(cid_font, std::string("<</Type/Font/Subtype/") + (cid_to_gid ? "CIDFontType2" : "CIDFontType0")
                                + "/BaseFont/" + name
                                + "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                                  "/FontDescriptor "
                                + ref(descriptor) + "/DW " + kDefaultWidth + "/W" + widths
                                + (cid_to_gid ? "/CIDToGIDMap " + ref(cid_to_gid) : std::string()) + ">>");
    if (cid_to_gid)
        writer_.stream(cid_to_gid, "/Filter/FlateDecode", deflate(glyph_map));
    writer_.stream(to_unicode, "/Filter/FlateDecode", deflate(to_unicode_cmap(font.text_of_code)));
}

int PdfDocument::image_number(const ImagePixels& picture)
{
    if (auto found = image_numbers_.find(picture.id); found != image_numbers_.end())
        return found->second;
    const uint32_t object =
        write_image(writer_, picture, info_.archive ? ImageColours::GreyAndRgb : ImageColours::Any);
    if (object == 0)
        return 0;
    images_.push_back(object);
    const int number = static_cast<int>(images_.size());
    image_numbers_.emplace(picture.id, number);
    return number;
}

bool PdfDocument::finish(int copies)
{
    end_page();
    if (pool_)
        drain_compressed(Drain::All);
    if (held_object_) {
        writer_.stream(held_object_, "/Filter/FlateDecode", deflate(held_));
        held_object_ = 0;
        held_ = std::string();
    }
    const std::size_t drawn = pages_.size();
    for (int copy = 2; copy <= copies; ++copy)
        for (std::size_t i = 0; i < drawn; ++i)
            write_page(pages_[i]);

    // The appearance uses the document's fonts, written next.
    const uint32_t appearance = write_signature_appearance();
    std::string fonts;
    std::vector<bool> written(fonts_.size(), false);
    for (std::size_t i = 1; i < fonts_.size(); ++i) {
        fonts += "/F" + std::to_string(i) + " " + ref(fonts_[i].object);
        if (written[i])
            continue;
        std::vector<const FontUse*> uses;
        for (std::size_t j = i; j < fonts_.size(); ++j)
            if (fonts_[j].face == fonts_[i].face) {
                uses.push_back(&fonts_[j]);
                written[j] = true;
            }
        write_face(uses);
    }
    std::string resources = "<<";
    if (!fonts.empty())
        resources += "/Font<<" + fonts + ">>";
    if (!images_.empty()) {
        resources += "/XObject<<";
        for (std::size_t i = 0; i < images_.size(); ++i)
            resources += "/Im" + std::to_string(i + 1) + " " + ref(images_[i]);
        resources += ">>";
    }
    resources += ">>";
    writer_.object(resources_, resources);

    std::string kids = "<</Type/Pages/Count " + std::to_string(page_objects_.size()) + "/Kids[";
    for (const uint32_t page : page_objects_)
        kids += ref(page) + " ";
    if (!page_objects_.empty())
        kids.pop_back();
    kids += "]>>";
    writer_.object(pages_root_, kids);
    std::string catalog = "<</Type/Catalog/Pages " + ref(pages_root_);
    if (info_.archive)
        catalog += write_archive_parts();
    catalog += write_attachments(writer_, std::move(info_.attachments));
    catalog += write_protection_parts(appearance);
    writer_.object(catalog_, catalog + ">>");
    write_info();
    if (signature_value_)
        signature_slot_.write(writer_, signature_value_, info_.signature, created_);
    if (!writer_.finish(catalog_, info_object_, file_identifier()))
        return false;
    if (!signature_value_)
        return true;
    const Status signed_file = signature_slot_.complete(writer_.fd(), writer_.bytes_written(), info_.signature);
    if (!signed_file)
        signing_failure_ = signed_file.failure().description;
    return signed_file.ok();
}

namespace {

std::string hex_string(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "<";
    for (const char c : bytes) {
        out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        out.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    return out + ">";
}

}  // namespace

// The encryption dictionary and the signature's field, as the catalog's
// entries: AES-256 needs the extension level that introduced it in a
// PDF 1.7 file, and a signed document's form says it is signed and that
// changes are to be appended (SigFlags 3).
// A visible signature's appearance: a frame, the seal picture on its left
// as large as fits with its proportions, and the signer's name in the
// document's first face, as large as fits the rest of the box on one line.
uint32_t PdfDocument::write_signature_appearance()
{
    const SignatureSetting& s = info_.signature;
    const double width = s.box[2] - s.box[0];
    const double height = s.box[3] - s.box[1];
    if (!signed_page_ || s.page <= 0 || !s.signer || width < 4 || height < 4)
        return 0;
    std::string out = "q 0.8 0.1 0.1 RG 1 w 0.5 0.5 ";
    append_number(out, width - 1);
    out.push_back(' ');
    append_number(out, height - 1);
    out += " re S\n";
    double text_left = 4;
    if (const int image = s.picture.id ? image_number(s.picture) : 0; image) {
        const double scale = std::min((height - 4) / s.picture.height, (width / 2) / s.picture.width);
        const double w = s.picture.width * scale;
        const double h = s.picture.height * scale;
        out += "q ";
        append_number(out, w);
        out += " 0 0 ";
        append_number(out, h);
        out += " 2 ";
        append_number(out, (height - h) / 2);
        out += " cm /Im" + std::to_string(image) + " Do Q\n";
        text_left = 4 + w;
    }
    if (fonts_.size() > 1) {
        const text::FontFace* face = fonts_[1].face;
        const int font = font_number(face);
        std::u32string name;
        text::decode_utf8(s.signer->name(), name);
        std::string codes;
        double ems = 0;
        char hex[8];
        for (const char32_t c : name) {
            const uint32_t glyph = face->glyph(c);
            if (glyph == 0)
                continue;
            ems += static_cast<double>(face->advance(glyph)) / face->units_per_em();
            std::snprintf(hex, sizeof hex, "%04X", glyph_code(font, glyph, std::u32string(1, c)));
            codes += hex;
        }
        const double size = std::min(height * 0.4, (width - text_left - 4) / std::max(ems, 1.0));
        if (!codes.empty() && size > 1) {
            out += "BT /F" + std::to_string(font) + " ";
            append_number(out, size);
            out += " Tf ";
            append_number(out, text_left);
            out.push_back(' ');
            append_number(out, (height - size) / 2 + size * 0.15);
            out += " Td <" + codes + "> Tj ET\n";
        }
    }
    out += "Q";
    const uint32_t object = writer_.reserve();
    std::string entries = "/Type/XObject/Subtype/Form/BBox[0 0 ";
    append_number(entries, width);
    entries.push_back(' ');
    append_number(entries, height);
    entries += "]/Resources " + ref(resources_) + "/Filter/FlateDecode";
    writer_.stream(object, entries, deflate(out));
    return object;
}

std::string PdfDocument::write_protection_parts(uint32_t appearance)
{
    std::string entries;
    if (const auto& e = info_.encryption) {
        writer_.plain_object(encryption_object_,
                             "<</Filter/Standard/V 5/R 6/Length 256/CF<</StdCF<</AuthEvent/DocOpen/CFM/AESV3/Length "
                             "32>>>>/StmF/StdCF/StrF/StdCF/P "
                                 + std::to_string(e->permissions) + "/O" + hex_string(e->owner_entry) + "/U"
                                 + hex_string(e->user_entry) + "/OE" + hex_string(e->owner_key) + "/UE"
                                 + hex_string(e->user_key) + "/Perms" + hex_string(e->perms) + ">>");
        entries += "/Extensions<</ADBE<</BaseVersion/1.7/ExtensionLevel 8>>>>";
    }
    if (signature_field_) {
        // Printable and locked, as the archival form wants every
        // annotation; an invisible one has no area and no appearance.
        const char* name = info_.signature.signer ? "(Signature1)" : "(Timestamp1)";
        std::string field = std::string("<</Type/Annot/Subtype/Widget/FT/Sig/F 132/T") + name + "/V "
                            + ref(signature_value_);
        if (signed_page_)
            field += "/P " + ref(signed_page_);
        if (appearance) {
            const double* box = info_.signature.box;
            field += "/Rect[";
            for (const double v : {box[0], signed_page_height_ - box[3], box[2], signed_page_height_ - box[1]}) {
                append_number(field, v);
                field.push_back(' ');
            }
            field.back() = ']';
            field += "/AP<</N " + ref(appearance) + ">>";
        } else {
            field += "/Rect[0 0 0 0]";
        }
        writer_.object(signature_field_, field + ">>");
        entries += "/AcroForm<</Fields[" + ref(signature_field_) + "]/SigFlags 3>>";
    }
    return entries;
}

std::string PdfDocument::producer()
{
    return std::string("kt482 ") + KT482_VERSION;
}

// The fields of the information dictionary, also those of the XMP metadata.
std::vector<std::pair<const char*, std::string>> PdfDocument::info_fields() const
{
    return {{"Title", info_.title},       {"Author", info_.author},   {"Subject", info_.subject},
            {"Keywords", info_.keywords}, {"Creator", info_.creator}, {"Producer", producer()}};
}

void PdfDocument::write_info()
{
    std::string info = "<<";
    for (const auto& [key, value] : info_fields()) {
        if (value.empty())
            continue;
        info += '/';
        info += key;
        append_text_string(info, value);
    }
    info += "/CreationDate";
    append_text_string(info, pdf_date(created_));
    info += ">>";
    writer_.object(info_object_, info);
}

// Unique per document: the time, the process, a count of the process's
// documents and what the document holds.
std::string PdfDocument::file_identifier() const
{
    static std::atomic<uint64_t> documents{0};
    const uint64_t seeds[] = {1469598103934665603ull, 7809847782465536322ull};
    std::string id;
    for (const uint64_t seed : seeds) {
        uint64_t hash = seed;
        auto mix = [&](uint64_t v) {
            for (int i = 0; i < 8; ++i, v >>= 8)
                hash = (hash ^ (v & 0xFF)) * 1099511628211ull;
        };
        mix(static_cast<uint64_t>(created_));
        mix(static_cast<uint64_t>(::getpid()));
        mix(documents.fetch_add(1));
        mix(writer_.bytes_written());
        mix(page_objects_.size());
        for (const char c : info_.title)
            mix(static_cast<unsigned char>(c));
        for (int i = 0; i < 8; ++i, hash >>= 8)
            id.push_back(static_cast<char>(hash & 0xFF));
    }
    return id;
}

// The archival form's parts (XMP metadata and the sRGB output intent), as
// the catalog's entries.
std::string PdfDocument::write_archive_parts()
{
    const uint32_t metadata = writer_.reserve();
    const uint32_t intent = writer_.reserve();
    const uint32_t profile = writer_.reserve();
    // Metadata stays uncompressed, for tools that read it without a PDF parser.
    writer_.stream(metadata, "/Type/Metadata/Subtype/XML", xmp_metadata());
    const std::string_view icc(reinterpret_cast<const char*>(kSrgbProfile), sizeof kSrgbProfile);
    writer_.stream(profile, "/N 3/Filter/FlateDecode", deflate(icc));
    writer_.object(intent, "<</Type/OutputIntent/S/GTS_PDFA1/OutputConditionIdentifier(sRGB IEC61966-2.1)"
                           "/RegistryName(http://www.color.org)/Info(sRGB IEC61966-2.1)/DestOutputProfile "
                           + ref(profile) + ">>");
    return "/Metadata " + ref(metadata) + "/OutputIntents[" + ref(intent) + "]";
}

std::string PdfDocument::xmp_metadata() const
{
    std::string x =
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
        " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\""
        " xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
        "<dc:format>application/pdf</dc:format>\n";
    auto element = [&](const char* open, const std::string& value, const char* close) {
        if (value.empty())
            return;
        x += open;
        append_xml_text(x, value);
        x += close;
    };
    element("<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">", info_.title, "</rdf:li></rdf:Alt></dc:title>\n");
    element("<dc:creator><rdf:Seq><rdf:li>", info_.author, "</rdf:li></rdf:Seq></dc:creator>\n");
    element("<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">", info_.subject,
            "</rdf:li></rdf:Alt></dc:description>\n");
    element("<pdf:Keywords>", info_.keywords, "</pdf:Keywords>\n");
    element("<pdf:Producer>", producer(), "</pdf:Producer>\n");
    element("<xmp:CreatorTool>", info_.creator, "</xmp:CreatorTool>\n");
    element("<xmp:CreateDate>", xmp_date(created_), "</xmp:CreateDate>\n");
    // Attachments are what the third part of the archival form allows.
    x += info_.attachments.empty() ? "<pdfaid:part>2</pdfaid:part>\n" : "<pdfaid:part>3</pdfaid:part>\n";
    x += "<pdfaid:conformance>U</pdfaid:conformance>\n"
         "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n";
    // Room to edit the packet in place, as its trailer allows.
    x.append(20, ' ');
    x += "\n<?xpacket end=\"w\"?>";
    return x;
}


}  // namespace kt482::pdf
