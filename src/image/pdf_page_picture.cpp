#include "image/pdf_page_picture.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace kt482 {
namespace {

Failure not_a_pdf_page(const char* why)
{
    return Failure(ErrorNumber::InvalidPicture, std::string("The PDF file cannot be shown: ") + why);
}

// Poppler writes what it finds wrong with a file to standard error; the
// failure returned says it once.
void quiet_poppler()
{
    static const bool quiet = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        return true;
    }();
    (void)quiet;
}

}  // namespace

bool looks_like_pdf(std::span<const uint8_t> bytes)
{
    // Readers accept the header within the first kilobyte; so does Poppler.
    const std::size_t window = std::min<std::size_t>(bytes.size(), 1024);
    for (std::size_t i = 0; i + 5 <= window; ++i) {
        if (std::memcmp(bytes.data() + i, "%PDF-", 5) == 0)
            return true;
    }
    return false;
}

Result<DecodedPicture> render_pdf_first_page(std::span<const uint8_t> bytes, double dpi, uint64_t max_pixels)
{
    if (!looks_like_pdf(bytes))
        return not_a_pdf_page("it is no PDF file");
    quiet_poppler();
    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_raw_data(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX))));
    if (!document || document->is_locked())
        return not_a_pdf_page("it is damaged or locked");
    if (document->pages() < 1)
        return not_a_pdf_page("it has no page");
    std::unique_ptr<poppler::page> page(document->create_page(0));
    if (!page)
        return not_a_pdf_page("its first page cannot be read");
    // The page's size is checked before its pixels are allocated.
    const poppler::rectf box = page->page_rect(poppler::media_box);
    const double pixels = std::ceil(box.width() * dpi / 72.0) * std::ceil(box.height() * dpi / 72.0);
    if (!(pixels >= 1) || pixels > static_cast<double>(max_pixels))
        return not_a_pdf_page("its first page is too large");

    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    renderer.set_paper_color(0xffffffff);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.format() != poppler::image::format_argb32)
        return not_a_pdf_page("its first page cannot be drawn");

    DecodedPicture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.channels = 3;
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
    // Each pixel of Poppler's ARGB32 is a native 32-bit word 0xAARRGGBB, opaque
    // over the white paper.
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(image.const_data()) +
                          static_cast<std::size_t>(y) * image.bytes_per_row();
        uint8_t* out = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width * 3;
        for (int x = 0; x < picture.width; ++x) {
            uint32_t word;
            std::memcpy(&word, row + static_cast<std::size_t>(x) * 4, 4);
            out[x * 3] = static_cast<uint8_t>(word >> 16);
            out[x * 3 + 1] = static_cast<uint8_t>(word >> 8);
            out[x * 3 + 2] = static_cast<uint8_t>(word);
        }
    }
    return picture;
}

}  // namespace kt482
