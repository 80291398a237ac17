// The UTF-8 decoder against the text helpers built on it: a text is valid
// exactly when decoding walks it to its end, its repaired copy is always
// valid, and cutting a text to half-width cells keeps whole characters.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "fuzz_check.h"
#include "job/number_text.h"
#include "render/half_width_cells.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    bool decodes = true;
    std::size_t characters = 0;
    for (std::string_view rest = text; !rest.empty(); ++characters) {
        const Utf8Char c = decode_utf8(rest);
        if (c.length == 0) {
            decodes = false;
            break;
        }
        KT482_FUZZ_CHECK(c.length <= 4 && c.length <= rest.size());
        KT482_FUZZ_CHECK(c.code_point <= 0x10FFFF && (c.code_point < 0xD800 || c.code_point > 0xDFFF));
        rest.remove_prefix(c.length);
    }
    KT482_FUZZ_CHECK(decodes == is_valid_utf8(text));
    if (decodes)
        KT482_FUZZ_CHECK(characters == count_code_points(text));

    const std::string repaired = to_valid_utf8(text);
    KT482_FUZZ_CHECK(is_valid_utf8(repaired));
    if (decodes)
        KT482_FUZZ_CHECK(repaired == text);

    for (int cells : {0, 1, 5, 40}) {
        const std::string fitted = FitToCells(text, cells);
        KT482_FUZZ_CHECK(text.substr(0, fitted.size()) == fitted);
        if (decodes)
            KT482_FUZZ_CHECK(is_valid_utf8(fitted));
    }
    (void)text_half_width_cells(text);
    return 0;
}
