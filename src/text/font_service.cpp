#include "text/font_service.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <cmath>

#include "base/utf8.h"

namespace kt482::text {
namespace {

// Forms name their fonts by the classic Japanese family names, which no free
// system has; the IPA fonts are metric-compatible stand-ins.
struct Substitution {
    std::string_view family;
    std::string_view replacement;
};
constexpr Substitution kSubstitutions[] = {
    {"ＭＳ 明朝", "IPAMincho"},       {"MS Mincho", "IPAMincho"},
    {"ＭＳ ゴシック", "IPAGothic"},   {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},    {"MS PMincho", "IPAPMincho"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
};

// The bold weight of each family a form's faces resolve to, by the family
// names of the faces' own name tables. The bold families are members of
// font collections, which fontconfig finds by their names, whatever their
// place in the file. The fixed-pitch Gothic keeps its half-width Latin in the
// monospaced member; there is no monospaced Mincho, so Mincho's Latin and
// digits are proportional in bold.
struct BoldFace {
    std::string_view family;
    std::string_view bold_family;
};
constexpr BoldFace kBoldFaces[] = {
    {"IPAMincho", "Noto Serif CJK JP"},  {"IPAPMincho", "Noto Serif CJK JP"},
    {"IPAexMincho", "Noto Serif CJK JP"}, {"IPAGothic", "Noto Sans Mono CJK JP"},
    {"IPAPGothic", "Noto Sans CJK JP"},  {"IPAexGothic", "Noto Sans CJK JP"},
};

constexpr std::string_view kDefaultFamily = "IPAMincho";
// Faces tried, in order, for a character the face asked for lacks, before
// fontconfig is asked for any face that has it.
constexpr std::string_view kFallbackFamilies[] = {"IPAGothic", "IPAMincho"};

// Characters set upright in vertical text, as ranges in code point order;
// everything else is turned with the Latin text around it.
struct UprightRange {
    char32_t first;
    char32_t last;
};
constexpr UprightRange kUprightRanges[] = {
    {0x00A7, 0x00A7},   {0x00A9, 0x00A9},   {0x00AE, 0x00AE},   {0x00B1, 0x00B1},  // § © ® ±
    {0x00BC, 0x00BE},   {0x00D7, 0x00D7},   {0x00F7, 0x00F7},                      // ¼-¾ × ÷
    {0x1100, 0x11FF},                                                              // Hangul jamo
    {0x2016, 0x2016},   {0x2020, 0x2021},   {0x2030, 0x2031},   {0x203B, 0x203C},  // ‖ † ‡ ‰ ※
    {0x2042, 0x2042},   {0x2047, 0x2049},   {0x2051, 0x2051},
    {0x2100, 0x218F},                                                              // letterlike, numbers
    {0x2460, 0x24FF},                                                              // enclosed ① Ⓐ
    {0x2500, 0x27BF},                                                              // boxes, shapes, symbols
    {0x2E80, 0xA4CF},                                                              // CJK, kana, Yi
    {0xA960, 0xA97F},   {0xAC00, 0xD7FF},                                          // Hangul
    {0xE000, 0xFAFF},                                                              // private use, ideographs
    {0xFE10, 0xFE1F},   {0xFE30, 0xFE6F},                                          // vertical, small forms
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE7},                                          // full-width forms
    {0x1F000, 0x1FAFF},                                                            // emoji and pictographs
    {0x20000, 0x3FFFD},                                                            // ideographs
};

std::string substituted(std::string_view name)
{
    for (const auto& s : kSubstitutions)
        if (s.family == name)
            return std::string(s.replacement);
    return std::string(name);
}

// The scripts whose texts may skip shaping: a run of these (and of
// characters common to all scripts) is shaped with the plan of one of them,
// the script of its first character that has one, and in the process's
// default language, as HarfBuzz guesses both for a buffer.
constexpr hb_script_t kPlainScripts[] = {
    HB_SCRIPT_INVALID, HB_SCRIPT_HAN, HB_SCRIPT_HIRAGANA, HB_SCRIPT_KATAKANA, HB_SCRIPT_LATIN,
};

// The glyphs at which a lookup that shaping horizontal text in one of those
// scripts applies can start: a text without any of them shapes to its
// nominal glyphs at their advances. The lookups are the shape plans' own,
// not every lookup of the face: a CJK face localises thousands of glyphs
// for Chinese and Korean, which a Japanese or default plan never applies.
std::vector<bool> lookup_start_glyphs(hb_face_t* face, unsigned glyph_count)
{
    std::vector<bool> starts(glyph_count, false);
    hb_set_t* lookups = hb_set_create();
    hb_set_t* input = hb_set_create();
    for (const hb_script_t script : kPlainScripts) {
        hb_segment_properties_t props = HB_SEGMENT_PROPERTIES_DEFAULT;
        props.direction = HB_DIRECTION_LTR;
        props.script = script;
        props.language = hb_language_get_default();
        hb_shape_plan_t* plan = hb_shape_plan_create_cached(face, &props, nullptr, 0, nullptr);
        for (hb_tag_t table : {HB_OT_TAG_GSUB, HB_OT_TAG_GPOS}) {
            hb_set_clear(lookups);
            hb_ot_shape_plan_collect_lookups(plan, table, lookups);
            for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(lookups, &lookup);)
                hb_ot_layout_lookup_collect_glyphs(face, table, lookup, nullptr, input, nullptr, nullptr);
        }
        hb_shape_plan_destroy(plan);
    }
    for (hb_codepoint_t glyph = HB_SET_VALUE_INVALID; hb_set_next(input, &glyph);)
        if (glyph < glyph_count)
            starts[glyph] = true;
    hb_set_destroy(input);
    hb_set_destroy(lookups);
    return starts;
}

// Whether a character keeps its run's plan among those above: common
// characters (digits, punctuation, blanks) and the plain scripts' own.
// Combining marks (inherited) are positioned by the shaper, and other
// scripts have plans of their own.
bool plain_script(hb_script_t script)
{
    switch (script) {
    case HB_SCRIPT_COMMON:
    case HB_SCRIPT_HAN:
    case HB_SCRIPT_HIRAGANA:
    case HB_SCRIPT_KATAKANA:
    case HB_SCRIPT_LATIN:
        return true;
    default:
        return false;
    }
}

// Asked for every character printed: the basic plane's answers are looked
// up once, in a table of 8 KB.
bool in_plain_script(char32_t c)
{
    static hb_unicode_funcs_t* const unicode = hb_unicode_funcs_get_default();
    static const std::vector<bool> basic_plane = [] {
        std::vector<bool> plain(0x10000);
        for (char32_t code = 0; code < plain.size(); ++code)
            plain[code] = plain_script(hb_unicode_script(unicode, code));
        return plain;
    }();
    return c < basic_plane.size() ? basic_plane[c] : plain_script(hb_unicode_script(unicode, c));
}

// An old-style kerning table applies by default to every pair.
bool has_kerning_table(hb_face_t* face)
{
    hb_blob_t* kern = hb_face_reference_table(face, HB_TAG('k', 'e', 'r', 'n'));
    const bool kerned = hb_blob_get_length(kern) > 0;
    hb_blob_destroy(kern);
    return kerned;
}

bool has_table(hb_face_t* face, hb_tag_t tag)
{
    hb_blob_t* table = hb_face_reference_table(face, tag);
    const bool found = hb_blob_get_length(table) > 0;
    hb_blob_destroy(table);
    return found;
}

bool is_true_type(hb_face_t* face)
{
    return has_table(face, HB_TAG('g', 'l', 'y', 'f'));
}

bool has_cff_outlines(hb_face_t* face)
{
    return has_table(face, HB_TAG('C', 'F', 'F', ' '));
}

// A name of the face's name table, in English where it has one.
std::string face_name(hb_face_t* face, hb_ot_name_id_t id)
{
    char name[256];
    for (hb_language_t language : {hb_language_from_string("en", -1), HB_LANGUAGE_INVALID}) {
        unsigned length = sizeof name;
        if (hb_ot_name_get_utf8(face, id, language, &length, name) > 0)
            return std::string(name, length);
    }
    return {};
}

bool same_family(FcPattern* found, const std::string& family)
{
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
            return true;
    return false;
}

}  // namespace

bool is_vertical_name(std::string_view name)
{
    return !name.empty() && name.front() == '@';
}

bool upright_in_vertical(char32_t c)
{
    const auto* end = std::end(kUprightRanges);
    const auto* range = std::lower_bound(std::begin(kUprightRanges), end, c,
                                         [](const UprightRange& r, char32_t value) { return r.last < value; });
    return range != end && range->first <= c;
}

void decode_utf8(std::string_view text, std::u32string& out)
{
    while (!text.empty()) {
        const Utf8Char c = ::kt482::decode_utf8(text);
        if (c.length == 0) {
            out.push_back(0xFFFD);
            text.remove_prefix(1);
            continue;
        }
        out.push_back(c.code_point);
        text.remove_prefix(c.length);
    }
}

FontFace::FontFace(std::string path, unsigned index, hb_blob_t* blob)
    : path_(std::move(path)), index_(index)
{
    face_ = hb_face_create(blob, index);
    font_ = hb_font_create(face_);
    upem_ = static_cast<int>(hb_face_get_upem(face_));
    hb_font_set_scale(font_, upem_, upem_);
    glyph_count_ = static_cast<uint16_t>(std::min(hb_face_get_glyph_count(face_), 65535u));

    hb_font_extents_t extents{};
    hb_font_get_h_extents(font_, &extents);
    ascender_ = extents.ascender;
    descender_ = -extents.descender;
    line_gap_ = extents.line_gap;
    hb_position_t position = 0;
    if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_UNDERLINE_OFFSET, &position))
        underline_position_ = position;
    else
        underline_position_ = -upem_ / 10;
    if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_UNDERLINE_SIZE, &position) && position > 0)
        underline_thickness_ = position;
    else
        underline_thickness_ = upem_ / 20;

    // The font's box from its head table (xMin, yMin, xMax, yMax at 36).
    hb_blob_t* head = hb_face_reference_table(face_, HB_TAG('h', 'e', 'a', 'd'));
    unsigned length = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(hb_blob_get_data(head, &length));
    if (length >= 54) {
        for (int i = 0; i < 4; ++i)
            bbox[i] = static_cast<int16_t>((bytes[36 + 2 * i] << 8) | bytes[37 + 2 * i]);
        // macStyle bit 0: bold.
        bold_ = (bytes[45] & 1) != 0;
    }
    hb_blob_destroy(head);

    char name[128];
    unsigned name_length = sizeof name;
    if (hb_ot_name_get_utf8(face_, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &name_length, name)
        > 0) {
        for (unsigned i = 0; i < name_length && name[i]; ++i) {
            const char c = name[i];
            // A PDF name of printable ASCII without delimiters.
            if (c > ' ' && c < 0x7F && std::string_view("()<>[]{}/%#").find(c) == std::string_view::npos)
                postscript_name_.push_back(c);
        }
    }
    if (postscript_name_.empty())
        postscript_name_ = "Font";
    family_ = face_name(face_, HB_OT_NAME_ID_TYPOGRAPHIC_FAMILY);
    if (family_.empty())
        family_ = face_name(face_, HB_OT_NAME_ID_FONT_FAMILY);
    cff_ = !is_true_type(face_) && has_cff_outlines(face_);
    all_shaped_ = has_kerning_table(face_);
    lookup_starts_ = lookup_start_glyphs(face_, glyph_count_);
    advances_.resize(glyph_count_);
    std::vector<hb_codepoint_t> ids(glyph_count_);
    for (unsigned i = 0; i < glyph_count_; ++i)
        ids[i] = i;
    if (glyph_count_ > 0)
        hb_font_get_glyph_h_advances(font_, glyph_count_, ids.data(), sizeof(hb_codepoint_t), advances_.data(),
                                     sizeof(int32_t));
}

int32_t FontFace::vertical_advance(uint32_t glyph) const
{
    return -hb_font_get_glyph_v_advance(font_, glyph);
}

void FontFace::vertical_origin(uint32_t glyph, int32_t& x, int32_t& y) const
{
    hb_position_t ox = 0;
    hb_position_t oy = 0;
    hb_font_get_glyph_v_origin(font_, glyph, &ox, &oy);
    x = ox;
    y = oy;
}

std::string FontFace::standalone_file() const
{
    hb_blob_t* file = hb_face_reference_blob(face_);
    unsigned length = 0;
    const char* data = hb_blob_get_data(file, &length);
    const bool collection = length >= 4 && std::string_view(data, 4) == "ttcf";
    std::string bytes;
    if (!collection) {
        bytes.assign(data ? data : "", data ? length : 0);
        hb_blob_destroy(file);
        return bytes;
    }
    hb_blob_destroy(file);
    hb_face_t* builder = hb_face_builder_create();
    hb_tag_t tags[64];
    unsigned start = 0;
    for (unsigned count = std::size(tags); count == std::size(tags); start += count) {
        count = std::size(tags);
        hb_face_get_table_tags(face_, start, &count, tags);
        for (unsigned i = 0; i < count; ++i) {
            hb_blob_t* table = hb_face_reference_table(face_, tags[i]);
            hb_face_builder_add_table(builder, tags[i], table);
            hb_blob_destroy(table);
        }
    }
    hb_blob_t* built = hb_face_reference_blob(builder);
    data = hb_blob_get_data(built, &length);
    bytes.assign(data ? data : "", data ? length : 0);
    hb_blob_destroy(built);
    hb_face_destroy(builder);
    return bytes;
}

FontFace::~FontFace()
{
    hb_font_destroy(font_);
    hb_face_destroy(face_);
}

// HarfBuzz keeps the character map's lookups cached, safely across threads.
uint32_t FontFace::glyph(char32_t c) const
{
    hb_codepoint_t id = 0;
    if (!hb_font_get_nominal_glyph(font_, c, &id))
        return 0;
    return id;
}

FontService& FontService::shared()
{
    static FontService* service = new FontService();
    return *service;
}

FontService::FontService()
{
    FcInit();
}

FontService::~FontService() = default;

const FontFace* FontService::load(const std::string& path, unsigned index, Outlines outlines)
{
    const std::string key = path + '\n' + std::to_string(index);
    if (auto found = by_file_.find(key); found != by_file_.end()) {
        const FontFace* face = found->second.get();
        return face && face->is_cff() && outlines == Outlines::TrueType ? nullptr : face;
    }
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
    if (!blob)
        return nullptr;
    std::unique_ptr<FontFace> face;
    hb_face_t* probe = hb_face_create(blob, index);
    const bool usable = is_true_type(probe) || (outlines == Outlines::Any && has_cff_outlines(probe));
    if (hb_face_get_glyph_count(probe) > 0 && usable)
        face = std::make_unique<FontFace>(path, index, blob);
    hb_face_destroy(probe);
    hb_blob_destroy(blob);
    const FontFace* loaded = face.get();
    // A file refused as TrueType may yet be taken as a bold weight.
    if (loaded || outlines == Outlines::Any)
        by_file_.emplace(key, std::move(face));
    return loaded;
}

// The bold face of a family, when fontconfig has that very family in a bold
// weight: it offers some other face rather than none, which is no bold of
// the family asked for.
const FontFace* FontService::match_bold(const std::string& family)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    const FontFace* face = nullptr;
    if (found) {
        FcChar8* file = nullptr;
        int index = 0;
        int weight = 0;
        if (same_family(found, family) && FcPatternGetInteger(found, FC_WEIGHT, 0, &weight) == FcResultMatch
            && weight >= FC_WEIGHT_BOLD && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
            face = load(reinterpret_cast<const char*>(file), static_cast<unsigned>(std::max(index, 0)),
                        Outlines::Any);
        }
        FcPatternDestroy(found);
    }
    FcPatternDestroy(pattern);
    return face && face->is_bold() ? face : nullptr;
}

const FontFace* FontService::bold_face(const FontFace* face)
{
    if (!face || face->is_bold())
        return face;
    std::lock_guard lock(mutex_);
    if (bold_use_ == BoldFaces::Stroked)
        return face;
    if (auto found = bold_faces_.find(face); found != bold_faces_.end())
        return found->second;
    const FontFace* bold = nullptr;
    for (const BoldFace& row : kBoldFaces)
        if (row.family == face->family()) {
            bold = match_bold(std::string(row.bold_family));
            break;
        }
    bold_faces_.emplace(face, bold ? bold : face);
    return bold ? bold : face;
}

void FontService::set_bold_faces(BoldFaces use)
{
    std::lock_guard lock(mutex_);
    bold_use_ = use;
}

// The best face fontconfig offers for a family, or for a character when one
// is given; only TrueType faces are taken, as only they embed as such.
const FontFace* FontService::match(const std::string& family, char32_t character)
{
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcCharSet* chars = nullptr;
    if (character) {
        chars = FcCharSetCreate();
        FcCharSetAddChar(chars, character);
        FcPatternAddCharSet(pattern, FC_CHARSET, chars);
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    const FontFace* face = nullptr;
    if (found) {
        FcChar8* file = nullptr;
        int index = 0;
        FcCharSet* has = nullptr;
        const bool covers = !character
                            || (FcPatternGetCharSet(found, FC_CHARSET, 0, &has) == FcResultMatch
                                && FcCharSetHasChar(has, character));
        if (covers && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(found, FC_INDEX, 0, &index);
            face = load(reinterpret_cast<const char*>(file), static_cast<unsigned>(std::max(index, 0)),
                        Outlines::TrueType);
        }
        FcPatternDestroy(found);
    }
    if (chars)
        FcCharSetDestroy(chars);
    FcPatternDestroy(pattern);
    return face;
}

const FontFace* FontService::face(std::string_view name)
{
    std::lock_guard lock(mutex_);
    const std::string key(name);
    if (auto found = by_name_.find(key); found != by_name_.end())
        return found->second;
    if (!default_)
        default_ = match(std::string(kDefaultFamily), 0);
    const std::string_view family = is_vertical_name(name) ? name.substr(1) : name;
    const FontFace* face = family.empty() ? default_ : match(substituted(family), 0);
    if (!face)
        face = default_;
    by_name_.emplace(key, face);
    return face;
}

const FontFace* FontService::fallback(char32_t c)
{
    std::lock_guard lock(mutex_);
    if (auto found = fallbacks_.find(c); found != fallbacks_.end())
        return found->second;
    const FontFace* face = nullptr;
    for (std::string_view family : kFallbackFamilies) {
        const FontFace* candidate = match(std::string(family), 0);
        if (candidate && candidate->glyph(c) != 0) {
            face = candidate;
            break;
        }
    }
    if (!face) {
        const FontFace* candidate = match(std::string(), c);
        if (candidate && candidate->glyph(c) != 0)
            face = candidate;
    }
    fallbacks_.emplace(c, face);
    return face;
}

// The decoded text's storage is kept for the thread's next text: widths are
// measured for every right-aligned, centred and fitted text.
void FontService::shape(const FontFace* face, std::string_view text, std::vector<ShapedGlyph>& glyphs)
{
    if (!face || text.empty())
        return;
    thread_local std::u32string chars;
    chars.clear();
    decode_utf8(text, chars);
    shape(face, std::u32string_view(chars), glyphs);
}

void FontService::shape(const FontFace* face, std::u32string_view chars, std::vector<ShapedGlyph>& glyphs)
{
    if (!face || chars.empty())
        return;
    glyphs.reserve(glyphs.size() + chars.size());
    shape_run(face, chars, 0, chars.size(), false, glyphs);
}

// Upright and turned characters alternate in runs: each is shaped in its own
// direction.
void FontService::shape_vertical(const FontFace* face, std::string_view text, std::vector<ShapedGlyph>& glyphs)
{
    if (!face || text.empty())
        return;
    thread_local std::u32string chars;
    chars.clear();
    decode_utf8(text, chars);
    shape_vertical(face, std::u32string_view(chars), glyphs);
}

void FontService::shape_vertical(const FontFace* face, std::u32string_view chars, std::vector<ShapedGlyph>& glyphs)
{
    if (!face || chars.empty())
        return;
    glyphs.reserve(glyphs.size() + chars.size());
    std::size_t start = 0;
    while (start < chars.size()) {
        const bool upright = upright_in_vertical(chars[start]);
        std::size_t end = start + 1;
        while (end < chars.size() && upright_in_vertical(chars[end]) == upright)
            ++end;
        shape_run(face, chars, start, end, upright, glyphs);
        start = end;
    }
}

// Runs of characters in one face are shaped together; a face without
// substitutions or kerning maps each character to its glyph directly, which
// is what HarfBuzz would do, only without building a buffer. Vertical runs
// always go through HarfBuzz, whose vertical features replace many glyphs.
// Clusters count from the start of chars, whichever run they fall in.
void FontService::shape_run(const FontFace* face, std::u32string_view chars, std::size_t from, std::size_t to,
                            bool vertical, std::vector<ShapedGlyph>& glyphs)
{
    // Each character's glyph in the face asked for, looked up once; 0 where
    // the face has none.
    thread_local std::vector<uint32_t> ids;
    ids.resize(chars.size());
    for (std::size_t i = from; i < to; ++i)
        ids[i] = face->glyph(chars[i]);
    auto face_of = [&](std::size_t i) {
        if (ids[i] != 0)
            return face;
        const FontFace* other = fallback(chars[i]);
        return other ? other : face;
    };

    std::size_t start = from;
    while (start < to) {
        // A run of characters in one face: the face asked for where it has
        // them (or nobody has), else the fallback that does.
        const FontFace* run_face = face_of(start);
        std::size_t end = start + 1;
        while (end < to && face_of(end) == run_face)
            ++end;
        if (run_face != face) {
            for (std::size_t i = start; i < end; ++i)
                ids[i] = run_face->glyph(chars[i]);
        }
        bool plain = !vertical;
        for (std::size_t i = start; plain && i < end; ++i)
            plain = !run_face->starts_lookup(ids[i]) && in_plain_script(chars[i]);
        if (plain) {
            for (std::size_t i = start; i < end; ++i)
                glyphs.push_back({run_face, ids[i], chars[i], static_cast<uint32_t>(i), run_face->advance(ids[i]), 0, 0});
        } else {
            hb_buffer_t* buffer = hb_buffer_create();
            hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(chars.data()),
                                static_cast<int>(chars.size()), static_cast<unsigned>(start),
                                static_cast<int>(end - start));
            hb_buffer_guess_segment_properties(buffer);
            hb_buffer_set_direction(buffer, vertical ? HB_DIRECTION_TTB : HB_DIRECTION_LTR);
            hb_shape(run_face->hb_font(), buffer, nullptr, 0);
            unsigned count = 0;
            const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
            const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
            for (unsigned i = 0; i < count; ++i)
                glyphs.push_back({run_face, info[i].codepoint, chars[info[i].cluster], info[i].cluster,
                                  vertical ? -pos[i].y_advance : pos[i].x_advance, pos[i].x_offset,
                                  pos[i].y_offset, vertical});
            hb_buffer_destroy(buffer);
        }
        start = end;
    }
}

double FontService::text_width(const FontFace* face, double points, std::string_view text)
{
    thread_local std::vector<ShapedGlyph> glyphs;
    glyphs.clear();
    shape(face, text, glyphs);
    double width = 0;
    for (const ShapedGlyph& g : glyphs)
        width += static_cast<double>(g.advance) / g.face->units_per_em();
    return width * points;
}

double FontService::column_length(const FontFace* face, double points, std::string_view text)
{
    thread_local std::vector<ShapedGlyph> glyphs;
    glyphs.clear();
    shape_vertical(face, text, glyphs);
    double length = 0;
    for (const ShapedGlyph& g : glyphs)
        length += static_cast<double>(g.advance) / g.face->units_per_em();
    return length * points;
}

}  // namespace kt482::text
