// The font file embedded for the glyphs a document uses.
//
// Each font file subset more than once is prepared for subsetting once per
// process (its tables parsed, its glyph closure data built) and the prepared
// face is shared by every document on every thread. The subset renumbers the glyphs it keeps,
// so its index and metric tables hold those glyphs only; the document's
// CIDToGIDMap takes each character code to the glyph's new number. A glyph
// may be copied with an advance of its own, for a text whose glyphs stand
// wider apart than they advance: readers that take advances from the font
// file rather than from the PDF then find no gaps in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt482::text {
class FontFace;
}  // namespace kt482::text

namespace kt482::pdf {

struct FontSubset {
    std::string file;  // the TrueType file; empty when subsetting failed
    // The subset's number of each glyph asked for, in the order asked; the
    // face's own numbers when subsetting failed.
    std::vector<uint32_t> glyphs;
    // The numbers of the copies asked for, in order; 0 where none was made.
    std::vector<uint32_t> copies;
};

// A further glyph drawn as a glyph of the face but advancing by another
// width, in font units.
struct GlyphCopy {
    uint32_t glyph;
    uint16_t advance;
};

// The subset of face holding glyph 0, every glyph of glyphs (which may
// repeat) and, after them, the copies. Thread safe.
FontSubset subset_font(const text::FontFace& face, const std::vector<uint32_t>& glyphs,
                       const std::vector<GlyphCopy>& copies = {});

// The subset of a CFF-based face for one resource, glyphs the glyph of each
// of its codes: a bare CID-keyed CFF font whose glyph and CID of each code
// are the code itself (see cff_font.h), and glyphs numbered so; copies of
// other widths (widths: each code's advance in font units, -1 for its
// glyph's own) are the glyph's outline at that advance. Thread safe.
FontSubset subset_cff_font(const text::FontFace& face, const std::vector<uint32_t>& glyphs,
                           const std::vector<int32_t>& widths);

}  // namespace kt482::pdf
