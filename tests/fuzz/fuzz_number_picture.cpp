// A value text and a picture, split at the first zero byte (or both the
// whole input), laid out as E_Numeric's records are drawn. Any picture and
// any value give a text, valid UTF-8 when both were.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "job/number_text.h"
#include "job/number_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view value = split == std::string_view::npos ? input : input.substr(0, split);
    const std::string_view picture = split == std::string_view::npos ? input : input.substr(split + 1);

    const std::string formatted = format_number_text(value, picture);
    if (is_valid_utf8(value) && is_valid_utf8(picture))
        KT482_FUZZ_CHECK(is_valid_utf8(formatted));
    // The same picture with ordinary values of every sign.
    for (std::string_view number : {"0", "-1234567.891", "0.00005", "1E+300"})
        (void)format_number_text(number, picture);
    return 0;
}
