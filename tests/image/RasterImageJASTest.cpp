// The JPEG 2000 family: JP2 and code streams (OpenJPEG), PNM, PGX and Sun raster files made
// by hand and by ImageMagick's convert; detection among the family; damaged files.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <functional>
#include <string>

#include "FormatFixtures.h"
#include "image/RasterFile.h"
#include "image/formats/RasterImageJAS.h"
#include "TestSupport.h"

using fixtures::Convert;
using fixtures::DecodeBytes;
using fixtures::HaveConvert;
using fixtures::Quoted;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::ReadFileBytes;
using testsupport::SamePixels;
using testsupport::TempDir;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

RasterImage MustDecode(const std::vector<uint8_t>& bytes, uint32_t type) {
    RasterImage image;
    EXPECT_TRUE(DecodeBytes(bytes, type, image)) << image.LastErrorText();
    return image;
}

std::string FailureText(const std::vector<uint8_t>& bytes, uint32_t type) {
    RasterImage image;
    EXPECT_FALSE(DecodeBytes(bytes, type, image));
    EXPECT_FALSE(image.IsValid());
    return image.LastErrorText();
}

// ---- PNM -----------------------------------------------------------------------------------

TEST(PnmReading, PlainFormatsWithCommentsAndScaledMaxval) {
    const RasterImage bits = MustDecode(Bytes("P1\n# a comment\n3 2\n1 0 1\n011"), RASTER_FORMAT_PNM);
    ASSERT_EQ(bits.GetBpp(), 1u);
    EXPECT_EQ(PictureColor(bits, 0, 0), RasterRgb(0, 0, 0));  // 1 is black
    EXPECT_EQ(PictureColor(bits, 1, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 0, 1), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 2, 1), RasterRgb(0, 0, 0));

    const RasterImage grey = MustDecode(Bytes("P2 2 1 1000#max\n0 500"), RASTER_FORMAT_PNM);
    ASSERT_EQ(grey.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(grey, 1, 0), RasterRgb(128, 128, 128));  // 500 * 255 / 1000 rounded

    const RasterImage colour = MustDecode(Bytes("P3\n2 1\n255\n255 0 10  1 2 3\n"), RASTER_FORMAT_PNM);
    ASSERT_EQ(colour.GetBpp(), 24u);
    EXPECT_EQ(PictureColor(colour, 0, 0), RasterRgb(255, 0, 10));
    EXPECT_EQ(PictureColor(colour, 1, 0), RasterRgb(1, 2, 3));
}

TEST(PnmReading, RawDataStartsAfterExactlyOneWhiteSpaceByte) {
    // The first pixel bytes are themselves white space and must not be skipped.
    const RasterImage colour = MustDecode(Join(Bytes("P6 1 2 255\n"), {' ', '\n', '\t', 1, 2, 3}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(colour, 0, 0), RasterRgb(' ', '\n', '\t'));
    EXPECT_EQ(PictureColor(colour, 0, 1), RasterRgb(1, 2, 3));

    const RasterImage wide = MustDecode(Join(Bytes("P5 2 1 65535\n"), {0xFF, 0xFF, 0x80, 0x00}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(wide, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(wide, 1, 0), RasterRgb(128, 128, 128));  // big-endian 0x8000

    const RasterImage bits = MustDecode(Join(Bytes("P4 10 1\n"), {0xA0, 0x40}), RASTER_FORMAT_PNM);
    EXPECT_EQ(PictureColor(bits, 0, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(bits, 1, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(bits, 9, 0), RasterRgb(0, 0, 0));
}

TEST(PnmReading, BadHeadersAndShortDataFail) {
    EXPECT_EQ(FailureText(Bytes("P5 2 2 0\n1234"), RASTER_FORMAT_PNM), "PNM: bad header");
    EXPECT_EQ(FailureText(Bytes("P5 2 2 70000\n1234"), RASTER_FORMAT_PNM), "PNM: bad header");
    EXPECT_EQ(FailureText(Bytes("P6 65535 65535 255\n123456"), RASTER_FORMAT_PNM),
              "PNM: file too short for its picture size");
    EXPECT_EQ(FailureText(Bytes("P2 2 1 255\n12 x4"), RASTER_FORMAT_PNM), "PNM: damaged or truncated picture data");
    EXPECT_EQ(FailureText(Bytes("P7 2 1 255\n1234"), RASTER_FORMAT_PNM), "PNM: not a PNM file");
}

// ---- PGX -----------------------------------------------------------------------------------

TEST(PgxReading, SignedAndWideSamplesInBothByteOrders) {
    // 12-bit signed, least significant byte first: -2048 is black, 0 mid grey, 2047 white.
    const RasterImage low = MustDecode(Join(Bytes("PG LM -12 3 1\n"), {0x00, 0x08, 0x00, 0x00, 0xFF, 0x07}),
                                       RASTER_FORMAT_PGX);
    ASSERT_EQ(low.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(low, 0, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(low, 1, 0), RasterRgb(128, 128, 128));
    EXPECT_EQ(PictureColor(low, 2, 0), RasterRgb(255, 255, 255));

    const RasterImage high = MustDecode(Join(Bytes("PG ML +10 1 2\n"), {0x03, 0xFF, 0x01, 0x00}), RASTER_FORMAT_PGX);
    EXPECT_EQ(PictureColor(high, 0, 0), RasterRgb(255, 255, 255));
    EXPECT_EQ(PictureColor(high, 0, 1), RasterRgb(64, 64, 64));  // 256 * 255 / 1023 rounded
}

TEST(PgxReading, ShortDataAndBadHeadersFail) {
    EXPECT_EQ(FailureText(Join(Bytes("PG ML + 8 4000 4000\n"), {1, 2, 3}), RASTER_FORMAT_PGX),
              "PGX: file too short for its picture size");
    EXPECT_EQ(FailureText(Bytes("PG XY + 8 1 1\n1"), RASTER_FORMAT_PGX), "PGX: not a PGX file");
    EXPECT_EQ(FailureText(Bytes("PG ML + 40 1 1\n12345"), RASTER_FORMAT_PGX), "PGX: not a PGX file");
}

// ---- Sun raster ----------------------------------------------------------------------------

std::vector<uint8_t> SunHeader(uint32_t w, uint32_t h, uint32_t depth, uint32_t type, uint32_t mapType,
                               uint32_t mapLength) {
    std::vector<uint8_t> b;
    for (uint32_t v : {0x59A66A95u, w, h, depth, 0u, type, mapType, mapLength}) {
        for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
    }
    return b;
}

TEST(SunRasterReading, RowsArePaddedAndColourOrderFollowsTheType) {
    // 1 x 2, 24 bits: 3 pixel bytes + 1 pad byte per row.
    const std::vector<uint8_t> pixels = {10, 20, 30, 0, 40, 50, 60, 0};
    const RasterImage bgr = MustDecode(Join(SunHeader(1, 2, 24, 1, 0, 0), pixels), RASTER_FORMAT_RAS);
    EXPECT_EQ(PictureColor(bgr, 0, 0), RasterRgb(30, 20, 10));
    EXPECT_EQ(PictureColor(bgr, 0, 1), RasterRgb(60, 50, 40));
    const RasterImage rgb = MustDecode(Join(SunHeader(1, 2, 24, 3, 0, 0), pixels), RASTER_FORMAT_RAS);
    EXPECT_EQ(PictureColor(rgb, 0, 0), RasterRgb(10, 20, 30));
    EXPECT_FALSE(rgb.HasAlpha());
}

TEST(SunRasterReading, RunCodingWithEscapesAndAColourMap) {
    // 8-bit, 5 x 1 with a 3-entry map; row of 5 bytes padded to 6.
    std::vector<uint8_t> file = SunHeader(5, 1, 8, 2, 1, 9);
    file = Join(file, {255, 0, 1, /*green*/ 0, 255, 2, /*blue*/ 0, 0, 3});
    // run of three 2s, a literal 0x80 (index 128 is past the map: black), a 1, the pad byte.
    file = Join(file, {0x80, 2, 2, 0x80, 0, 1, 0});
    const RasterImage image = MustDecode(file, RASTER_FORMAT_RAS);
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(1, 2, 3));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(1, 2, 3));
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(image, 4, 0), RasterRgb(0, 255, 0));
}

TEST(SunRasterReading, ThirtyTwoBitPadBytesBecomeAlphaOnlyWhenTheyVary) {
    const std::vector<uint8_t> padded = {0, 1, 2, 3, 0, 4, 5, 6};
    EXPECT_FALSE(MustDecode(Join(SunHeader(2, 1, 32, 1, 0, 0), padded), RASTER_FORMAT_RAS).HasAlpha());
    const std::vector<uint8_t> alpha = {128, 1, 2, 3, 255, 4, 5, 6};
    const RasterImage image = MustDecode(Join(SunHeader(2, 1, 32, 3, 0, 0), alpha), RASTER_FORMAT_RAS);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetPixelColor(0, 0, true).rgbReserved, 128);
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(4, 5, 6));
}

TEST(SunRasterReading, HostileHeadersFail) {
    EXPECT_EQ(FailureText(Join(SunHeader(65535, 65535, 24, 1, 0, 0), {1, 2, 3, 4}), RASTER_FORMAT_RAS),
              "RAS: file too short for its picture size");
    // Run coding cannot expand three bytes into more than 256.
    EXPECT_EQ(FailureText(Join(SunHeader(65535, 65535, 8, 2, 0, 0), {0x80, 0xFF, 0}), RASTER_FORMAT_RAS),
              "RAS: file too short for its picture size");
    EXPECT_EQ(FailureText(Join(SunHeader(4, 4, 8, 2, 0, 0), {0x80, 0x05, 0, 0x80}), RASTER_FORMAT_RAS),
              "RAS: damaged or truncated picture data");
    EXPECT_EQ(FailureText(SunHeader(4, 4, 16, 1, 0, 0), RASTER_FORMAT_RAS), "RAS: unsupported bit depth");
    EXPECT_EQ(FailureText(SunHeader(4, 4, 8, 1, 1, 1000), RASTER_FORMAT_RAS), "RAS: bad colour map");
}

// ---- the family as a whole -------------------------------------------------------------------

TEST(JasFamily, ContentDecidesAmongTheFamilyAndEncodingIsRefused) {
    const std::vector<uint8_t> pnm = Bytes("P2 1 1 255\n7");
    RasterImage byContent = MustDecode(pnm, RASTER_FORMAT_UNKNOWN);
    EXPECT_EQ(byContent.GetType(), uint32_t(RASTER_FORMAT_PNM));
    EXPECT_EQ(FailureText(pnm, RASTER_FORMAT_RAS), "RAS: not a RAS file");

    RasterImageJAS family(RASTER_FORMAT_UNKNOWN);
    std::vector<uint8_t> copy = Join(SunHeader(1, 1, 8, 1, 0, 0), {9, 0});
    RasterMemFile file(copy.data(), uint32_t(copy.size()));
    ASSERT_TRUE(family.Decode(&file));
    EXPECT_EQ(family.GetType(), uint32_t(RASTER_FORMAT_RAS));
    RasterMemFile out;
    out.Open();
    EXPECT_FALSE(family.Encode(&out));
}

// ---- JPEG 2000 layouts written with OpenJPEG's encoder -----------------------------------------

struct J2kComponent {
    uint32_t step;  // sampling step in both directions
    uint32_t precision;
    bool isSigned;
    std::function<int32_t(uint32_t, uint32_t)> value;  // at component sample positions
};

// origin: where the picture starts on the reference grid (both directions).
std::vector<uint8_t> EncodeJpeg2000(uint32_t w, uint32_t h, OPJ_COLOR_SPACE space,
                                    const std::vector<J2kComponent>& components, bool boxFile, uint32_t origin = 0) {
    std::vector<opj_image_cmptparm_t> parameters(components.size());
    for (size_t i = 0; i < components.size(); ++i) {
        opj_image_cmptparm_t& p = parameters[i];
        p = opj_image_cmptparm_t{};
        p.dx = p.dy = components[i].step;
        p.x0 = p.y0 = (origin + p.dx - 1) / p.dx;
        p.w = (origin + w + p.dx - 1) / p.dx - p.x0;
        p.h = (origin + h + p.dy - 1) / p.dy - p.y0;
        p.prec = components[i].precision;
        p.sgnd = components[i].isSigned ? 1 : 0;
    }
    opj_image_t* image = opj_image_create(OPJ_UINT32(components.size()), parameters.data(), space);
    EXPECT_NE(image, nullptr);
    if (!image) return {};
    image->x0 = image->y0 = origin;
    image->x1 = origin + w;
    image->y1 = origin + h;
    for (size_t i = 0; i < components.size(); ++i) {
        opj_image_comp_t& c = image->comps[i];
        for (uint32_t y = 0; y < c.h; ++y) {
            for (uint32_t x = 0; x < c.w; ++x) c.data[y * c.w + x] = components[i].value(x, y);
        }
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0;  // lossless
    settings.cp_disto_alloc = 1;
    settings.numresolution = 2;
    TempDir dir;
    const std::string path = (dir / "x").string();
    opj_codec_t* codec = opj_create_compress(boxFile ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_stream_t* stream = opj_stream_create_default_file_stream(path.c_str(), OPJ_FALSE);
    const bool ok = opj_setup_encoder(codec, &settings, image) && opj_start_compress(codec, image, stream) &&
                    opj_encode(codec, stream) && opj_end_compress(codec, stream);
    EXPECT_TRUE(ok);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return ReadFileBytes(path);
}

TEST(Jpeg2000Reading, SubsampledYccIsUpsampledAndConverted) {
    const std::vector<J2kComponent> ycc = {
        {1, 8, false, [](uint32_t x, uint32_t) { return int32_t(50 + 20 * x); }},
        {2, 8, false, [](uint32_t, uint32_t) { return 128; }},
        {2, 8, false, [](uint32_t x, uint32_t) { return x == 1 ? 168 : 128; }}};
    const RasterImage image = MustDecode(EncodeJpeg2000(6, 4, OPJ_CLRSPC_SYCC, ycc, true), RASTER_FORMAT_JP2);
    ASSERT_EQ(image.GetWidth(), 6u);
    ASSERT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(PictureColor(image, 0, 3), RasterRgb(50, 50, 50));
    // Chroma sample 1 covers picture columns 2 and 3: R = Y + 1.402 Cr, G = Y - 0.714 Cr.
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(146, 61, 90));
    EXPECT_EQ(PictureColor(image, 3, 3), RasterRgb(166, 81, 110));
    EXPECT_EQ(PictureColor(image, 4, 1), RasterRgb(130, 130, 130));
}

TEST(Jpeg2000Reading, PictureOffsetOnTheGridKeepsSubsampledChromaInPlace) {
    // The picture starts at grid column 3; chroma samples sit on even grid columns from 4 on
    // (sample i at 4 + 2i, covering that column and the next). Picture column 0 (grid 3) has
    // no sample of its own and takes the first one.
    const std::vector<J2kComponent> ycc = {
        {1, 8, false, [](uint32_t, uint32_t) { return 100; }},
        {2, 8, false, [](uint32_t, uint32_t) { return 128; }},
        {2, 8, false, [](uint32_t x, uint32_t) { return int32_t(128 + 10 * (x + 1)); }}};
    const RasterImage image = MustDecode(EncodeJpeg2000(5, 3, OPJ_CLRSPC_SYCC, ycc, false, 3), RASTER_FORMAT_JPC);
    ASSERT_EQ(image.GetWidth(), 5u);
    ASSERT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(114, 93, 100));  // Cr offset 10
    EXPECT_EQ(PictureColor(image, 2, 2), RasterRgb(114, 93, 100));
    EXPECT_EQ(PictureColor(image, 3, 1), RasterRgb(128, 86, 100));  // Cr offset 20
    EXPECT_EQ(PictureColor(image, 4, 0), RasterRgb(128, 86, 100));
}

TEST(Jpeg2000Reading, SignedDeepGreyIsShiftedAndReduced) {
    const std::vector<J2kComponent> grey = {
        {1, 12, true, [](uint32_t x, uint32_t) { return x == 0 ? -2048 : x == 1 ? 0 : 2047; }}};
    const RasterImage image = MustDecode(EncodeJpeg2000(3, 2, OPJ_CLRSPC_GRAY, grey, false), RASTER_FORMAT_JPC);
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(image, 0, 1), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(image, 1, 1), RasterRgb(128, 128, 128));
    EXPECT_EQ(PictureColor(image, 2, 1), RasterRgb(255, 255, 255));
}

TEST(Jpeg2000Reading, FourthComponentOfACodeStreamIsAlphaAndLowPrecisionIsScaledUp) {
    auto level = [](int32_t v) { return [v](uint32_t, uint32_t) { return v; }; };
    const std::vector<J2kComponent> rgba = {{1, 4, false, level(15)}, {1, 4, false, level(5)},
                                            {1, 4, false, level(0)}, {1, 4, false, level(10)}};
    const RasterImage image = MustDecode(EncodeJpeg2000(4, 4, OPJ_CLRSPC_SRGB, rgba, false), RASTER_FORMAT_JPC);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(PictureColor(image, 1, 1), RasterRgb(255, 85, 0));
    EXPECT_EQ(image.GetPixelColor(1, 1, true).rgbReserved, 170);
}

TEST(Jpeg2000Reading, HugeHeaderOverAFewBytesFails) {
    // A code stream that claims 8000 x 8000 x 3 but holds after its first marker segment.
    std::vector<uint8_t> bytes = EncodeJpeg2000(
        4, 4, OPJ_CLRSPC_SRGB,
        {{1, 8, false, [](uint32_t, uint32_t) { return 1; }}, {1, 8, false, [](uint32_t, uint32_t) { return 2; }},
         {1, 8, false, [](uint32_t, uint32_t) { return 3; }}},
        false);
    ASSERT_GT(bytes.size(), 20u);
    // SIZ: FF51, length, capabilities, then Xsiz and Ysiz (big-endian) at bytes 8 and 12.
    for (int at : {8, 12}) {
        bytes[size_t(at)] = 0;
        bytes[size_t(at) + 1] = 0;
        bytes[size_t(at) + 2] = 0x1F;
        bytes[size_t(at) + 3] = 0x40;
    }
    // The tile size too (XTsiz, YTsiz at 24 and 28), so the header stays consistent.
    for (int at : {24, 28}) {
        bytes[size_t(at)] = 0;
        bytes[size_t(at) + 1] = 0;
        bytes[size_t(at) + 2] = 0x1F;
        bytes[size_t(at) + 3] = 0x40;
    }
    EXPECT_EQ(FailureText(bytes, RASTER_FORMAT_JPC), "Decode: the picture is far larger than its data allows");
}

// ---- files from convert ------------------------------------------------------------------------

class JasFromConvert : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    }

    std::vector<uint8_t> Make(const RasterImage& source, const std::string& options, const std::string& output) {
        fixtures::WriteBmp(source, m_dir / "source.bmp");
        return MakeFrom(m_dir / "source.bmp", options, output);
    }

    std::vector<uint8_t> MakeFrom(const std::filesystem::path& input, const std::string& options,
                                  const std::string& output) {
        EXPECT_TRUE(Convert(Quoted(input) + " " + options + " " + output.substr(0, output.find(':') + 1) +
                            Quoted(m_dir / output.substr(output.find(':') + 1))));
        return ReadFileBytes(m_dir / output.substr(output.find(':') + 1));
    }

    TempDir m_dir;
};

TEST_F(JasFromConvert, PnmPlainRawAndSixteenBitGiveTheSource) {
    const RasterImage colour = MakePatternImage(23, 11);
    const RasterImage grey = fixtures::MakeGreyPattern(23, 11);
    const RasterImage bits = fixtures::MakeBilevelPattern(23, 11);
    struct Case { const RasterImage* source; const char* options; const char* output; };
    const Case cases[] = {{&colour, "", "ppm:a.ppm"},           {&colour, "-compress none", "ppm:b.ppm"},
                          {&colour, "-depth 16", "ppm:c.ppm"},  {&grey, "", "pgm:d.pgm"},
                          {&grey, "-depth 16 -compress none", "pgm:e.pgm"}, {&bits, "", "pbm:f.pbm"},
                          {&bits, "-compress none", "pbm:g.pbm"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.output) + " " + c.options);
        EXPECT_TRUE(SamePixels(MustDecode(Make(*c.source, c.options, c.output), RASTER_FORMAT_PNM), *c.source));
    }
}

TEST_F(JasFromConvert, SunRasterGivesTheSource) {
    const RasterImage colour = MakePatternImage(23, 11);
    const RasterImage few = fixtures::MakeFewColourPattern(23, 11);
    const RasterImage bits = fixtures::MakeBilevelPattern(23, 11);
    EXPECT_TRUE(SamePixels(MustDecode(Make(colour, "", "sun:a.ras"), RASTER_FORMAT_RAS), colour));
    EXPECT_TRUE(SamePixels(MustDecode(Make(few, "-type Palette", "sun:b.ras"), RASTER_FORMAT_RAS), few));
    EXPECT_TRUE(SamePixels(MustDecode(Make(bits, "-type Bilevel", "sun:c.ras"), RASTER_FORMAT_RAS), bits));

    RasterImage withAlpha = MakePatternImage(23, 11);
    testsupport::AddPatternAlpha(withAlpha);
    fixtures::WritePamWithAlpha(withAlpha, m_dir / "alpha.pam");
    const RasterImage decoded = MustDecode(MakeFrom(m_dir / "alpha.pam", "", "sun:d.ras"), RASTER_FORMAT_RAS);
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_EQ(decoded.GetPixelColor(5, 3, true).rgbReserved, withAlpha.GetPixelColor(5, 3, true).rgbReserved);
}

TEST_F(JasFromConvert, PgxGivesTheSource) {
    // Even width: this convert pads odd PGX rows with an extra sample (its own fault).
    const RasterImage grey = fixtures::MakeGreyPattern(24, 11);
    EXPECT_TRUE(SamePixels(MustDecode(Make(grey, "-type Grayscale", "pgx:a.pgx"), RASTER_FORMAT_PGX), grey));
}

TEST_F(JasFromConvert, LosslessJpeg2000GivesTheSourceInBothForms) {
    const RasterImage colour = MakePatternImage(45, 27);
    const RasterImage grey = fixtures::MakeGreyPattern(45, 27);
    // ".j2k" files are bare code streams although the extension maps to the box-file id.
    for (const char* output : {"jp2:a.jp2", "j2k:b.j2k"}) {
        SCOPED_TRACE(output);
        const std::vector<uint8_t> bytes = Make(colour, "-quality 100", output);
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_JP2), colour));
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_JPC), colour));
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_UNKNOWN), colour));
    }
    const RasterImage greyDecoded = MustDecode(Make(grey, "-quality 100 -type Grayscale", "jp2:c.jp2"), RASTER_FORMAT_JP2);
    EXPECT_EQ(greyDecoded.GetBpp(), 8u);
    EXPECT_TRUE(SamePixels(greyDecoded, grey));
}

TEST_F(JasFromConvert, LossyJpeg2000IsCloseAndAlphaIsKept) {
    const RasterImage colour = MakePatternImage(64, 48);
    const RasterImage lossy = MustDecode(Make(colour, "-quality 90", "jp2:a.jp2"), RASTER_FORMAT_JP2);
    EXPECT_GE(testsupport::Psnr(lossy, colour), 40.0);

    RasterImage withAlpha = MakePatternImage(31, 17);
    testsupport::AddPatternAlpha(withAlpha);
    fixtures::WritePamWithAlpha(withAlpha, m_dir / "alpha.pam");
    const RasterImage decoded = MustDecode(MakeFrom(m_dir / "alpha.pam", "-quality 100", "jp2:b.jp2"), RASTER_FORMAT_JP2);
    EXPECT_TRUE(SamePixels(decoded, withAlpha));
}

TEST_F(JasFromConvert, EveryPrefixFailsCleanlyOrGivesAPicture) {
    const RasterImage colour = MakePatternImage(14, 9);
    const struct { const char* output; uint32_t type; size_t step; } cases[] = {
        {"jp2:a.jp2", RASTER_FORMAT_JP2, 5}, {"j2k:b.j2k", RASTER_FORMAT_JPC, 5}, {"ppm:c.ppm", RASTER_FORMAT_PNM, 3},
        {"sun:d.ras", RASTER_FORMAT_RAS, 3}, {"pgx:e.pgx", RASTER_FORMAT_PGX, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const std::string options = std::string(c.output).rfind("pgx", 0) == 0 ? "-type Grayscale" : "";
        fixtures::ExpectPrefixesHandled(Make(colour, options, c.output), c.type, c.step);
    }
}

TEST(JasFamily, InputsThatOnceBrokeTheReaderFailCleanlyOrDecode) {
    fixtures::ExpectRegressionFilesHandled("jas", RASTER_FORMAT_UNKNOWN);
}

}  // namespace
