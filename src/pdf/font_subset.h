// The font file embedded for the glyphs a document uses.
//
// Each font file is prepared for subsetting once per process (its tables
// parsed, its glyph closure data built) and the prepared face is shared by
// every document on every thread. The subset renumbers the glyphs it keeps,
// so its index and metric tables hold those glyphs only; the document's
// CIDToGIDMap takes each character code to the glyph's new number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt482::pdf {

class FontFace;

struct FontSubset {
    std::string file;  // the TrueType file; empty when subsetting failed
    // The subset's number of each glyph asked for, in the order asked; the
    // face's own numbers when subsetting failed.
    std::vector<uint32_t> glyphs;
};

// The subset of face holding glyph 0 and every glyph of glyphs (which may
// repeat). advances, when given, has one entry for each of glyphs: the
// advance in font units the subset gives that glyph instead of its own
// (negative: its own). Thread safe.
FontSubset subset_font(const FontFace& face, const std::vector<uint32_t>& glyphs,
                       const std::vector<int32_t>* advances = nullptr);

}  // namespace kt482::pdf
