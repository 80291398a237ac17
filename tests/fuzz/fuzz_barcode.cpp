// E_Barcode's front end on untrusted input: the type name, the options and
// the data, split at zero bytes. Each either fails or gives a symbol that a
// box holds, and a spec whose spool text reads back to itself.
#include <cstdint>
#include <string>
#include <string_view>

#include "barcode/barcode_layout.h"
#include "barcode/barcode_request.h"
#include "barcode/barcode_symbol.h"
#include "fuzz_check.h"

namespace {

std::string_view next_part(std::string_view& input)
{
    const std::size_t split = input.find('\0');
    const std::string_view part = input.substr(0, split);
    input = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    using namespace kt482;
    std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const std::string_view type = next_part(input);
    const std::string_view options = next_part(input);
    const std::string_view data = input;

    const Result<BarcodeSpec> spec = parse_barcode_spec(type, options);
    if (!spec) {
        KT482_FUZZ_CHECK(spec.failure().number == 5);
        return 0;
    }
    const std::string text = barcode_spec_text(*spec);
    KT482_FUZZ_CHECK(text.find(' ') == std::string::npos);
    const Result<BarcodeSpec> again = parse_barcode_spec_text(text);
    KT482_FUZZ_CHECK(again && barcode_spec_text(*again) == text);

    const Result<BarcodeShape> shape = encode_barcode(*spec, data);
    if (!shape) {
        KT482_FUZZ_CHECK(shape.failure().number == 5 || shape.failure().number == 7);
        return 0;
    }
    const PointBox box{10, 20, 210, 80};
    const BarcodePlacement placement = place_barcode(*shape, is_two_dimensional(spec->type), box);
    KT482_FUZZ_CHECK(!placement.rects.empty());
    for (const BarcodeRect& r : placement.rects) {
        KT482_FUZZ_CHECK(r.x >= box.left - 0.01f && r.x + r.width <= box.right + 0.01f);
        KT482_FUZZ_CHECK(r.y >= box.top - 0.01f && r.y + r.height <= box.bottom + 0.01f);
    }
    for (const PlacedLabel& label : placement.labels)
        KT482_FUZZ_CHECK(label.baseline <= box.bottom + 0.01f && label.size > 0);
    return 0;
}
