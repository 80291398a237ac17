#include "pdf/font_subset.h"

#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "base/recent_entries.h"
#include "pdf/cff_font.h"
#include "text/font_service.h"

namespace kt482::pdf {
namespace {

// Tables a PDF reader never consults in an embedded TrueType font: layout
// (the content stream has the glyphs already), vertical metrics (the PDF
// has its own), the character map (codes reach glyphs through the
// CIDToGIDMap), names and the device tables.
constexpr hb_tag_t kDroppedTables[] = {
    HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'), HB_TAG('B', 'A', 'S', 'E'),
    HB_TAG('J', 'S', 'T', 'F'), HB_TAG('k', 'e', 'r', 'n'), HB_TAG('v', 'h', 'e', 'a'), HB_TAG('v', 'm', 't', 'x'),
    HB_TAG('V', 'O', 'R', 'G'), HB_TAG('c', 'm', 'a', 'p'), HB_TAG('n', 'a', 'm', 'e'), HB_TAG('D', 'S', 'I', 'G'), HB_TAG('g', 'a', 's', 'p'),
    HB_TAG('h', 'd', 'm', 'x'), HB_TAG('L', 'T', 'S', 'H'), HB_TAG('V', 'D', 'M', 'X'),
};

// The face to subset: the file's prepared face from its second subset in
// the process on, kept for the life of the process. A batch of small
// documents would otherwise parse the face again for each; a process that
// writes one document does not pay the prepared face's memory (some
// megabytes for a large face). The prepared face holds the file's data
// itself, whatever becomes of the face it was made from; HarfBuzz faces may
// be used by several threads at once.
//
// A CFF face (a bold weight) is never prepared. Preparing a
// CJK collection's CFF member took 8 seconds and half a gigabyte, where
// subsetting it unprepared takes a fraction of a second each time.
hb_face_t* face_to_subset(const text::FontFace& face)
{
    struct Prepared {
        int uses = 0;
        hb_face_t* face = nullptr;
    };
    static std::mutex mutex;
    // Never destroyed: documents may still be finished while the process exits.
    static auto* prepared = new std::unordered_map<std::string, Prepared>();
    const std::string key = face.path() + '\0' + std::to_string(face.index());
    std::lock_guard lock(mutex);
    Prepared& slot = (*prepared)[key];
    if (!slot.face && !face.is_cff() && ++slot.uses > 1)
        slot.face = hb_subset_preprocess(face.hb_face());
    return slot.face ? slot.face : face.hb_face();
}

// What a subset keeps: the glyphs asked for and glyph 0, with the flags.
hb_subset_input_t* subset_input(const std::vector<uint32_t>& glyphs, unsigned flags)
{
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (!input)
        return nullptr;
    hb_set_t* keep = hb_subset_input_glyph_set(input);
    hb_set_add(keep, 0);
    for (const uint32_t glyph : glyphs)
        hb_set_add(keep, glyph);
    hb_subset_input_set_flags(input, flags);
    return input;
}

// Each glyph's number in the plan's subset; 0 for one it left out.
std::vector<uint32_t> renumbered_in(hb_subset_plan_t* plan, const std::vector<uint32_t>& glyphs)
{
    const hb_map_t* old_to_new = hb_subset_plan_old_to_new_glyph_mapping(plan);
    std::vector<uint32_t> renumbered;
    renumbered.reserve(glyphs.size());
    for (const uint32_t glyph : glyphs) {
        const hb_codepoint_t number = hb_map_get(old_to_new, glyph);
        renumbered.push_back(number == HB_MAP_VALUE_INVALID ? 0 : number);
    }
    return renumbered;
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

// The font file with further glyphs at its end, each a copy of one of its
// glyphs with an advance of its own: their outlines appended, the index
// written in its long form, the horizontal metrics written out for every
// glyph, the tables laid out again. The numbers of the copies in copies'
// order; none when the file is not the TrueType file expected (and then
// unchanged).
std::vector<uint32_t> add_glyph_copies(std::string& file, const std::vector<GlyphCopy>& copies)
{
    if (copies.empty() || file.size() < 12)
        return {};
    const std::size_t count = read16(file, 4);
    if (file.size() < 12 + 16 * count)
        return {};
    std::vector<std::string> tables;
    std::size_t head = kNone, hhea = kNone, hmtx = kNone, maxp = kNone, loca = kNone, glyf = kNone, post = kNone;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        const uint32_t offset = read32(file, record + 8);
        const uint32_t length = read32(file, record + 12);
        if (offset > file.size() || length > file.size() - offset)
            return {};
        switch (read32(file, record)) {
        case HB_TAG('h', 'e', 'a', 'd'): head = i; break;
        case HB_TAG('h', 'h', 'e', 'a'): hhea = i; break;
        case HB_TAG('h', 'm', 't', 'x'): hmtx = i; break;
        case HB_TAG('m', 'a', 'x', 'p'): maxp = i; break;
        case HB_TAG('l', 'o', 'c', 'a'): loca = i; break;
        case HB_TAG('g', 'l', 'y', 'f'): glyf = i; break;
        case HB_TAG('p', 'o', 's', 't'): post = i; break;
        default: break;
        }
        tables.push_back(file.substr(offset, length));
    }
    if (head == kNone || hhea == kNone || hmtx == kNone || maxp == kNone || loca == kNone || glyf == kNone
        || tables[head].size() < 54 || tables[hhea].size() < 36 || tables[maxp].size() < 6)
        return {};
    const std::size_t glyphs = read16(tables[maxp], 4);
    const std::size_t metrics = read16(tables[hhea], 34);
    const bool long_index = read16(tables[head], 50) != 0;
    const std::string& old_metrics = tables[hmtx];
    const std::string& old_index = tables[loca];
    const std::size_t total = glyphs + copies.size();
    if (metrics == 0 || metrics > glyphs || total > 0xFFFF
        || old_metrics.size() < 4 * metrics + 2 * (glyphs - metrics)
        || old_index.size() < (long_index ? 4 : 2) * (glyphs + 1))
        return {};
    auto offset_of = [&](std::size_t glyph) -> std::size_t {
        return long_index ? read32(old_index, 4 * glyph) : 2 * std::size_t{read16(old_index, 2 * glyph)};
    };
    for (const GlyphCopy& copy : copies)
        if (copy.glyph >= glyphs || offset_of(copy.glyph) > offset_of(copy.glyph + 1)
            || offset_of(copy.glyph + 1) > tables[glyf].size())
            return {};

    std::string outlines = tables[glyf];
    std::string index(4 * (total + 1), '\0');
    std::string horizontal(4 * total, '\0');
    for (std::size_t g = 0; g < glyphs; ++g) {
        write32(index, 4 * g, static_cast<uint32_t>(offset_of(g)));
        write16(horizontal, 4 * g, read16(old_metrics, 4 * std::min(g, metrics - 1)));
        write16(horizontal, 4 * g + 2,
                g < metrics ? read16(old_metrics, 4 * g + 2) : read16(old_metrics, 4 * metrics + 2 * (g - metrics)));
    }
    outlines.resize(offset_of(glyphs));
    outlines.append((4 - outlines.size() % 4) % 4, '\0');
    std::vector<uint32_t> numbers;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::size_t g = glyphs + i;
        const uint32_t source = copies[i].glyph;
        write32(index, 4 * g, static_cast<uint32_t>(outlines.size()));
        outlines += tables[glyf].substr(offset_of(source), offset_of(source + 1) - offset_of(source));
        outlines.append((4 - outlines.size() % 4) % 4, '\0');
        write16(horizontal, 4 * g, copies[i].advance);
        write16(horizontal, 4 * g + 2, read16(horizontal, 4 * source + 2));
        numbers.push_back(static_cast<uint32_t>(g));
    }
    write32(index, 4 * total, static_cast<uint32_t>(outlines.size()));
    uint32_t widest = 0;
    for (std::size_t g = 0; g < total; ++g)
        widest = std::max<uint32_t>(widest, read16(horizontal, 4 * g));
    tables[glyf] = std::move(outlines);
    tables[loca] = std::move(index);
    tables[hmtx] = std::move(horizontal);
    write16(tables[head], 50, 1);
    write32(tables[head], 8, 0);
    write16(tables[hhea], 10, widest);
    write16(tables[hhea], 34, static_cast<uint32_t>(total));
    write16(tables[maxp], 4, static_cast<uint32_t>(total));
    // Glyph names, if kept, would be one short per glyph: the names go.
    if (post != kNone && tables[post].size() >= 32 && read32(tables[post], 0) == 0x00020000u) {
        tables[post].resize(32);
        write32(tables[post], 0, 0x00030000u);
    }

    std::string out = file.substr(0, 12 + 16 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        write32(out, record + 4, table_checksum(tables[i], 0, tables[i].size()));
        write32(out, record + 8, static_cast<uint32_t>(out.size()));
        write32(out, record + 12, static_cast<uint32_t>(tables[i].size()));
        out += tables[i];
        out.append((4 - tables[i].size() % 4) % 4, '\0');
    }
    // The head table's adjustment makes the whole file sum to the magic number.
    const std::size_t head_at = read32(out, 12 + 16 * head + 8);
    write32(out, head_at + 8, 0xB1B0AFBAu - table_checksum(out, 0, out.size()));
    file = std::move(out);
    return numbers;
}

}  // namespace

FontSubset subset_font(const text::FontFace& face, const std::vector<uint32_t>& glyphs, const std::vector<GlyphCopy>& copies)
{
    FontSubset subset;
    subset.glyphs = glyphs;
    for (const GlyphCopy& copy : copies)
        subset.copies.push_back(copy.glyph);
    hb_subset_input_t* input = subset_input(glyphs, HB_SUBSET_FLAGS_NO_HINTING);
    if (!input)
        return subset;
    hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const hb_tag_t tag : kDroppedTables)
        hb_set_add(drop, tag);

    hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(face_to_subset(face), input);
    hb_subset_input_destroy(input);
    if (!plan)
        return subset;
    if (hb_face_t* result = hb_subset_plan_execute_or_fail(plan)) {
        // The new numbers are read from the plan, not assumed: the parts of
        // composite glyphs the subset must keep as well shift the others.
        std::vector<uint32_t> renumbered = renumbered_in(plan, glyphs);
        subset.file = face_file(result);
        if (!copies.empty()) {
            std::vector<GlyphCopy> renumbered_copies;
            for (const GlyphCopy& copy : copies) {
                renumbered_copies.push_back({renumbered_in(plan, {copy.glyph}).front(), copy.advance});
            }
            subset.copies = add_glyph_copies(subset.file, renumbered_copies);
            // Without copies, the glyphs themselves at their own advances.
            if (subset.copies.size() != copies.size())
                for (const GlyphCopy& copy : renumbered_copies)
                    subset.copies.push_back(copy.glyph);
        }
        subset.glyphs = std::move(renumbered);
        hb_face_destroy(result);
    }
    hb_subset_plan_destroy(plan);
    return subset;
}

namespace {

// A CJK collection's CFF member is too large to prepare for subsetting, so
// each subset of it costs milliseconds; a batch of one form asks for the same
// bold glyphs at the same widths in every document. The last few subsets are
// kept, by face, glyphs and widths, and handed out again.
class RecentCffSubsets {
public:
    static std::string key(const text::FontFace& face, const std::vector<uint32_t>& glyphs,
                           const std::vector<int32_t>& widths)
    {
        std::string key = face.path() + '\0' + std::to_string(face.index()) + '\0';
        key.append(reinterpret_cast<const char*>(glyphs.data()), glyphs.size() * sizeof(uint32_t));
        key += '\0';
        key.append(reinterpret_cast<const char*>(widths.data()), widths.size() * sizeof(int32_t));
        return key;
    }

    bool find(const std::string& key, FontSubset& subset)
    {
        std::lock_guard lock(mutex_);
        const Entry* found = entries_.find([&](const Entry& entry) { return entry.key == key; });
        if (found)
            subset = found->subset;
        return found != nullptr;
    }

    void keep(std::string key, const FontSubset& subset)
    {
        std::lock_guard lock(mutex_);
        entries_.keep({std::move(key), subset});
    }

private:
    struct Entry {
        std::string key;
        FontSubset subset;
    };
    std::mutex mutex_;
    RecentEntries<Entry, 8> entries_;
};

RecentCffSubsets& recent_cff_subsets()
{
    // Never destroyed: documents may still be finished while the process exits.
    static auto* recent = new RecentCffSubsets();
    return *recent;
}

FontSubset make_cff_subset(const text::FontFace& face, const std::vector<uint32_t>& glyphs,
                           const std::vector<int32_t>& widths)
{
    FontSubset subset;
    subset.glyphs = glyphs;
    // Without subroutines each glyph's width is where the layout can rewrite it.
    hb_subset_input_t* input = subset_input(glyphs, HB_SUBSET_FLAGS_NO_HINTING | HB_SUBSET_FLAGS_DESUBROUTINIZE);
    if (!input)
        return subset;
    hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(face_to_subset(face), input);
    hb_subset_input_destroy(input);
    if (!plan)
        return subset;
    if (hb_face_t* result = hb_subset_plan_execute_or_fail(plan)) {
        std::vector<uint32_t> renumbered = renumbered_in(plan, glyphs);
        hb_blob_t* table = hb_face_reference_table(result, HB_TAG('C', 'F', 'F', ' '));
        unsigned length = 0;
        const char* data = hb_blob_get_data(table, &length);
        subset.file =
            cff_in_code_order(std::string_view(data ? data : "", data ? length : 0), renumbered, widths);
        hb_blob_destroy(table);
        hb_face_destroy(result);
        if (!subset.file.empty())
            for (std::size_t code = 0; code < subset.glyphs.size(); ++code)
                subset.glyphs[code] = static_cast<uint32_t>(code);
    }
    hb_subset_plan_destroy(plan);
    return subset;
}

}  // namespace

FontSubset subset_cff_font(const text::FontFace& face, const std::vector<uint32_t>& glyphs,
                           const std::vector<int32_t>& widths)
{
    std::string key = RecentCffSubsets::key(face, glyphs, widths);
    FontSubset subset;
    if (recent_cff_subsets().find(key, subset))
        return subset;
    subset = make_cff_subset(face, glyphs, widths);
    if (!subset.file.empty())
        recent_cff_subsets().keep(std::move(key), subset);
    return subset;
}

}  // namespace kt482::pdf
