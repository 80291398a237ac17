#include "job/page_writer.h"

#include <string>

#include "job/number_text.h"
#include "job/page_record.h"

namespace kt482 {

Status append_record(Files& files, FileHandle handle, PageRecordHeader& header, RecordCode code,
                     std::initializer_list<std::string_view> fields)
{
    constexpr std::size_t kMaxCount = 32767;
    const RecordCodeInfo& info = record_code_info(code);

    header.FieldLength = {};
    std::size_t text_length = 0;
    std::size_t index = 1;
    for (std::string_view field : fields) {
        const std::size_t count = count_code_points(field);
        if (count > kMaxCount)
            return Failure(ErrorNumber::Overflow);
        if (index < header.FieldLength.size())
            header.FieldLength[index] = static_cast<int16_t>(count);
        text_length += count;
        ++index;
    }
    if (text_length > kMaxCount)
        return Failure(ErrorNumber::Overflow);
    header.TextLength = static_cast<int16_t>(text_length);
    header.Marker = {':', 'C'};
    for (std::size_t i = 0; i < 4; ++i)
        header.RecordCode[i] = info.text[i];

    // One buffer per thread keeps an append free of allocations.
    thread_local std::string record;
    record.resize(kRecordHeaderSize);
    encode_record_header(header, record.data());
    for (std::string_view field : fields)
        record.append(field);
    return files.append(handle, record);
}

}  // namespace kt482
