#include "pdf/cff_font.h"

#include <algorithm>
#include <optional>

namespace kt482::pdf {
namespace {

// Dictionary operators the layout rewrites (12 x as 1200 + x).
constexpr int kCharset = 15;
constexpr int kCharStrings = 17;
constexpr int kPrivate = 18;
constexpr int kSubrs = 19;
constexpr int kNominalWidthX = 21;
constexpr int kRos = 1230;
constexpr int kFdArray = 1236;
constexpr int kFdSelect = 1237;

// A slice of the table that reading never leaves: every read past its end
// fails the whole reading.
class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}

    bool has(std::size_t at, std::size_t length) const
    {
        return at <= data_.size() && length <= data_.size() - at;
    }
    uint32_t number(std::size_t at, std::size_t size) const
    {
        uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value = (value << 8) | static_cast<unsigned char>(data_[at + i]);
        return value;
    }
    std::string_view slice(std::size_t at, std::size_t length) const { return data_.substr(at, length); }

private:
    std::string_view data_;
};

// An INDEX: its items, and where the bytes after it start.
struct Index {
    std::vector<std::string_view> items;
    std::size_t end = 0;
};

std::optional<Index> read_index(const Reader& in, std::size_t at)
{
    if (!in.has(at, 2))
        return std::nullopt;
    const uint32_t count = in.number(at, 2);
    Index index;
    if (count == 0) {
        index.end = at + 2;
        return index;
    }
    if (!in.has(at + 2, 1))
        return std::nullopt;
    const uint32_t size = in.number(at + 2, 1);
    const std::size_t offsets = at + 3;
    if (size < 1 || size > 4 || !in.has(offsets, (count + 1) * size))
        return std::nullopt;
    const std::size_t data = offsets + (count + 1) * size - 1;
    uint32_t previous = in.number(offsets, size);
    for (uint32_t i = 1; i <= count; ++i) {
        const uint32_t next = in.number(offsets + i * size, size);
        if (previous < 1 || next < previous || !in.has(data + previous, next - previous))
            return std::nullopt;
        index.items.push_back(in.slice(data + previous, next - previous));
        previous = next;
    }
    index.end = data + previous;
    return index;
}

void put(std::string& out, uint32_t value, int size)
{
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::string write_index(const std::vector<std::string>& items)
{
    std::string out;
    put(out, static_cast<uint32_t>(items.size()), 2);
    if (items.empty())
        return out;
    out.push_back(4);
    uint32_t offset = 1;
    put(out, offset, 4);
    for (const std::string& item : items) {
        offset += static_cast<uint32_t>(item.size());
        put(out, offset, 4);
    }
    for (const std::string& item : items)
        out += item;
    return out;
}

// One entry of a DICT: its operator, its operands' bytes as written, and
// the integers among them (reals count as 0, no offset is one).
struct Entry {
    int op = 0;
    std::string operands;
    std::vector<int32_t> numbers;
};

std::optional<std::vector<Entry>> read_dict(std::string_view dict)
{
    std::vector<Entry> entries;
    Entry entry;
    const Reader in(dict);
    for (std::size_t i = 0; i < dict.size();) {
        const auto b0 = static_cast<unsigned char>(dict[i]);
        const std::size_t start = i;
        if (b0 <= 21) {
            entry.op = b0;
            i += 1;
            if (b0 == 12) {
                if (!in.has(i, 1))
                    return std::nullopt;
                entry.op = 1200 + static_cast<unsigned char>(dict[i]);
                i += 1;
            }
            entries.push_back(std::move(entry));
            entry = Entry{};
            continue;
        }
        int32_t value = 0;
        if (b0 == 28 && in.has(i + 1, 2)) {
            value = static_cast<int16_t>(in.number(i + 1, 2));
            i += 3;
        } else if (b0 == 29 && in.has(i + 1, 4)) {
            value = static_cast<int32_t>(in.number(i + 1, 4));
            i += 5;
        } else if (b0 == 30) {
            // A real: nibbles up to one of 0xF.
            for (i += 1; i < dict.size(); ++i) {
                const auto b = static_cast<unsigned char>(dict[i]);
                if ((b & 0x0F) == 0x0F || (b >> 4) == 0x0F)
                    break;
            }
            if (i >= dict.size())
                return std::nullopt;
            i += 1;
        } else if (b0 >= 32 && b0 <= 246) {
            value = b0 - 139;
            i += 1;
        } else if (b0 >= 247 && b0 <= 250 && in.has(i + 1, 1)) {
            value = (b0 - 247) * 256 + static_cast<unsigned char>(dict[i + 1]) + 108;
            i += 2;
        } else if (b0 >= 251 && b0 <= 254 && in.has(i + 1, 1)) {
            value = -(b0 - 251) * 256 - static_cast<unsigned char>(dict[i + 1]) - 108;
            i += 2;
        } else {
            return std::nullopt;
        }
        entry.operands.append(dict.substr(start, i - start));
        entry.numbers.push_back(value);
    }
    return entries;
}

const Entry* find(const std::vector<Entry>& dict, int op)
{
    for (const Entry& e : dict)
        if (e.op == op)
            return &e;
    return nullptr;
}

// Operands written as 5-byte integers, so that a dictionary's size does not
// depend on the offsets it holds.
void set_numbers(std::vector<Entry>& dict, int op, std::vector<int32_t> numbers)
{
    for (Entry& e : dict)
        if (e.op == op) {
            e.numbers = std::move(numbers);
            e.operands.clear();
            for (const int32_t n : e.numbers) {
                e.operands.push_back(29);
                put(e.operands, static_cast<uint32_t>(n), 4);
            }
        }
}

std::string write_dict(const std::vector<Entry>& dict)
{
    std::string out;
    for (const Entry& e : dict) {
        out += e.operands;
        if (e.op >= 1200) {
            out.push_back(12);
            out.push_back(static_cast<char>(e.op - 1200));
        } else {
            out.push_back(static_cast<char>(e.op));
        }
    }
    return out;
}

// The font DICT of each glyph, from a format 0 or 3 FDSelect.
std::optional<std::vector<uint8_t>> read_fd_select(const Reader& in, std::size_t at, std::size_t glyphs)
{
    if (!in.has(at, 1))
        return std::nullopt;
    std::vector<uint8_t> fds(glyphs, 0);
    const uint32_t format = in.number(at, 1);
    if (format == 0) {
        if (!in.has(at + 1, glyphs))
            return std::nullopt;
        for (std::size_t g = 0; g < glyphs; ++g)
            fds[g] = static_cast<uint8_t>(in.number(at + 1 + g, 1));
        return fds;
    }
    if (format != 3 || !in.has(at + 1, 2))
        return std::nullopt;
    const uint32_t ranges = in.number(at + 1, 2);
    if (!in.has(at + 3, 3 * std::size_t{ranges} + 2))
        return std::nullopt;
    for (uint32_t r = 0; r < ranges; ++r) {
        const std::size_t range = at + 3 + 3 * r;
        const uint32_t first = in.number(range, 2);
        const uint32_t next = in.number(range + 3, 2);
        for (uint32_t g = first; g < next && g < glyphs; ++g)
            fds[g] = static_cast<uint8_t>(in.number(range + 2, 1));
    }
    return fds;
}

// A private DICT with its local subroutines, if any, right after it.
struct PrivateBlock {
    std::size_t dict_size = 0;
    std::string bytes;
};

std::optional<PrivateBlock> private_block(const Reader& in, const Entry& entry)
{
    if (entry.numbers.size() != 2 || entry.numbers[0] < 0 || entry.numbers[1] < 0
        || !in.has(static_cast<std::size_t>(entry.numbers[1]), static_cast<std::size_t>(entry.numbers[0])))
        return std::nullopt;
    const auto at = static_cast<std::size_t>(entry.numbers[1]);
    auto dict = read_dict(in.slice(at, static_cast<std::size_t>(entry.numbers[0])));
    if (!dict)
        return std::nullopt;
    const Entry* subrs = find(*dict, kSubrs);
    if (!subrs) {
        std::string bytes = write_dict(*dict);
        return PrivateBlock{bytes.size(), bytes};
    }
    if (subrs->numbers.size() != 1 || subrs->numbers[0] < 0)
        return std::nullopt;
    const std::size_t local_at = at + static_cast<std::size_t>(subrs->numbers[0]);
    const auto local = read_index(in, local_at);
    if (!local)
        return std::nullopt;
    set_numbers(*dict, kSubrs, {0});
    std::string block = write_dict(*dict);
    set_numbers(*dict, kSubrs, {static_cast<int32_t>(block.size())});
    block = write_dict(*dict);
    const std::size_t dict_size = block.size();
    block += in.slice(local_at, local->end - local_at);
    return PrivateBlock{dict_size, block};
}

// The operands before a charstring's first operator, and whether the first
// of them is the glyph's width: by the count the first operator takes. The
// charstring must call no subroutines before it (a desubroutinized subset).
struct CharStringStart {
    std::size_t width_bytes = 0;  // the width operand's bytes; 0 when there is none
    bool ok = false;
};

CharStringStart charstring_start(std::string_view glyph)
{
    std::vector<std::size_t> operand_sizes;
    for (std::size_t i = 0; i < glyph.size();) {
        const auto b0 = static_cast<unsigned char>(glyph[i]);
        std::size_t size = 0;
        if (b0 == 28)
            size = 3;
        else if (b0 >= 32 && b0 <= 246)
            size = 1;
        else if (b0 >= 247 && b0 <= 254)
            size = 2;
        else if (b0 == 255)
            size = 5;
        if (size > 0) {
            operand_sizes.push_back(size);
            i += size;
            continue;
        }
        const std::size_t n = operand_sizes.size();
        bool width = false;
        switch (b0) {
        case 1: case 3: case 18: case 23: case 19: case 20: width = n % 2 == 1; break;  // stems, masks
        case 21: width = n > 2; break;                                                  // rmoveto
        case 4: case 22: width = n > 1; break;                                          // vmoveto, hmoveto
        case 14: width = n == 1 || n == 5; break;                                       // endchar
        default: return {};  // a subroutine call or anything unexpected
        }
        return {width ? operand_sizes.front() : 0, true};
    }
    return {};
}

// The glyph's outline with another advance: its width operand (the advance
// less the private DICT's nominal width) written or replaced. Unchanged when
// the charstring is not one this reads.
std::string with_width(std::string_view glyph, int32_t advance, int32_t nominal)
{
    const CharStringStart start = charstring_start(glyph);
    if (!start.ok)
        return std::string(glyph);
    const int32_t width = advance - nominal;
    std::string out;
    if (width >= -107 && width <= 107) {
        out.push_back(static_cast<char>(width + 139));
    } else {
        out.push_back(28);
        put(out, static_cast<uint32_t>(width) & 0xFFFF, 2);
    }
    out.append(glyph.substr(start.width_bytes));
    return out;
}

}  // namespace

std::string cff_in_code_order(std::string_view cff, const std::vector<uint32_t>& glyphs,
                              const std::vector<int32_t>& widths)
{
    const Reader in(cff);
    if (!in.has(0, 4) || in.number(0, 1) != 1)
        return {};
    const auto names = read_index(in, in.number(2, 1));
    if (!names)
        return {};
    const auto tops = read_index(in, names->end);
    if (!tops || tops->items.size() != 1)
        return {};
    const auto strings = read_index(in, tops->end);
    if (!strings)
        return {};
    const auto global_subrs = read_index(in, strings->end);
    if (!global_subrs)
        return {};
    auto top = read_dict(tops->items.front());
    if (!top || !find(*top, kRos))
        return {};
    const Entry* char_strings_at = find(*top, kCharStrings);
    const Entry* fd_array_at = find(*top, kFdArray);
    const Entry* fd_select_at = find(*top, kFdSelect);
    if (!char_strings_at || !fd_array_at || !fd_select_at || char_strings_at->numbers.size() != 1
        || fd_array_at->numbers.size() != 1 || fd_select_at->numbers.size() != 1)
        return {};
    const auto char_strings = read_index(in, static_cast<std::size_t>(char_strings_at->numbers[0]));
    const auto fd_array = read_index(in, static_cast<std::size_t>(fd_array_at->numbers[0]));
    if (!char_strings || !fd_array || char_strings->items.empty())
        return {};
    const auto fds = read_fd_select(in, static_cast<std::size_t>(fd_select_at->numbers[0]),
                                    char_strings->items.size());
    if (!fds)
        return {};

    std::vector<std::vector<Entry>> font_dicts;
    std::vector<PrivateBlock> privates;
    std::vector<int32_t> nominal_widths;
    for (const std::string_view item : fd_array->items) {
        auto dict = read_dict(item);
        const Entry* private_at = dict ? find(*dict, kPrivate) : nullptr;
        const auto block = private_at ? private_block(in, *private_at) : std::nullopt;
        if (!block)
            return {};
        font_dicts.push_back(std::move(*dict));
        privates.push_back(*block);
        const auto private_dict = read_dict(std::string_view(block->bytes).substr(0, block->dict_size));
        const Entry* nominal = private_dict ? find(*private_dict, kNominalWidthX) : nullptr;
        nominal_widths.push_back(nominal && nominal->numbers.size() == 1 ? nominal->numbers[0] : 0);
    }

    // The glyphs in code order, each at its width where it has one of its
    // own, and the font DICT of each.
    std::vector<std::string> outlines;
    std::string fd_select(1, '\0');
    for (std::size_t code = 0; code < std::max<std::size_t>(glyphs.size(), 1); ++code) {
        const uint32_t glyph = code == 0 ? 0 : glyphs[code];
        if (glyph >= char_strings->items.size() || (*fds)[glyph] >= fd_array->items.size())
            return {};
        const uint8_t fd = (*fds)[glyph];
        const std::string_view outline = char_strings->items[glyph];
        if (code > 0 && code < widths.size() && widths[code] >= 0)
            outlines.push_back(with_width(outline, widths[code], nominal_widths[fd]));
        else
            outlines.emplace_back(outline);
        fd_select.push_back(static_cast<char>(fd));
    }
    // Glyph i has CID i: one range from CID 1 after the missing glyph.
    std::string charset(1, '\0');
    if (outlines.size() > 1) {
        charset[0] = 2;
        put(charset, 1, 2);
        put(charset, static_cast<uint32_t>(outlines.size() - 2), 2);
    }

    // Offsets of fixed size first, then the layout they point at.
    top->erase(std::remove_if(top->begin(), top->end(), [](const Entry& e) { return e.op == 16; }), top->end());
    for (const int op : {kCharset, kCharStrings, kFdArray, kFdSelect})
        if (!find(*top, op))
            top->push_back(Entry{op, {}, {}});
    for (const int op : {kCharset, kCharStrings, kFdArray, kFdSelect})
        set_numbers(*top, op, {0});
    const std::size_t head = 4 + (names->end - in.number(2, 1)) + write_index({write_dict(*top)}).size()
                             + (global_subrs->end - tops->end);
    const std::string char_strings_index = write_index(outlines);
    const std::size_t charset_at = head;
    const std::size_t fd_select_at_new = charset_at + charset.size();
    const std::size_t char_strings_at_new = fd_select_at_new + fd_select.size();
    const std::size_t fd_array_at_new = char_strings_at_new + char_strings_index.size();
    for (auto& dict : font_dicts)
        set_numbers(dict, kPrivate, {0, 0});
    std::vector<std::string> font_dict_bytes(font_dicts.size());
    for (std::size_t i = 0; i < font_dicts.size(); ++i)
        font_dict_bytes[i] = write_dict(font_dicts[i]);
    std::size_t private_at = fd_array_at_new + write_index(font_dict_bytes).size();
    for (std::size_t i = 0; i < font_dicts.size(); ++i) {
        set_numbers(font_dicts[i], kPrivate,
                    {static_cast<int32_t>(privates[i].dict_size), static_cast<int32_t>(private_at)});
        font_dict_bytes[i] = write_dict(font_dicts[i]);
        private_at += privates[i].bytes.size();
    }
    set_numbers(*top, kCharset, {static_cast<int32_t>(charset_at)});
    set_numbers(*top, kFdSelect, {static_cast<int32_t>(fd_select_at_new)});
    set_numbers(*top, kCharStrings, {static_cast<int32_t>(char_strings_at_new)});
    set_numbers(*top, kFdArray, {static_cast<int32_t>(fd_array_at_new)});

    std::string out;
    out.append(cff.substr(0, 2));
    out.push_back(4);
    out.push_back(4);
    out.append(cff.substr(in.number(2, 1), names->end - in.number(2, 1)));
    out += write_index({write_dict(*top)});
    out.append(cff.substr(tops->end, global_subrs->end - tops->end));
    if (out.size() != head)
        return {};
    out += charset;
    out += fd_select;
    out += char_strings_index;
    out += write_index(font_dict_bytes);
    for (const PrivateBlock& block : privates)
        out += block.bytes;
    return out;
}

}  // namespace kt482::pdf
