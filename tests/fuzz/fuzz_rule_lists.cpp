// The rule texts of E_Line_Hor and E_Line_Vrt: an offset list and a range,
// split at the first zero byte. Reading them either gives finite positions
// or raises a failure.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "job/error_trap.h"
#include "render/rule_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view list = split == std::string_view::npos ? input : input.substr(0, split);
    const std::string_view range = split == std::string_view::npos ? input : input.substr(split + 1);

    std::size_t items = 0;
    trap([&] { for_each_list_item(list, 2.5f, [&](float) { ++items; }); }, [](const Failure&) {});
    KT482_FUZZ_CHECK(items <= list.size() + 1);
    trap([&] { (void)parse_range(range, 2.5f); }, [](const Failure&) {});
    return 0;
}
