#include "pdf/font_subset.h"

#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "text/font_service.h"

namespace kt482::pdf {
namespace {

// Tables a PDF reader never consults in an embedded TrueType font: layout
// (the content stream has the glyphs already), vertical metrics (the PDF
// has its own), names and the device tables.
constexpr hb_tag_t kDroppedTables[] = {
    HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'), HB_TAG('B', 'A', 'S', 'E'),
    HB_TAG('J', 'S', 'T', 'F'), HB_TAG('k', 'e', 'r', 'n'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'),
    HB_TAG('V', 'O', 'R', 'G'), HB_TAG('n', 'a', 'm', 'e'), HB_TAG('D', 'S', 'I', 'G'), HB_TAG('g', 'a', 's', 'p'),
    HB_TAG('h', 'd', 'm', 'x'), HB_TAG('L', 'T', 'S', 'H'), HB_TAG('V', 'D', 'M', 'X'),
};

// The prepared face of a font file, made on first use and kept for the life
// of the process: a batch of small documents would otherwise parse the face
// again for each. The prepared face holds the file's data itself, whatever
// becomes of the face it was made from; HarfBuzz faces may be used by
// several threads at once.
hb_face_t* prepared_face(const FontFace& face)
{
    static std::mutex mutex;
    // Never destroyed: documents may still be finished while the process exits.
    static auto* prepared = new std::unordered_map<std::string, hb_face_t*>();
    const std::string key = face.path() + '\0' + std::to_string(face.index());
    std::lock_guard lock(mutex);
    hb_face_t*& slot = (*prepared)[key];
    if (!slot)
        slot = hb_subset_preprocess(face.hb_face());
    return slot;
}

std::string face_file(hb_face_t* face)
{
    hb_blob_t* blob = hb_face_reference_blob(face);
    unsigned length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    std::string file(data ? data : "", data ? length : 0);
    hb_blob_destroy(blob);
    return file;
}

uint32_t read32(const std::string& data, std::size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint16_t read16(const std::string& data, std::size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void write16(std::string& data, std::size_t at, uint32_t value)
{
    data[at] = static_cast<char>((value >> 8) & 0xFF);
    data[at + 1] = static_cast<char>(value & 0xFF);
}

void write32(std::string& data, std::size_t at, uint32_t value)
{
    write16(data, at, value >> 16);
    write16(data, at + 2, value & 0xFFFF);
}

uint32_t table_checksum(const std::string& data, std::size_t at, std::size_t length)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < length ? static_cast<unsigned char>(data[at + i + k]) : 0u);
        sum += word;
    }
    return sum;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The font file with the advances of some glyphs changed: its horizontal
// metrics written out for every glyph, the tables laid out again. The file
// unchanged when it is not the TrueType file expected.
std::string with_advances(const std::string& file, const std::vector<std::pair<uint32_t, uint16_t>>& advances)
{
    if (file.size() < 12)
        return file;
    const std::size_t count = read16(file, 4);
    if (file.size() < 12 + 16 * count)
        return file;
    struct Table {
        uint32_t tag;
        std::string data;
    };
    std::vector<Table> tables;
    std::size_t hhea = kNone, hmtx = kNone, maxp = kNone, head = kNone;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        const uint32_t offset = read32(file, record + 8);
        const uint32_t length = read32(file, record + 12);
        if (offset > file.size() || length > file.size() - offset)
            return file;
        const uint32_t tag = read32(file, record);
        if (tag == HB_TAG('h', 'h', 'e', 'a'))
            hhea = i;
        else if (tag == HB_TAG('h', 'm', 't', 'x'))
            hmtx = i;
        else if (tag == HB_TAG('m', 'a', 'x', 'p'))
            maxp = i;
        else if (tag == HB_TAG('h', 'e', 'a', 'd'))
            head = i;
        tables.push_back({tag, file.substr(offset, length)});
    }
    if (hhea == kNone || hmtx == kNone || maxp == kNone || head == kNone || tables[hhea].data.size() < 36
        || tables[maxp].data.size() < 6 || tables[head].data.size() < 12)
        return file;
    const std::size_t glyphs = read16(tables[maxp].data, 4);
    const std::size_t metrics = read16(tables[hhea].data, 34);
    const std::string& old = tables[hmtx].data;
    if (metrics == 0 || metrics > glyphs || old.size() < 4 * metrics + 2 * (glyphs - metrics))
        return file;
    std::string fresh(4 * glyphs, '\0');
    for (std::size_t g = 0; g < glyphs; ++g) {
        write16(fresh, 4 * g, read16(old, 4 * std::min(g, metrics - 1)));
        write16(fresh, 4 * g + 2, g < metrics ? read16(old, 4 * g + 2) : read16(old, 4 * metrics + 2 * (g - metrics)));
    }
    for (const auto& [glyph, advance] : advances)
        if (glyph < glyphs)
            write16(fresh, 4 * glyph, advance);
    uint32_t widest = 0;
    for (std::size_t g = 0; g < glyphs; ++g)
        widest = std::max<uint32_t>(widest, read16(fresh, 4 * g));
    tables[hmtx].data = std::move(fresh);
    write16(tables[hhea].data, 10, widest);
    write16(tables[hhea].data, 34, static_cast<uint32_t>(glyphs));
    write32(tables[head].data, 8, 0);

    std::string out = file.substr(0, 12 + 16 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        const std::string& data = tables[i].data;
        write32(out, record + 4, table_checksum(data, 0, data.size()));
        write32(out, record + 8, static_cast<uint32_t>(out.size()));
        write32(out, record + 12, static_cast<uint32_t>(data.size()));
        out += data;
        out.append((4 - data.size() % 4) % 4, '\0');
    }
    // The head table's adjustment makes the whole file sum to the magic number.
    std::size_t head_at = read32(out, 12 + 16 * head + 8);
    write32(out, head_at + 8, 0xB1B0AFBAu - table_checksum(out, 0, out.size()));
    return out;
}

}  // namespace

FontSubset subset_font(const FontFace& face, const std::vector<uint32_t>& glyphs, const std::vector<int32_t>* advances)
{
    FontSubset subset;
    subset.glyphs = glyphs;
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return subset;
    hb_set_t* keep = hb_subset_input_glyph_set(input);
    hb_set_add(keep, 0);
    for (const uint32_t glyph : glyphs)
        hb_set_add(keep, glyph);
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_NO_HINTING);
    hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const hb_tag_t tag : kDroppedTables)
        hb_set_add(drop, tag);

    hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(prepared_face(face), input);
    hb_subset_input_destroy(input);
    if (!plan)
        return subset;
    if (hb_face_t* result = hb_subset_plan_execute_or_fail(plan)) {
        // The new numbers are read from the plan, not assumed: the parts of
        // composite glyphs the subset must keep as well shift the others.
        const hb_map_t* old_to_new = hb_subset_plan_old_to_new_glyph_mapping(plan);
        std::vector<uint32_t> renumbered;
        renumbered.reserve(glyphs.size());
        for (const uint32_t glyph : glyphs) {
            const hb_codepoint_t number = hb_map_get(old_to_new, glyph);
            renumbered.push_back(number == HB_MAP_VALUE_INVALID ? 0 : number);
        }
        subset.file = face_file(result);
        if (advances) {
            std::vector<std::pair<uint32_t, uint16_t>> changed;
            for (std::size_t i = 0; i < glyphs.size() && i < advances->size(); ++i)
                if ((*advances)[i] >= 0 && renumbered[i] != 0)
                    changed.emplace_back(renumbered[i], static_cast<uint16_t>(std::min((*advances)[i], 0xFFFF)));
            subset.file = with_advances(subset.file, changed);
        }
        subset.glyphs = std::move(renumbered);
        hb_face_destroy(result);
    }
    hb_subset_plan_destroy(plan);
    return subset;
}

}  // namespace kt482::pdf
