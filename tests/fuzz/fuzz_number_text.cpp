// Number texts as the spool and the late-bound calls read them: parsing,
// the conversions of automation values, and the fixed and ordinary texts
// of what was read, which must read back to the same value.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "job/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    const std::string text(reinterpret_cast<const char*>(data), size);

    (void)variant_to_i2(Variant(text));
    (void)variant_to_r4(Variant(text));
    (void)variant_to_bool(Variant(text));
    (void)variant_to_text(Variant(text));

    const Result<double> value = parse_number_text(text);
    if (!value)
        return 0;
    KT482_FUZZ_CHECK(std::isfinite(*value));
    (void)to_i2(*value);
    (void)to_r4(*value);

    // The ordinary text of a value reads back as a value of the same text.
    const std::string ordinary = number_to_text(*value);
    const Result<double> again = parse_number_text(ordinary);
    KT482_FUZZ_CHECK(again.ok());
    KT482_FUZZ_CHECK(number_to_text(*again) == ordinary);

    for (int decimals : {0, 3, 4}) {
        const std::string fixed = format_fixed(*value, decimals);
        KT482_FUZZ_CHECK(parse_number_text(fixed).ok());
    }
    if (auto single = to_r4(*value))
        KT482_FUZZ_CHECK(parse_number_text(format_fixed(*single, 3)).ok());
    return 0;
}
