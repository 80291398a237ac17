#include "support/picture_files.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>

namespace kt482::test {

std::vector<uint8_t> png_bytes(int width, int height, int channels, const std::vector<uint8_t>& samples)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    static constexpr png_uint_32 kFormats[] = {0, PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB, PNG_FORMAT_RGBA};
    image.format = kFormats[channels];
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, nullptr))
        throw std::runtime_error("png size");
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, nullptr))
        throw std::runtime_error("png write");
    out.resize(size);
    return out;
}

std::vector<uint8_t> jpeg_bytes(int width, int height, int components, const std::vector<uint8_t>& samples,
                                bool progressive)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<std::size_t>(width * components));
    while (info.next_scanline < info.image_height) {
        const uint8_t* in = samples.data() + static_cast<std::size_t>(info.next_scanline) * row.size();
        std::memcpy(row.data(), in, row.size());
        if (components == 4) {
            for (uint8_t& s : row)
                s = static_cast<uint8_t>(255 - s);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> solid(int width, int height, std::vector<uint8_t> pixel)
{
    std::vector<uint8_t> out;
    out.reserve(static_cast<std::size_t>(width * height) * pixel.size());
    for (int i = 0; i < width * height; ++i)
        out.insert(out.end(), pixel.begin(), pixel.end());
    return out;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kt482::test
