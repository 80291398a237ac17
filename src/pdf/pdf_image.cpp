#include "pdf/pdf_image.h"

#include <string>
#include <string_view>

namespace kt482::pdf {
namespace {

std::string ref(uint32_t object)
{
    return std::to_string(object) + " 0 R";
}

std::string_view bytes(std::span<const uint8_t> data)
{
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::string size_entries(const ImagePixels& picture)
{
    return "/Type/XObject/Subtype/Image/Width " + std::to_string(picture.width) + "/Height "
           + std::to_string(picture.height) + "/BitsPerComponent 8";
}

const char* color_space(int components)
{
    switch (components) {
    case 1: return "/ColorSpace/DeviceGray";
    case 3: return "/ColorSpace/DeviceRGB";
    case 4: return "/ColorSpace/DeviceCMYK";
    default: return nullptr;
    }
}

// Pixel data is deflated at a middle level: pictures can be large, and the
// last few per cent of size are not worth several times the time.
constexpr int kImageDeflateLevel = 6;

}  // namespace

uint32_t write_image(PdfWriter& writer, const ImagePixels& picture, ImageColours colours)
{
    const auto pixels = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    if (picture.width <= 0 || picture.height <= 0)
        return 0;
    const bool device_cmyk = picture.jpeg_components == 4;
    if (!picture.jpeg.empty() && !(device_cmyk && colours == ImageColours::GreyAndRgb)) {
        const char* space = color_space(picture.jpeg_components);
        if (!space || picture.jpeg_components == 2)
            return 0;
        std::string entries = size_entries(picture) + space + "/Filter/DCTDecode";
        // Inverted CMYK, as Adobe applications store it, reads back the
        // right way round through a reversed decode range.
        if (picture.jpeg_components == 4 && picture.jpeg_inverted)
            entries += "/Decode[1 0 1 0 1 0 1 0]";
        const uint32_t object = writer.reserve();
        writer.stream(object, entries, bytes(picture.jpeg));
        return object;
    }
    const char* space = color_space(picture.channels);
    if (!space || picture.channels == 4 || picture.pixels.size() != pixels * static_cast<std::size_t>(picture.channels))
        return 0;
    if (!picture.alpha.empty() && picture.alpha.size() != pixels)
        return 0;
    std::string entries = size_entries(picture) + space + "/Filter/FlateDecode";
    if (!picture.alpha.empty()) {
        const uint32_t mask = writer.reserve();
        writer.stream(mask, size_entries(picture) + "/ColorSpace/DeviceGray/Filter/FlateDecode",
                      deflate(bytes(picture.alpha), kImageDeflateLevel));
        entries += "/SMask " + ref(mask);
    }
    const uint32_t object = writer.reserve();
    writer.stream(object, entries, deflate(bytes(picture.pixels), kImageDeflateLevel));
    return object;
}

}  // namespace kt482::pdf
