// The embedded fonts: the glyphs a document uses, renumbered, each drawn
// and advanced as in the face, or as wide as a spread text shows it.
#include <gtest/gtest.h>

#include <hb.h>

#include <string>
#include <thread>
#include <vector>

#include "pdf/font_subset.h"
#include "text/font_service.h"

namespace kt482 {
namespace {

using pdf::FontService;

std::vector<uint32_t> glyphs_of(const pdf::FontFace* face, const std::string& text)
{
    std::vector<pdf::ShapedGlyph> shaped;
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

TEST(FontSubset, GlyphsKeepTheirOutlinesUnderNewNumbersAndTakeTheAdvancesGiven)
{
    for (const SubsetCase& c : kSubsetCases) {
        for (const bool widened : {false, true}) {
            SCOPED_TRACE(std::string(c.face) + (widened ? ", widened" : ""));
            const pdf::FontFace* face = FontService::shared().face(c.face);
            ASSERT_NE(face, nullptr);
            const std::vector<uint32_t> glyphs = glyphs_of(face, c.text);
            ASSERT_GT(glyphs.size(), 5u);
            // Every other glyph made wider; a glyph given several advances
            // takes the last.
            std::vector<int32_t> advances;
            for (std::size_t i = 0; i < glyphs.size(); ++i)
                advances.push_back(i % 2 ? -1 : face->advance(glyphs[i]) + 100 + static_cast<int32_t>(i));
            const pdf::FontSubset subset = pdf::subset_font(*face, glyphs, widened ? &advances : nullptr);
            ASSERT_FALSE(subset.file.empty());
            ASSERT_EQ(subset.glyphs.size(), glyphs.size());
            EXPECT_EQ(file_sum(subset.file), 0xB1B0AFBAu);

            hb_blob_t* blob = hb_blob_create(subset.file.data(), static_cast<unsigned>(subset.file.size()),
                                             HB_MEMORY_MODE_READONLY, nullptr, nullptr);
            hb_face_t* small = hb_face_create(blob, 0);
            hb_font_t* font = hb_font_create(small);
            // Renumbered: glyph 0, the glyphs used and the parts of composites.
            EXPECT_LT(hb_face_get_glyph_count(small), 3 * glyphs.size() + 1);
            std::vector<int32_t> expected(hb_face_get_glyph_count(small), -1);
            for (std::size_t i = 0; i < glyphs.size(); ++i) {
                const uint32_t gid = subset.glyphs[i];
                ASSERT_NE(gid, 0u) << glyphs[i];
                ASSERT_LT(gid, hb_face_get_glyph_count(small));
                if (widened && advances[i] >= 0)
                    expected[gid] = advances[i];
                else if (expected[gid] < 0)
                    expected[gid] = face->advance(glyphs[i]);
                hb_glyph_extents_t before{}, after{};
                hb_font_get_glyph_extents(face->hb_font(), glyphs[i], &before);
                hb_font_get_glyph_extents(font, gid, &after);
                EXPECT_TRUE(before.x_bearing == after.x_bearing && before.y_bearing == after.y_bearing
                            && before.width == after.width && before.height == after.height)
                    << "glyph " << glyphs[i] << " drawn as new glyph " << gid;
            }
            for (std::size_t i = 0; i < glyphs.size(); ++i)
                EXPECT_EQ(hb_font_get_glyph_h_advance(font, subset.glyphs[i]), expected[subset.glyphs[i]]) << i;
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
    const pdf::FontFace* face = FontService::shared().face("IPAMincho");
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

}  // namespace
}  // namespace kt482
