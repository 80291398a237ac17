// Picture files made for tests with libpng and libjpeg-turbo: solid
// colours, an alpha channel, every JPEG kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt482::test {

// Grey (1), grey and alpha (2), RGB (3) or RGBA (4) samples, rows from the top.
std::vector<uint8_t> png_bytes(int width, int height, int channels, const std::vector<uint8_t>& samples);
// Grey (1), RGB (3) or CMYK (4, stored inverted with an Adobe marker, as
// Adobe applications write it) samples.
std::vector<uint8_t> jpeg_bytes(int width, int height, int components, const std::vector<uint8_t>& samples,
                                bool progressive = false);
// Every pixel the same samples.
std::vector<uint8_t> solid(int width, int height, std::vector<uint8_t> pixel);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace kt482::test
