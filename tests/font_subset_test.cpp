// The embedded fonts: the glyphs a document uses, renumbered, each drawn
// and advanced as in the face, and copies as wide as a spread text shows them.
#include <gtest/gtest.h>

#include <hb.h>

#include <string>
#include <thread>
#include <vector>

#include "pdf/cff_font.h"
#include "pdf/font_subset.h"
#include "text/font_service.h"

namespace kt482 {
namespace {

using text::FontService;

std::vector<uint32_t> glyphs_of(const text::FontFace* face, const std::string& text)
{
    std::vector<text::ShapedGlyph> shaped;
    FontService::shared().shape(face, text, shaped);
    std::vector<uint32_t> glyphs;
    for (const auto& g : shaped)
        if (g.face == face && g.glyph != 0)
            glyphs.push_back(g.glyph);
    return glyphs;
}

// What a TrueType file's words add up to; a whole file's is fixed.
uint32_t file_sum(const std::string& file)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 4) {
        uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k)
            word = word << 8 | (i + k < file.size() ? static_cast<unsigned char>(file[i + k]) : 0u);
        sum += word;
    }
    return sum;
}

struct SubsetCase {
    const char* face;
    const char* text;
};

// Full-width and half-width Japanese in the fixed and the proportional IPA
// faces, glyphs repeated; accented Latin whose glyphs are built from parts
// (composites pull in glyphs nobody asked for, which shifts the numbering).
const SubsetCase kSubsetCases[] = {
    {"IPAMincho", "請求書 合計￥１２,３４０ ｶﾞｷﾞｸﾞ 請求"},
    {"IPAPGothic", "品名 Quantity 数量 ～〜"},
    {"DejaVu Sans", "éñÅ Ǻ ỗ ĳ"},
};

bool same_outline(hb_font_t* a, uint32_t glyph_a, hb_font_t* b, uint32_t glyph_b)
{
    hb_glyph_extents_t one{}, other{};
    hb_font_get_glyph_extents(a, glyph_a, &one);
    hb_font_get_glyph_extents(b, glyph_b, &other);
    return one.x_bearing == other.x_bearing && one.y_bearing == other.y_bearing && one.width == other.width
           && one.height == other.height;
}

// Each glyph drawn and advanced as in the face under its new number; copies
// drawn as their glyph, advancing as asked; the file's sum as TrueType has it.
TEST(FontSubset, GlyphsKeepTheirOutlinesUnderNewNumbersAndCopiesTakeTheirAdvances)
{
    for (const SubsetCase& c : kSubsetCases) {
        for (const bool copying : {false, true}) {
            SCOPED_TRACE(std::string(c.face) + (copying ? ", with copies" : ""));
            const text::FontFace* face = FontService::shared().face(c.face);
            ASSERT_NE(face, nullptr);
            const std::vector<uint32_t> glyphs = glyphs_of(face, c.text);
            ASSERT_GT(glyphs.size(), 5u);
            // Every other glyph copied wider, the first twice.
            std::vector<pdf::GlyphCopy> copies;
            for (std::size_t i = 0; copying && i < glyphs.size(); i += 2)
                copies.push_back({glyphs[i], static_cast<uint16_t>(face->advance(glyphs[i]) + 100 + i)});
            if (copying)
                copies.push_back({glyphs[0], 7});
            const pdf::FontSubset subset = pdf::subset_font(*face, glyphs, copies);
            ASSERT_FALSE(subset.file.empty());
            ASSERT_EQ(subset.glyphs.size(), glyphs.size());
            ASSERT_EQ(subset.copies.size(), copies.size());
            EXPECT_EQ(file_sum(subset.file), 0xB1B0AFBAu);

            hb_blob_t* blob = hb_blob_create(subset.file.data(), static_cast<unsigned>(subset.file.size()),
                                             HB_MEMORY_MODE_READONLY, nullptr, nullptr);
            hb_face_t* small = hb_face_create(blob, 0);
            hb_font_t* font = hb_font_create(small);
            const unsigned count = hb_face_get_glyph_count(small);
            // Renumbered: glyph 0, the glyphs used, the parts of composites
            // and the copies.
            EXPECT_LT(count, 3 * glyphs.size() + copies.size() + 1);
            for (std::size_t i = 0; i < glyphs.size(); ++i) {
                const uint32_t gid = subset.glyphs[i];
                ASSERT_NE(gid, 0u) << glyphs[i];
                ASSERT_LT(gid, count);
                EXPECT_TRUE(same_outline(face->hb_font(), glyphs[i], font, gid)) << glyphs[i] << " as " << gid;
                EXPECT_EQ(hb_font_get_glyph_h_advance(font, gid), face->advance(glyphs[i])) << glyphs[i];
            }
            for (std::size_t i = 0; i < copies.size(); ++i) {
                const uint32_t gid = subset.copies[i];
                ASSERT_LT(gid, count);
                EXPECT_GE(gid, count - copies.size());
                EXPECT_TRUE(same_outline(face->hb_font(), copies[i].glyph, font, gid)) << copies[i].glyph;
                EXPECT_EQ(hb_font_get_glyph_h_advance(font, gid), copies[i].advance) << copies[i].glyph;
            }
            hb_font_destroy(font);
            hb_face_destroy(small);
            hb_blob_destroy(blob);
        }
    }
}

// The prepared faces are shared: threads subsetting the same face at once
// get what one thread alone gets.
TEST(FontSubset, ThreadsSubsettingOneFaceAtOnceAgree)
{
    const text::FontFace* face = FontService::shared().face("IPAMincho");
    ASSERT_NE(face, nullptr);
    const std::vector<uint32_t> glyphs = glyphs_of(face, kSubsetCases[0].text);
    const pdf::FontSubset alone = pdf::subset_font(*face, glyphs);
    std::vector<int> differing(3, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const pdf::FontSubset again = pdf::subset_font(*face, glyphs);
                differing[t] += again.file != alone.file || again.glyphs != alone.glyphs;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(differing, std::vector<int>(3, 0));
}

// A bold weight's subset for one resource: a glyph per code, a glyph used
// twice and a copy of another width each under a code of its own. Laying it
// out again in its own code order changes nothing; no cut of it is read
// past its end (the sanitizer build would see that), and a code whose glyph
// is not in the font gives no font.
TEST(CffFont, ACodeOrderedFontIsItsOwnLayoutAndCutsAreRefused)
{
    const text::FontFace* mincho = FontService::shared().face("ＭＳ 明朝");
    const text::FontFace* bold = FontService::shared().bold_face(mincho);
    if (bold == mincho)
        GTEST_SKIP() << "the bold weights are not installed (fonts-noto-cjk)";
    const std::vector<uint32_t> glyphs = glyphs_of(bold, "請求A");
    ASSERT_EQ(glyphs.size(), 3u);
    const std::vector<uint32_t> codes{0, glyphs[0], glyphs[1], glyphs[2], glyphs[0], glyphs[1]};
    const std::vector<int32_t> widths{-1, -1, -1, -1, -1, 1500};
    const pdf::FontSubset subset = pdf::subset_cff_font(*bold, codes, widths);
    ASSERT_FALSE(subset.file.empty());
    EXPECT_EQ(subset.glyphs, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    const std::vector<uint32_t> own{0, 1, 2, 3, 4, 5};
    EXPECT_EQ(pdf::cff_in_code_order(subset.file, own), subset.file);
    // The copy of another width differs from its glyph by the width alone.
    const std::string renumbered = pdf::cff_in_code_order(subset.file, {0, 5, 2});
    ASSERT_FALSE(renumbered.empty());
    EXPECT_NE(renumbered, pdf::cff_in_code_order(subset.file, {0, 2, 2}));
    EXPECT_EQ(pdf::cff_in_code_order(subset.file, {0, 6}), "");
    for (std::size_t length = 0; length < subset.file.size(); length += 7)
        EXPECT_EQ(pdf::cff_in_code_order(std::string_view(subset.file).substr(0, length), own), "") << length;
}

// A batch asks for the same bold subset document after document, and gets
// the one kept from before; a request that differs in a width alone gets its
// own.
TEST(CffFont, AKeptSubsetIsTheOneForTheSameGlyphsAndWidths)
{
    const text::FontFace* mincho = FontService::shared().face("ＭＳ 明朝");
    const text::FontFace* bold = FontService::shared().bold_face(mincho);
    if (bold == mincho)
        GTEST_SKIP() << "the bold weights are not installed (fonts-noto-cjk)";
    const std::vector<uint32_t> glyphs = glyphs_of(bold, "合計");
    ASSERT_EQ(glyphs.size(), 2u);
    const std::vector<uint32_t> codes{0, glyphs[0], glyphs[1]};
    const pdf::FontSubset plain = pdf::subset_cff_font(*bold, codes, {-1, -1, -1});
    const pdf::FontSubset wide = pdf::subset_cff_font(*bold, codes, {-1, -1, 1200});
    ASSERT_FALSE(plain.file.empty());
    ASSERT_FALSE(wide.file.empty());
    EXPECT_NE(plain.file, wide.file);
    EXPECT_EQ(pdf::subset_cff_font(*bold, codes, {-1, -1, -1}).file, plain.file);
    EXPECT_EQ(pdf::subset_cff_font(*bold, codes, {-1, -1, 1200}).file, wide.file);
}

}  // namespace
}  // namespace kt482
