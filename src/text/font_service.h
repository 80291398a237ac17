// The fonts of every output: face names resolved through fontconfig, one
// set of text metrics for the preview and the PDF, and the shaping of text
// into glyphs with HarfBuzz.
//
// Metrics are the font's design values scaled to the size, never hinted, so a
// text is as wide on a 96-dpi preview as in a PDF. A character the face lacks
// is taken from a fallback face that has it; a face name fontconfig does not
// know resolves to whatever face it offers instead.
//
// A face name that starts with "@" names the same face set vertically: texts
// run top to bottom, full-width characters upright in the face's vertical
// forms, Latin and half-width runs turned a quarter clockwise.
//
// Bold texts take the face's bold weight where one is installed: the table
// kBoldFaces (font_service.cpp) names, for each family a form's faces
// resolve to, the family of its bold weight. Without it installed, or for a
// family the table lacks, bold is drawn by stroking the regular outlines.
// Bold weights may be CFF-based OpenType faces; regular faces are TrueType.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct hb_face_t;
struct hb_font_t;
struct hb_blob_t;

namespace kt482::text {

// One loaded face of a font file (TrueType, or CFF-based OpenType for a bold
// weight), a member of a collection by its index; lives as long as the
// service.
class FontFace {
public:
    FontFace(std::string path, unsigned index, hb_blob_t* blob);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const std::string& path() const { return path_; }
    unsigned index() const { return index_; }
    // The PostScript name, for the embedded font's name ("IPAMincho").
    const std::string& postscript_name() const { return postscript_name_; }
    // The family name its name table gives ("IPAMincho", "Noto Serif CJK JP").
    const std::string& family() const { return family_; }
    // Whether its outlines are CFF (PostScript) outlines rather than TrueType.
    bool is_cff() const { return cff_; }
    // The face as a font file of its own, for a renderer that reads font
    // files: the file itself, or for a member of a collection its tables
    // written as a file of their own. Empty when the file cannot be read.
    std::string standalone_file() const;
    hb_face_t* hb_face() const { return face_; }
    hb_font_t* hb_font() const { return font_; }

    int units_per_em() const { return upem_; }
    // Above and below the baseline, both positive, and the gap between lines;
    // in font units.
    int ascender() const { return ascender_; }
    int descender() const { return descender_; }
    int line_gap() const { return line_gap_; }
    int underline_position() const { return underline_position_; }  // negative: below
    int underline_thickness() const { return underline_thickness_; }
    // The font's box, for the embedded font's descriptor.
    int bbox[4] = {0, 0, 0, 0};
    // Whether the font has a bold weight of its own (otherwise bold is drawn
    // by stroking the outlines as well as filling them).
    bool is_bold() const { return bold_; }
    uint16_t glyph_count() const { return glyph_count_; }

    // The glyph of a character; 0 when the face has none.
    uint32_t glyph(char32_t c) const;
    // The design advance of a glyph in font units.
    int32_t advance(uint32_t glyph) const
    {
        return glyph < advances_.size() ? advances_[glyph] : 0;
    }
    // Set vertically: the design advance down the column (positive), and
    // where the glyph's vertical origin lies from its horizontal one (x to
    // the right, y up; the top centre of its em box for most faces), in font
    // units. Faces without vertical metrics get their ascender and descender.
    int32_t vertical_advance(uint32_t glyph) const;
    void vertical_origin(uint32_t glyph, int32_t& x, int32_t& y) const;
    // Whether shaping a text with this glyph may differ from one glyph per
    // character at its design advance: a lookup that shaping horizontal
    // Japanese, Latin or common characters applies (composition, ligatures,
    // kerning, ...) starts at it. Texts in other scripts are always shaped.
    bool starts_lookup(uint32_t glyph) const
    {
        return all_shaped_ || (glyph < lookup_starts_.size() && lookup_starts_[glyph]);
    }

private:
    std::string path_;
    unsigned index_ = 0;
    std::string postscript_name_;
    std::string family_;
    bool cff_ = false;
    hb_face_t* face_ = nullptr;
    hb_font_t* font_ = nullptr;
    int upem_ = 1000;
    int ascender_ = 0;
    int descender_ = 0;
    int line_gap_ = 0;
    int underline_position_ = 0;
    int underline_thickness_ = 0;
    bool bold_ = false;
    bool all_shaped_ = false;
    std::vector<bool> lookup_starts_;
    std::vector<int32_t> advances_;
    uint16_t glyph_count_ = 0;
};

// One glyph of shaped text: its face, glyph id, the character(s) it shows
// (for text extraction), and its advance and offsets in font units.
//
// A cluster is the characters and glyphs shaping keeps together: one glyph
// may show several characters (a composed voiced mark), several glyphs one
// character (a decomposed accent). Its glyphs are consecutive and share the
// index of its first character.
//
// An upright glyph of vertical text advances down the column, and its offsets
// (x right, y up) place its horizontal origin from the pen, which runs down
// the column's centre line. Every other glyph advances to the right of its
// baseline (in vertical text, a turned run's baseline runs down the column).
struct ShapedGlyph {
    const FontFace* face = nullptr;
    uint32_t glyph = 0;
    char32_t text = 0;  // the first character of its cluster
    uint32_t cluster = 0;  // that character's index in the code points shaped
    int32_t advance = 0;
    int32_t x_offset = 0;
    int32_t y_offset = 0;
    bool upright = false;
};

// Whether a face name asks for vertical setting (starts with "@").
bool is_vertical_name(std::string_view name);
// Whether a character stands upright in vertical text: ideographs, kana,
// full-width forms and the symbols set like them; Latin, half-width forms and
// most other scripts are turned.
bool upright_in_vertical(char32_t c);

// Whether bold texts take the installed bold weights, or always stroke the
// regular outlines (as on a machine without them).
enum class BoldFaces { Installed, Stroked };

// The resolved form of a face name: its face and the name asked for.
class FontService {
public:
    // The process's service; thread safe.
    static FontService& shared();

    // The face for a name as forms spell it ("ＭＳ 明朝", "MS PGothic", "Arial";
    // "@ＭＳ 明朝" is the same face as "ＭＳ 明朝"). Never null while the machine
    // has any usable font; an empty name or one fontconfig cannot place
    // resolves to its default.
    const FontFace* face(std::string_view name);

    // The face a bold text in face is drawn in: the bold weight kBoldFaces
    // names for its family when it is installed (and bold), else face itself,
    // whose outlines are then stroked.
    const FontFace* bold_face(const FontFace* face);
    // Stroked: bold_face gives every face back, as though no bold weight were
    // installed. For tests and for output that must look as it did before.
    void set_bold_faces(BoldFaces use);

    // Text (UTF-8; invalid bytes become U+FFFD) shaped in face, characters the
    // face lacks taken from a fallback face. Appends to glyphs.
    void shape(const FontFace* face, std::string_view text, std::vector<ShapedGlyph>& glyphs);
    // The same for text decoded already.
    void shape(const FontFace* face, std::u32string_view chars, std::vector<ShapedGlyph>& glyphs);

    // Text set top to bottom: runs of upright characters shaped vertically
    // (the face's vertical forms and metrics), the others horizontally, to be
    // turned. Appends to glyphs.
    void shape_vertical(const FontFace* face, std::string_view text, std::vector<ShapedGlyph>& glyphs);
    // The same for text decoded already.
    void shape_vertical(const FontFace* face, std::u32string_view chars, std::vector<ShapedGlyph>& glyphs);

    // The advance of text at a size in points.
    double text_width(const FontFace* face, double points, std::string_view text);
    // The length of text set vertically, top to bottom, in points.
    double column_length(const FontFace* face, double points, std::string_view text);

    FontService();
    ~FontService();
    FontService(const FontService&) = delete;
    FontService& operator=(const FontService&) = delete;

private:
    enum class Outlines { TrueType, Any };
    const FontFace* load(const std::string& path, unsigned index, Outlines outlines);
    const FontFace* match(const std::string& family, char32_t character);
    const FontFace* match_bold(const std::string& family);
    const FontFace* fallback(char32_t c);
    void shape_run(const FontFace* face, std::u32string_view chars, std::size_t from, std::size_t to,
                   bool vertical, std::vector<ShapedGlyph>& glyphs);

    std::mutex mutex_;
    std::unordered_map<std::string, const FontFace*> by_name_;
    std::unordered_map<std::string, std::unique_ptr<FontFace>> by_file_;
    std::unordered_map<char32_t, const FontFace*> fallbacks_;
    std::unordered_map<const FontFace*, const FontFace*> bold_faces_;
    BoldFaces bold_use_ = BoldFaces::Installed;
    const FontFace* default_ = nullptr;
};

// The code points of UTF-8 text; a byte that starts no valid sequence
// becomes U+FFFD.
void decode_utf8(std::string_view text, std::u32string& out);

}  // namespace kt482::text
