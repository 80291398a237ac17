// Shaping takes a short cut for texts whose glyphs no lookup of their plan
// starts: one glyph per character at its design advance. Whatever the face
// and the text, the result must be HarfBuzz's own.
#include <gtest/gtest.h>

#include <hb.h>

#include <string>
#include <vector>

#include "text/font_service.h"

namespace kt482::text {
namespace {

std::vector<ShapedGlyph> harfbuzz_shape(const FontFace* face, std::string_view text)
{
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_shape(face->hb_font(), buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);
    std::vector<ShapedGlyph> glyphs;
    for (unsigned i = 0; i < count; ++i)
        glyphs.push_back({face, info[i].codepoint, 0, info[i].cluster, pos[i].x_advance, pos[i].x_offset,
                          pos[i].y_offset});
    hb_buffer_destroy(buffer);
    return glyphs;
}

// Clusters: HarfBuzz's count UTF-8 bytes here, the service's characters.
std::vector<uint32_t> byte_clusters(std::string_view text)
{
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}

bool has_every_character(const FontFace* face, std::string_view text)
{
    std::u32string chars;
    decode_utf8(text, chars);
    for (const char32_t c : chars)
        if (face->glyph(c) == 0)
            return false;
    return true;
}

TEST(FontShaping, EqualsHarfBuzzForEveryFaceAndScript)
{
    FontService& fonts = FontService::shared();
    std::vector<const FontFace*> faces;
    for (const char* name : {"ＭＳ 明朝", "ＭＳ ゴシック", "ＭＳ Ｐゴシック"}) {
        const FontFace* face = fonts.face(name);
        ASSERT_NE(face, nullptr) << name;
        faces.push_back(face);
        faces.push_back(fonts.bold_face(face));  // the installed bold weight, or the face again
    }
    // Japanese forms' texts, Latin with ligatures and kerning pairs, glyphs
    // CJK faces localise for Chinese or Korean, a combining mark, scripts
    // with plans of their own.
    const char* const texts[] = {
        "請求書　御中", "ｶﾌﾞｼｷｶﾞｲｼｬ ﾃｽﾄ", "office ffi fl", "AVATAR To Wa", "１２３,４５６円（税込）",
        "直骨今角", "㈱ ①② ㍻", "café cafe\u0301", "Счёт-фактура", "Ελληνικά", "한국어", "Ａ社 Total: ¥1,234",
        "ー〜・「」", "0.5×3=1.5",
    };
    int compared = 0;
    for (const FontFace* face : faces) {
        for (const char* text : texts) {
            SCOPED_TRACE(face->postscript_name() + ": " + text);
            if (!has_every_character(face, text))
                continue;  // the service shapes what the face lacks in another face
            const std::vector<ShapedGlyph> expected = harfbuzz_shape(face, text);
            std::vector<ShapedGlyph> got;
            fonts.shape(face, text, got);
            ASSERT_EQ(got.size(), expected.size());
            const std::vector<uint32_t> clusters = byte_clusters(text);
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].face, face) << i;
                EXPECT_EQ(got[i].glyph, expected[i].glyph) << i;
                // HarfBuzz joins a half-width sound mark to the kana before
                // it; the grid keeps each character a cluster of its own.
                if (i == 0 || expected[i].cluster != expected[i - 1].cluster) {
                    EXPECT_EQ(clusters.at(got[i].cluster), expected[i].cluster) << i;
                }
                EXPECT_EQ(got[i].advance, expected[i].advance) << i;
                EXPECT_EQ(got[i].x_offset, expected[i].x_offset) << i;
                EXPECT_EQ(got[i].y_offset, expected[i].y_offset) << i;
            }
            ++compared;
        }
    }
    // Most texts are whole in the IPA faces and in the bold weights.
    EXPECT_GE(compared, 40);
}

}  // namespace
}  // namespace kt482::text
