#include "image/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

namespace kt482 {
namespace {

// Progressive files may hold any number of scans; this many is far beyond
// what an encoder writes and keeps a hostile file from taking minutes.
constexpr int kMaxScans = 256;
constexpr long kMaxDecoderMemory = 512L << 20;

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to the decoding function. Warnings (damaged data that libjpeg
// would patch over) jump back too.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void on_error(j_common_ptr info)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void on_message(j_common_ptr info, int level)
{
    if (level < 0)
        on_error(info);
}

void on_progress(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(info->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
        std::longjmp(err->jump, 1);
    }
}

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    bool inverted = false;
};

// The decoding proper. Only plain data lives in this frame, so that the
// jump back from an error skips no destructor. out is null to read the
// header only; else it takes height rows of width * channels bytes.
bool run(std::span<const uint8_t> bytes, Header& header, uint8_t* out, int channels, char* message)
{
    jpeg_decompress_struct info;
    ErrorManager err;
    jpeg_progress_mgr progress;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = on_error;
    err.pub.emit_message = on_message;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        std::memcpy(message, err.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    progress.progress_monitor = on_progress;
    info.progress = &progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    header.width = info.image_width;
    header.height = info.image_height;
    header.components = info.num_components;
    header.inverted = info.saw_Adobe_marker;
    if (!out) {
        jpeg_destroy_decompress(&info);
        return true;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    const auto row_bytes = static_cast<std::size_t>(info.output_width) * static_cast<std::size_t>(channels);
    // CMYK rows are decoded four samples a pixel, then made RGB in place.
    JSAMPLE cmyk_row[4 * 4096];
    while (info.output_scanline < info.output_height) {
        uint8_t* row = out + static_cast<std::size_t>(info.output_scanline) * row_bytes;
        if (!cmyk) {
            JSAMPROW rows[1] = {row};
            jpeg_read_scanlines(&info, rows, 1);
            continue;
        }
        // Wide CMYK rows in pieces would need a second buffer; a row of this
        // buffer's width is plenty for a form's picture.
        if (info.output_width > 4096) {
            std::snprintf(err.message, sizeof err.message, "CMYK pictures wider than 4096 pixels");
            std::longjmp(err.jump, 1);
        }
        JSAMPROW rows[1] = {cmyk_row};
        jpeg_read_scanlines(&info, rows, 1);
        for (JDIMENSION x = 0; x < info.output_width; ++x) {
            const JSAMPLE* p = cmyk_row + 4 * x;
            // Adobe files store the samples inverted.
            const int k = info.saw_Adobe_marker ? p[3] : 255 - p[3];
            for (int c = 0; c < 3; ++c) {
                const int v = info.saw_Adobe_marker ? p[c] : 255 - p[c];
                row[3 * x + static_cast<JDIMENSION>(c)] = static_cast<uint8_t>((v * k + 127) / 255);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

Failure invalid(const char* why)
{
    return Failure(ErrorNumber::InvalidPicture, std::string("Invalid picture: ") + why);
}

}  // namespace

bool looks_like_jpeg(std::span<const uint8_t> bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

Result<DecodedPicture> decode_jpeg(std::span<const uint8_t> bytes, uint64_t max_pixels)
{
    if (!looks_like_jpeg(bytes))
        return invalid("not a JPEG file");
    char message[JMSG_LENGTH_MAX] = {};
    Header header;
    if (!run(bytes, header, nullptr, 0, message))
        return invalid(message);
    const uint64_t pixels = uint64_t{header.width} * header.height;
    if (pixels == 0 || pixels > max_pixels)
        return invalid("too many pixels");
    if (header.components != 1 && header.components != 3 && header.components != 4)
        return invalid("neither grey, RGB nor CMYK");

    DecodedPicture picture;
    picture.width = static_cast<int32_t>(header.width);
    picture.height = static_cast<int32_t>(header.height);
    picture.channels = header.components == 1 ? 1 : 3;
    picture.pixels.resize(pixels * static_cast<uint64_t>(picture.channels));
    if (!run(bytes, header, picture.pixels.data(), picture.channels, message))
        return invalid(message);
    picture.jpeg.assign(bytes.begin(), bytes.end());
    picture.jpeg_components = header.components;
    picture.jpeg_inverted = header.components == 4 && header.inverted;
    return picture;
}

}  // namespace kt482
