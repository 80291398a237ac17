// The printer table as the host's printers.json holds it: any bytes either
// give an offset within the limit or fail as damaged, and a table that reads
// stays readable, with its offset, after a queue's offset is stored in it.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "print/printer_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kt482;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto read = offset_in_table(text, "office");
    if (!read) {
        KT482_FUZZ_CHECK(read.failure().is(ErrorNumber::InvalidFileFormat));
        return 0;
    }
    if (*read) {
        KT482_FUZZ_CHECK(std::fabs((*read)->x_mm) <= kMaxPrintOffsetMm);
        KT482_FUZZ_CHECK(std::fabs((*read)->y_mm) <= kMaxPrintOffsetMm);
    }

    // Storing another queue's offset keeps this one's.
    static const std::string path = [] {
        char folder[] = "/tmp/kt482-fuzz-table-XXXXXX";
        return std::string(::mkdtemp(folder)) + "/printers.json";
    }();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(size));
    KT482_FUZZ_CHECK(store_print_offset(path, "hall", {1.5f, -2}).ok());
    const auto again = stored_print_offset(path, "office");
    KT482_FUZZ_CHECK(again.ok() && again->has_value() == read->has_value());
    if (*read)
        KT482_FUZZ_CHECK((*again)->x_mm == (*read)->x_mm && (*again)->y_mm == (*read)->y_mm);
    return 0;
}
