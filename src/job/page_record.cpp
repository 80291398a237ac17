#include "job/page_record.h"

#include <cstdint>

namespace kt482 {
namespace {

void put_i16(char* out, int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    out[0] = static_cast<char>(bits & 0xFF);
    out[1] = static_cast<char>(bits >> 8);
}

int16_t get_i16(const char* in)
{
    const auto low = static_cast<uint16_t>(static_cast<unsigned char>(in[0]));
    const auto high = static_cast<uint16_t>(static_cast<unsigned char>(in[1]));
    return static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
}

}  // namespace

void encode_record_header(const PageRecordHeader& header, char* out)
{
    out[0] = header.Marker[0];
    out[1] = header.Marker[1];
    put_i16(out + 2, header.TextLength);
    for (std::size_t i = 0; i < 4; ++i)
        out[4 + i] = header.RecordCode[i];
    for (std::size_t i = 0; i < 6; ++i)
        put_i16(out + 8 + 2 * i, header.FieldLength[i]);
}

PageRecordHeader decode_record_header(const char* in)
{
    PageRecordHeader header;
    header.Marker = {in[0], in[1]};
    header.TextLength = get_i16(in + 2);
    for (std::size_t i = 0; i < 4; ++i)
        header.RecordCode[i] = in[4 + i];
    for (std::size_t i = 0; i < 6; ++i)
        header.FieldLength[i] = get_i16(in + 8 + 2 * i);
    return header;
}

}  // namespace kt482
