// JPEG 2000 box files and code streams, written with OpenJPEG's encoder and by ImageMagick's
// convert; damaged files.
#include <gtest/gtest.h>
#include <openjpeg.h>

#include <functional>
#include <string>

#include "FormatFixtures.h"
#include "TestSupport.h"

using fixtures::ConvertedFiles;
using fixtures::FailureText;
using fixtures::Joined;
using fixtures::MustDecode;
using fixtures::TextBytes;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::ReadFileBytes;
using testsupport::SamePixels;
using testsupport::TempDir;

namespace {

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
    fixtures::ExpectRegressionFilesHandled("j2k", RASTER_FORMAT_JP2);
}

TEST_F(ConvertedFiles, LosslessJpeg2000GivesTheSourceInBothForms) {
    const RasterImage colour = MakePatternImage(45, 27);
    const RasterImage grey = fixtures::MakeGreyPattern(45, 27);
    // ".j2k" files are bare code streams although the extension maps to the box-file id.
    for (const char* output : {"jp2:a.jp2", "j2k:b.j2k"}) {
        SCOPED_TRACE(output);
        const std::vector<uint8_t> bytes = Make(colour, "-quality 100", output);
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_JP2), colour));
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_JPC), colour));
        EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_UNKNOWN), colour));
        fixtures::ExpectPrefixesHandled(bytes, RASTER_FORMAT_JP2, 5);
    }
    const RasterImage greyDecoded = MustDecode(Make(grey, "-quality 100 -type Grayscale", "jp2:c.jp2"), RASTER_FORMAT_JP2);
    EXPECT_EQ(greyDecoded.GetBpp(), 8u);
    EXPECT_TRUE(SamePixels(greyDecoded, grey));
}

TEST_F(ConvertedFiles, LossyJpeg2000IsCloseAndAlphaIsKept) {
    const RasterImage colour = MakePatternImage(64, 48);
    const RasterImage lossy = MustDecode(Make(colour, "-quality 90", "jp2:a.jp2"), RASTER_FORMAT_JP2);
    EXPECT_GE(testsupport::Psnr(lossy, colour), 40.0);

    RasterImage withAlpha = MakePatternImage(31, 17);
    testsupport::AddPatternAlpha(withAlpha);
    fixtures::WritePamWithAlpha(withAlpha, m_dir / "alpha.pam");
    const RasterImage decoded = MustDecode(MakeFrom(m_dir / "alpha.pam", "-quality 100", "jp2:b.jp2"), RASTER_FORMAT_JP2);
    EXPECT_TRUE(SamePixels(decoded, withAlpha));
}

}  // namespace
