// A CID-keyed CFF font laid out again for a PDF resource of its own.
//
// A CFF font embedded in a PDF (FontFile3, CIDFontType0C) has no map from
// the resource's codes to its glyphs: a code is a CID, and the font's
// charset takes the CID to its glyph. Glyphs reached by several codes (one
// glyph showing another text, or a copy of another width) would need several
// CIDs for one glyph, which a charset cannot give. So the font is written
// anew with one glyph per code: glyph i is the outline of the code i's
// glyph, and the charset maps every glyph to the CID of its own number.
//
// A copy of another width gets that advance in its charstring too, for
// readers that take advances from the font file. The outlines, subroutines,
// private dictionaries and names are otherwise copied as they are; the top dictionary, charset, FDSelect, CharStrings and FDArray
// are written again with the offsets of the new layout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kt482::pdf {

// cff: a CID-keyed CFF table; glyphs: the glyph of each code (code 0 is
// shown as glyph 0, the missing glyph, whatever it names); widths: each
// code's advance in font units where it is a copy of another width, -1 (or
// none) where it keeps its glyph's. A glyph's width is rewritten only where
// its charstring calls no subroutine before its first hint or move, as in a
// desubroutinized subset. The new table; empty when cff is not a CID-keyed
// CFF table this reads, or a glyph is not in it.
std::string cff_in_code_order(std::string_view cff, const std::vector<uint32_t>& glyphs,
                              const std::vector<int32_t>& widths = {});

}  // namespace kt482::pdf
