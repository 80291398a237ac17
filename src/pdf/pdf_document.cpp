#include "pdf/pdf_document.h"

#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <functional>

#include "pdf/pdf_image.h"
#include "text/font_service.h"

#ifndef KT482_VERSION
#define KT482_VERSION "0"
#endif

namespace kt482::pdf {
namespace {

std::string ref(uint32_t object)
{
    return std::to_string(object) + " 0 R";
}

// The subset's tag: six capital letters that differ when the glyphs do.
std::string subset_tag(const std::vector<char32_t>& text, const std::string& name)
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&](uint64_t v) { hash = (hash ^ v) * 1099511628211ull; };
    for (const char c : name)
        mix(static_cast<unsigned char>(c));
    for (std::size_t glyph = 0; glyph < text.size(); ++glyph)
        if (text[glyph])
            mix(glyph);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag.push_back(static_cast<char>('A' + hash % 26));
        hash /= 26;
    }
    return tag;
}

std::string pdf_date(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "D:%Y%m%d%H%M%S", &local);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld'%02ld'", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(text) + zone;
}

// The ToUnicode map of a font: each used glyph to the character it shows.
std::string to_unicode_cmap(const std::vector<char32_t>& text)
{
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<uint32_t, char32_t>> used;
    for (std::size_t glyph = 0; glyph < text.size(); ++glyph)
        if (text[glyph])
            used.emplace_back(static_cast<uint32_t>(glyph), text[glyph]);
    char entry[48];
    for (std::size_t start = 0; start < used.size(); start += 100) {
        const std::size_t end = std::min(used.size(), start + 100);
        cmap += std::to_string(end - start) + " beginbfchar\n";
        for (std::size_t i = start; i < end; ++i) {
            const char32_t c = used[i].second;
            if (c >= 0x10000)
                std::snprintf(entry, sizeof entry, "<%04X> <%04X%04X>\n", used[i].first,
                              0xD800 + ((c - 0x10000) >> 10), 0xDC00 + ((c - 0x10000) & 0x3FF));
            else
                std::snprintf(entry, sizeof entry, "<%04X> <%04X>\n", used[i].first, static_cast<unsigned>(c));
            cmap += entry;
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

// The vertical metrics of a font set vertically: by default a glyph's
// vertical origin lies an ascender above its baseline and it advances by
// ascender and descender; each glyph used gets its own advance and origin
// from the face's vertical metrics.
std::string vertical_metrics(const FontFace& face, const std::vector<char32_t>& text)
{
    const double to_thousandths = 1000.0 / face.units_per_em();
    std::string out = "/DW2[";
    append_number3(out, face.ascender() * to_thousandths);
    out.push_back(' ');
    append_number3(out, -(face.ascender() + face.descender()) * to_thousandths);
    out += "]/W2[";
    for (std::size_t glyph = 0; glyph < text.size(); ++glyph) {
        if (!text[glyph])
            continue;
        out += std::to_string(glyph) + "[";
        for (; glyph < text.size() && text[glyph]; ++glyph) {
            const auto id = static_cast<uint32_t>(glyph);
            int32_t x = 0;
            int32_t y = 0;
            face.vertical_origin(id, x, y);
            for (const int32_t value : {-face.vertical_advance(id), x, y}) {
                append_number3(out, value * to_thousandths);
                out.push_back(' ');
            }
        }
        out.back() = ']';
    }
    out.push_back(']');
    return out;
}

// The font file of the glyphs used. Glyph ids stay as they are, so the
// content streams need no renumbering; the glyphs left out cost a few bytes
// each in the index tables, which deflate to almost nothing.
std::string subset_font_file(const FontFace& face, const std::vector<char32_t>& text)
{
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return {};
    hb_set_t* glyphs = hb_subset_input_glyph_set(input);
    hb_set_add(glyphs, 0);
    for (std::size_t glyph = 0; glyph < text.size(); ++glyph)
        if (text[glyph])
            hb_set_add(glyphs, static_cast<hb_codepoint_t>(glyph));
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
    hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
                         HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'), HB_TAG('B', 'A', 'S', 'E'),
                         HB_TAG('J', 'S', 'T', 'F'), HB_TAG('k', 'e', 'r', 'n'), HB_TAG('n', 'a', 'm', 'e'),
                         HB_TAG('V', 'O', 'R', 'G'), HB_TAG('D', 'S', 'I', 'G')})
        hb_set_add(drop, tag);
    hb_face_t* subset = hb_subset_or_fail(face.hb_face(), input);
    hb_subset_input_destroy(input);
    if (!subset)
        return {};
    hb_blob_t* blob = hb_face_reference_blob(subset);
    unsigned length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    std::string file(data ? data : "", data ? length : 0);
    hb_blob_destroy(blob);
    hb_face_destroy(subset);
    return file;
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
    std::size_t size() const { return threads_.size(); }

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
    catalog_ = writer_.reserve();
    pages_root_ = writer_.reserve();
    resources_ = writer_.reserve();
    info_object_ = writer_.reserve();
    fonts_.emplace_back();
    if (threads > 0)
        pool_ = std::make_unique<Pool>(threads);
}

PdfDocument::~PdfDocument() = default;

void PdfDocument::begin_page(double width, double height)
{
    if (page_open_)
        end_page();
    page_open_ = true;
    text_open_ = false;
    page_width_ = width;
    page_height_ = height;
    content_.clear();
}

void PdfDocument::end_page()
{
    if (!page_open_)
        return;
    close_text();
    page_open_ = false;
    const Page page{writer_.reserve(), static_cast<float>(page_width_), static_cast<float>(page_height_)};
    pages_.push_back(page);
    write_page(page);
    if (pool_) {
        pending_.push_back({page.content, pool_->submit(std::move(content_))});
        content_ = std::string();
        drain_compressed(false);
    } else {
        writer_.stream(page.content, "/Filter/FlateDecode", deflate(content_));
    }
    content_.clear();
}

// Written streams leave memory as soon as they are done; at most a few
// pages per thread wait.
void PdfDocument::drain_compressed(bool all)
{
    const std::size_t limit = all ? 0 : 2 * pool_->size() + 1;
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
    body += "]/Contents " + ref(page.content) + ">>";
    writer_.object(object, body);
}

int PdfDocument::font_number(const FontFace* face, bool vertical)
{
    for (std::size_t i = 1; i < fonts_.size(); ++i)
        if (fonts_[i].face == face && fonts_[i].vertical == vertical)
            return static_cast<int>(i);
    FontUse use;
    use.face = face;
    use.vertical = vertical;
    use.object = writer_.reserve();
    use.text.assign(face->glyph_count(), 0);
    fonts_.push_back(std::move(use));
    return static_cast<int>(fonts_.size() - 1);
}

void PdfDocument::write_font(const FontUse& font)
{
    const FontFace& face = *font.face;
    const double to_thousandths = 1000.0 / face.units_per_em();
    const std::string name = subset_tag(font.text, face.postscript_name()) + "+" + face.postscript_name();
    const uint32_t cid_font = writer_.reserve();
    const uint32_t descriptor = writer_.reserve();
    const uint32_t file = writer_.reserve();
    const uint32_t to_unicode = writer_.reserve();

    writer_.object(font.object, "<</Type/Font/Subtype/Type0/BaseFont/" + name
                                    + (font.vertical ? "/Encoding/Identity-V" : "/Encoding/Identity-H")
                                    + "/DescendantFonts[" + ref(cid_font)
                                    + "]/ToUnicode " + ref(to_unicode) + ">>");

    // Widths of the glyphs used, in runs of consecutive ids.
    std::string widths = "[";
    for (std::size_t glyph = 0; glyph < font.text.size(); ++glyph) {
        if (!font.text[glyph])
            continue;
        widths += std::to_string(glyph) + "[";
        for (; glyph < font.text.size() && font.text[glyph]; ++glyph) {
            append_number3(widths, face.advance(static_cast<uint32_t>(glyph)) * to_thousandths);
            widths.push_back(' ');
        }
        widths.back() = ']';
    }
    widths.push_back(']');
    if (font.vertical)
        widths += vertical_metrics(face, font.text);
    writer_.object(cid_font, "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + name
                                + "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                                  "/FontDescriptor "
                                + ref(descriptor) + "/DW 1000/W" + widths + "/CIDToGIDMap/Identity>>");

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
    writer_.object(descriptor, "<</Type/FontDescriptor/FontName/" + name + "/Flags 4/FontBBox" + box
                                   + "/ItalicAngle 0" + metrics + "/StemV 80/FontFile2 " + ref(file) + ">>");

    const std::string data = subset_font_file(face, font.text);
    writer_.stream(file, "/Length1 " + std::to_string(data.size()) + "/Filter/FlateDecode", deflate(data));
    writer_.stream(to_unicode, "/Filter/FlateDecode", deflate(to_unicode_cmap(font.text)));
}

int PdfDocument::image_number(const ImagePixels& picture)
{
    if (auto found = image_numbers_.find(picture.id); found != image_numbers_.end())
        return found->second;
    const uint32_t object = write_image(writer_, picture);
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
        drain_compressed(true);
    const std::size_t drawn = pages_.size();
    for (int copy = 2; copy <= copies; ++copy)
        for (std::size_t i = 0; i < drawn; ++i)
            write_page(pages_[i]);

    std::string fonts;
    for (std::size_t i = 1; i < fonts_.size(); ++i) {
        write_font(fonts_[i]);
        fonts += "/F" + std::to_string(i) + " " + ref(fonts_[i].object);
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
    writer_.object(catalog_, "<</Type/Catalog/Pages " + ref(pages_root_) + ">>");

    std::string info = "<</Producer";
    append_text_string(info, std::string("kt482 ") + KT482_VERSION);
    if (!info_.title.empty()) {
        info += "/Title";
        append_text_string(info, info_.title);
    }
    if (!info_.creator.empty()) {
        info += "/Creator";
        append_text_string(info, info_.creator);
    }
    info += "/CreationDate";
    append_text_string(info, pdf_date(info_.created ? info_.created : std::time(nullptr)));
    info += ">>";
    writer_.object(info_object_, info);
    return writer_.finish(catalog_, info_object_);
}

}  // namespace kt482::pdf
