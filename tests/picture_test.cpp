// Pictures, fills and colour: the loader on good and damaged files, the
// records the three host additions write, and what the renderer makes of
// them on a logging surface.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "image/picture_cache.h"
#include "image/picture_decoder.h"
#include "job/page_record.h"
#include "kt482/kt482.h"
#include "render/page_out.h"
#include "support/picture_files.h"
#include "support/recording_surface.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

struct DecodeCase {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    int channels;
    bool alpha;
    std::vector<uint8_t> first_pixel;  // after decoding; JPEG within a tolerance
    int jpeg_components;
    bool jpeg_inverted;
};

const DecodeCase kDecodeCases[] = {
    {"png_grey", [] { return png_bytes(3, 2, 1, solid(3, 2, {0x80})); }, 1, false, {0x80}, 0, false},
    {"png_grey_alpha", [] { return png_bytes(3, 2, 2, solid(3, 2, {0x40, 0x7F})); }, 1, true, {0x40}, 0, false},
    {"png_rgb", [] { return png_bytes(3, 2, 3, solid(3, 2, {200, 30, 30})); }, 3, false, {200, 30, 30}, 0, false},
    {"png_rgba", [] { return png_bytes(3, 2, 4, solid(3, 2, {1, 2, 3, 0})); }, 3, true, {1, 2, 3}, 0, false},
    // An alpha channel that is opaque throughout needs no mask.
    {"png_opaque_rgba", [] { return png_bytes(3, 2, 4, solid(3, 2, {9, 8, 7, 255})); }, 3, false, {9, 8, 7}, 0,
     false},
    {"jpeg_grey", [] { return jpeg_bytes(16, 8, 1, solid(16, 8, {0x80})); }, 1, false, {0x80}, 1, false},
    {"jpeg_rgb", [] { return jpeg_bytes(16, 8, 3, solid(16, 8, {200, 30, 30})); }, 3, false, {200, 30, 30}, 3,
     false},
    {"jpeg_progressive", [] { return jpeg_bytes(16, 8, 3, solid(16, 8, {30, 200, 30}), true); }, 3, false,
     {30, 200, 30}, 3, false},
    // Pure cyan with no black: red gone, green and blue full.
    {"jpeg_cmyk_adobe", [] { return jpeg_bytes(16, 8, 4, solid(16, 8, {255, 0, 0, 0})); }, 3, false, {0, 255, 255},
     4, true},
};

class PictureDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(PictureDecode, GivesGreyOrRgbPixelsAndKeepsAJpegAsItIs)
{
    const DecodeCase& c = GetParam();
    const std::vector<uint8_t> bytes = c.bytes();
    auto picture = decode_picture(bytes);
    ASSERT_TRUE(picture) << picture.failure().description;
    EXPECT_EQ(picture->channels, c.channels);
    EXPECT_EQ(picture->pixels.size(),
              static_cast<std::size_t>(picture->width * picture->height * c.channels));
    EXPECT_EQ(!picture->alpha.empty(), c.alpha);
    for (std::size_t i = 0; i < c.first_pixel.size(); ++i)
        EXPECT_NEAR(picture->pixels[i], c.first_pixel[i], c.jpeg_components ? 6 : 0) << i;
    EXPECT_EQ(picture->jpeg_components, c.jpeg_components);
    EXPECT_EQ(picture->jpeg_inverted, c.jpeg_inverted);
    EXPECT_EQ(picture->jpeg.size(), c.jpeg_components ? bytes.size() : 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictureDecode, testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct DamageCase {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    uint64_t max_pixels;
};

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, std::size_t keep)
{
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

std::vector<uint8_t> flipped(std::vector<uint8_t> bytes, std::size_t from)
{
    for (std::size_t i = from; i < bytes.size(); i += 7)
        bytes[i] ^= 0x5A;
    return bytes;
}

// A PNG whose header claims 30000 x 30000 pixels over a few bytes of data,
// its header checksum made right so that only the size lies.
std::vector<uint8_t> lying_png()
{
    std::vector<uint8_t> bytes = png_bytes(4, 4, 3, solid(4, 4, {1, 2, 3}));
    for (std::size_t at : {16u, 20u}) {
        bytes[at] = 0;
        bytes[at + 1] = 0;
        bytes[at + 2] = 0x75;
        bytes[at + 3] = 0x30;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 12; i < 29; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        bytes[29 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    return bytes;
}

const DamageCase kDamageCases[] = {
    {"empty", [] { return std::vector<uint8_t>{}; }, kMaxPicturePixels},
    {"not_a_picture", [] { return std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0}; }, kMaxPicturePixels},
    {"png_signature_only", [] { return cut(png_bytes(8, 8, 3, solid(8, 8, {1, 2, 3})), 8); }, kMaxPicturePixels},
    {"png_truncated", [] { return cut(png_bytes(64, 64, 3, solid(64, 64, {1, 2, 3})), 60); }, kMaxPicturePixels},
    {"png_corrupt", [] { return flipped(png_bytes(64, 64, 3, solid(64, 64, {1, 2, 3})), 40); }, kMaxPicturePixels},
    {"png_lying_size", lying_png, kMaxPicturePixels},
    {"png_over_the_limit", [] { return png_bytes(20, 10, 1, solid(20, 10, {0})); }, 199},
    {"jpeg_truncated",
     [] {
         auto full = jpeg_bytes(64, 64, 3, solid(64, 64, {9, 99, 199}));
         return cut(full, full.size() / 2);
     },
     kMaxPicturePixels},
    {"jpeg_corrupt", [] { return flipped(jpeg_bytes(64, 64, 3, solid(64, 64, {9, 99, 199})), 3); },
     kMaxPicturePixels},
    {"jpeg_over_the_limit", [] { return jpeg_bytes(20, 10, 1, solid(20, 10, {0})); }, 199},
};

class PictureDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(PictureDamage, IsAnInvalidPicture)
{
    auto picture = decode_picture(GetParam().bytes(), GetParam().max_pixels);
    ASSERT_FALSE(picture);
    EXPECT_TRUE(picture.failure().is(ErrorNumber::InvalidPicture)) << picture.failure().description;
}

INSTANTIATE_TEST_SUITE_P(Files, PictureDamage, testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

using Lines = std::vector<std::string>;

class PictureJob : public SpoolTest {
protected:
    PictureJob()
    {
        job.P_Temp_Dir(dir);
        job.E_StartEdit();
        // Row r's top at 28 + 10 (r - 1), column c's left at 28 + 5 (c - 1):
        // the default margins are 10 mm.
        job.E_Pitch(10, 5);
        write_file(logo, png_bytes(40, 20, 4, solid(40, 20, {0, 0, 255, 128})));
    }

    std::vector<ReadRecord> records()
    {
        job.E_EndEdit();
        return read_page(1);
    }

    Lines render_page()
    {
        job.E_EndEdit();
        JobState& s = kt482::job();
        s.OutputTarget = OutputTarget::Printer;
        s.PrinterObject = surface;
        ZZ100_Page_Out(fields, 1);
        return surface->log;
    }

    Lines drawing() const
    {
        Lines out;
        for (const std::string& line : surface->log) {
            if (line.starts_with("Image") || line.starts_with("FillRect") || line.starts_with("Color")
                || line.starts_with("Line") || line.starts_with("Print"))
                out.push_back(line);
        }
        return out;
    }

    KT482_Print job;
    ObjectFields fields;
    std::string logo = dir + "/logo.png";
    std::shared_ptr<RecordingSurface> surface = std::make_shared<RecordingSurface>();
};

TEST_F(PictureJob, RecordsTheAbsolutePathTheFitAndSixDigitColours)
{
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    job.E_Image(1, 2, 3, 4, "logo.png", 1);
    std::filesystem::current_path(cwd);
    job.E_Fill(1, 1, 2, 21, 0xD9D9D9);
    job.E_Color(0xC81E1E);
    job.E_Color(0);
    const auto r = records();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[1].code, "IMG ");
    EXPECT_EQ(r[1].fields, (std::vector<std::string>{"1.000", "2.000", "3.000", "4.000", "1" + logo}));
    EXPECT_EQ(r[2].code, "FIL ");
    EXPECT_EQ(r[2].fields, (std::vector<std::string>{"1.000", "1.000", "2.000", "21.000", "D9D9D9"}));
    EXPECT_EQ(r[3].fields[0], "C81E1E");
    EXPECT_EQ(r[4].fields[0], "000000");
    EXPECT_TRUE(sink.messages.empty());
}

struct RefusalCase {
    const char* name;
    std::function<void(KT482_Print&, const std::string& folder)> call;
    ErrorNumber number;
};

const RefusalCase kRefusals[] = {
    {"missing_file", [](KT482_Print& j, const std::string& d) { j.E_Image(1, 1, 2, 2, d + "/none.png"); },
     ErrorNumber::FileNotFound},
    {"not_a_picture",
     [](KT482_Print& j, const std::string& d) {
         std::ofstream(d + "/text.png") << "hello";
         j.E_Image(1, 1, 2, 2, d + "/text.png");
     },
     ErrorNumber::InvalidPicture},
    {"truncated",
     [](KT482_Print& j, const std::string& d) {
         write_file(d + "/cut.jpg", cut(jpeg_bytes(32, 32, 3, solid(32, 32, {1, 2, 3})), 200));
         j.E_Image(1, 1, 2, 2, d + "/cut.jpg");
     },
     ErrorNumber::InvalidPicture},
    {"symlink",
     [](KT482_Print& j, const std::string& d) {
         std::filesystem::create_symlink(d + "/logo.png", d + "/link.png");
         j.E_Image(1, 1, 2, 2, d + "/link.png");
     },
     ErrorNumber::PathFileAccessError},
    {"folder", [](KT482_Print& j, const std::string& d) { j.E_Image(1, 1, 2, 2, d); },
     ErrorNumber::PathFileAccessError},
    {"fit_2", [](KT482_Print& j, const std::string& d) { j.E_Image(1, 1, 2, 2, d + "/logo.png", 2); },
     ErrorNumber::InvalidCall},
    {"name_not_utf8", [](KT482_Print& j, const std::string& d) { j.E_Image(1, 1, 2, 2, d + "/\xff.png"); },
     ErrorNumber::BadFileNameOrNumber},
    {"fill_colour_too_big", [](KT482_Print& j, const std::string&) { j.E_Fill(1, 1, 2, 2, 0x1000000); },
     ErrorNumber::InvalidCall},
    {"negative_colour", [](KT482_Print& j, const std::string&) { j.E_Color(-1); }, ErrorNumber::InvalidCall},
};

class PictureRefusal : public PictureJob, public testing::WithParamInterface<RefusalCase> {};

TEST_P(PictureRefusal, IsReportedAndRecordsNothing)
{
    GetParam().call(job, dir);
    EXPECT_TRUE(job.LastFailure().number == static_cast<int32_t>(GetParam().number)) << job.LastFailure().number;
    EXPECT_EQ(sink.messages.size(), 1u);
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_TRUE(records().empty());  // a page of settings only is not kept
}

INSTANTIATE_TEST_SUITE_P(Calls, PictureRefusal, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PictureJob, LateBoundByNameAndIdentifierLikeTheDirectCalls)
{
    EXPECT_EQ(job.Invoke("e_image", MemberKind::Method, {Variant(1.0f), Variant(2.0f), Variant(3.0f), Variant(4.0f),
                                                          Variant(logo)})
                  .status,
              InvokeStatus::Ok);
    EXPECT_EQ(job.Invoke(0x60030081, MemberKind::Method, {1, 1, 2, 3, Variant("14277081")}).status,
              InvokeStatus::Ok);
    EXPECT_EQ(job.Invoke(0x60030082, MemberKind::Method, {Variant(int32_t{0xFF0000})}).status, InvokeStatus::Ok);
    EXPECT_EQ(job.Invoke("E_Color", MemberKind::Method, {}).status, InvokeStatus::BadParamCount);
    const auto r = records();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].fields[4], "0" + logo);
    EXPECT_EQ(r[2].fields[4], "D9D9D9");
    EXPECT_EQ(r[3].fields[0], "FF0000");
    EXPECT_EQ(member_table().size(), 47u);
    ASSERT_EQ(host_addition_table().size(), 10u);
    EXPECT_EQ(dispid_of("E_Fill"), 0x60030081);
}

TEST_F(PictureJob, ReplayPlacesFitsFillsAndColoursThenEndsThePageBlack)
{
    job.E_Fill(2, 3, 1, 1, 0xD9D9D9);  // corners either way round
    job.E_Image(1, 1, 3, 5, logo, 1);  // stretched: 20 x 20 points
    job.E_Image(1, 1, 3, 9, logo, 0);  // 40 x 20 box, picture 2:1, fills it
    job.E_Image(1, 1, 5, 5, logo, 0);  // 20 x 40 box: 20 x 10, centred
    job.E_Color(0xC81E1E);
    job.E_Line(1, 1, 1, 3);
    job.E_Fill(1, 1, 2, 2, 0x00FF00);
    render_page();
    EXPECT_EQ(drawing(), (Lines{"Color D9D9D9", "FillRect 28 28 10 10", "Color 000000", "Image 28 28 20 20 40x20",
                                "Image 28 28 40 20 40x20", "Image 28 43 20 10 40x20", "Color C81E1E",
                                "Line 28 28 38 28", "Color 00FF00", "FillRect 28 28 5 10", "Color C81E1E",
                                "Color 000000"}));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PictureJob, AFileGoneBeforeOutputIsReportedAndTheRestOfThePageDrawn)
{
    job.E_Image(1, 1, 3, 5, logo, 1);
    job.E_Line(1, 1, 1, 3);
    ASSERT_EQ(::unlink(logo.c_str()), 0);
    render_page();
    EXPECT_EQ(drawing(), (Lines{"Line 28 28 38 28"}));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].text.find("File not found"), std::string::npos) << sink.messages[0].text;
}

// A record of a code this version does not know (a later one) is skipped,
// and the records around it are drawn.
TEST_F(PictureJob, AnUnknownCodeIsSkipped)
{
    job.E_Line(1, 1, 1, 3);
    job.E_Line(2, 1, 2, 3);
    job.E_EndEdit();
    PageRecordHeader h;
    h.Marker = {':', 'C'};
    h.TextLength = 3;
    const char code[] = "ZZZ ";
    std::copy(code, code + 4, h.RecordCode.begin());
    h.FieldLength = {0, 3, 0, 0, 0, 0};
    std::string unknown(kRecordHeaderSize, '\0');
    encode_record_header(h, unknown.data());
    // Between the two lines: before the third record (pitch, line, line).
    std::string bytes = file_bytes(page_path(1));
    const std::size_t third = bytes.find(":C", bytes.find(":C", 1) + 1);
    ASSERT_NE(third, std::string::npos);
    bytes.insert(third, unknown + "abc");
    std::ofstream(page_path(1), std::ios::binary | std::ios::trunc) << bytes;
    JobState& s = kt482::job();
    s.OutputTarget = OutputTarget::Printer;
    s.PrinterObject = surface;
    ZZ100_Page_Out(fields, 1);
    EXPECT_EQ(drawing(), (Lines{"Line 28 28 38 28", "Line 28 38 38 38"}));
    EXPECT_TRUE(sink.messages.empty());
}

TEST(PictureCache, OneIdPerFileIdentityAndBoundedBytes)
{
    const std::string path = testing::TempDir() + "/cache_pic.png";
    write_file(path, png_bytes(4, 4, 3, solid(4, 4, {1, 2, 3})));
    auto first = load_picture(path);
    auto again = load_picture(path);
    ASSERT_TRUE(first && again);
    EXPECT_EQ((*first)->id, (*again)->id);
    EXPECT_EQ(first->get(), again->get());  // decoded once
    ::usleep(20000);
    write_file(path, png_bytes(4, 4, 3, solid(4, 4, {9, 9, 9})));
    auto rewritten = load_picture(path);
    ASSERT_TRUE(rewritten);
    EXPECT_NE((*rewritten)->id, (*first)->id);
    EXPECT_EQ((*rewritten)->decoded.pixels[0], 9);
    EXPECT_LE(picture_cache_bytes(), kPictureCacheBytes);
    ::unlink(path.c_str());
}

}  // namespace
}  // namespace kt482::test
