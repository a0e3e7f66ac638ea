// WebP: files written by libwebp's own tools decode to their source pictures, the first frame
// of an animation is the picture, metadata chunks come back, and our files read back.
#include <gtest/gtest.h>

#include "CodecTestHelpers.h"
#include "ExternalEncoders.h"
#include "FormatFixtures.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

constexpr double kLossyPsnr = 40.0;

RasterImage Source(bool alpha) {
    RasterImage image = codectest::MakeSmoothImage(97, 61);
    if (alpha) testsupport::AddPatternAlpha(image);
    return image;
}

struct CwebpCase {
    const char* name;
    const char* options;
    bool alpha;
    bool lossless;
};

TEST(RasterImageWEBP, ReadsWhatCwebpWrites) {
    if (!external::HaveProgram("cwebp")) GTEST_SKIP() << "cwebp is not installed";
    const CwebpCase cases[] = {
        {"lossless", "-lossless -exact", false, true},
        {"lossless with alpha", "-lossless -exact", true, true},
        {"lossy", "-q 95 -sharp_yuv", false, false},
        {"lossy with alpha", "-q 95 -sharp_yuv -exact -alpha_q 100", true, false},
    };
    for (const CwebpCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        RasterImage source = Source(c.alpha);
        const std::vector<uint8_t> file =
            external::EncodeWith(dir, source, std::string("cwebp -quiet ") + c.options + " {in} -o {out}", "a.webp");
        external::ExpectReadsAsSource(file, RASTER_FORMAT_WEBP, source, c.lossless);
    }
}

TEST(RasterImageWEBP, AnAnimationShowsItsFirstFrame) {
    if (!external::HaveProgram("img2webp")) GTEST_SKIP() << "img2webp is not installed";
    testsupport::TempDir dir;
    RasterImage first = testsupport::MakePatternImage(40, 30);
    RasterImage second = testsupport::MakeSolidImage(40, 30, RasterRgb(10, 200, 30));
    external::WritePng(first, dir / "1.png");
    external::WritePng(second, dir / "2.png");
    ASSERT_TRUE(external::Run("img2webp -lossless " + external::Quoted(dir / "1.png") + " " +
                              external::Quoted(dir / "2.png") + " -o " + external::Quoted(dir / "anim.webp")));
    RasterImage decoded;
    ASSERT_TRUE(decoded.Load((dir / "anim.webp").c_str(), RASTER_FORMAT_WEBP)) << decoded.LastErrorText();
    decoded.DeleteAlpha();  // an animation's canvas has alpha; the frame covers it wholly
    EXPECT_TRUE(testsupport::SamePixels(decoded, first));
}

TEST(RasterImageWEBP, HandsBackExifWithoutOrientingTwice) {
    if (!external::HaveProgram("cwebp")) GTEST_SKIP() << "cwebp is not installed";
    testsupport::TempDir dir;
    external::OrientedLoad load;
    ASSERT_TRUE(external::LoadOrientedPhotoThrough(dir, "cwebp -quiet -metadata exif {in} -o {out}", "o6.webp",
                                                   RASTER_FORMAT_WEBP, load));
    external::ExpectTiffExifAndNoTurn(load.metadata.exif, load.options.orientation);
    EXPECT_EQ(load.picture.GetWidth(), 64u);
}

TEST(RasterImageWEBP, WritesLossyAtTheQualitySettingAndKeepsAlpha) {
    if (!external::HaveProgram("dwebp")) GTEST_SKIP() << "dwebp is not installed";
    testsupport::TempDir dir;
    RasterImage source = Source(true);
    source.SetJpegQuality(95);
    const std::vector<uint8_t> fine = codectest::EncodeToBytes(source, RASTER_FORMAT_WEBP);
    source.SetJpegQuality(20);
    const std::vector<uint8_t> coarse = codectest::EncodeToBytes(source, RASTER_FORMAT_WEBP);
    ASSERT_FALSE(fine.empty());
    EXPECT_LT(coarse.size(), fine.size());
    // libwebp's own decoder reads what we wrote.
    testsupport::WriteFileBytes(dir / "ours.webp", fine);
    ASSERT_TRUE(external::Run("dwebp " + external::Quoted(dir / "ours.webp") + " -o " + external::Quoted(dir / "back.png")));
    RasterImage back;
    ASSERT_TRUE(back.Load((dir / "back.png").c_str(), RASTER_FORMAT_PNG));
    ASSERT_TRUE(back.HasAlpha());
    // The colour under fully transparent pixels is the encoder's to choose: compared as shown,
    // on white.
    RasterImage shown(source);
    ASSERT_TRUE(shown.FlattenAlpha(RasterRgb(255, 255, 255)) && back.FlattenAlpha(RasterRgb(255, 255, 255)));
    EXPECT_GE(testsupport::Psnr(back, shown), kLossyPsnr);
    RasterImage ours;
    ASSERT_TRUE(codectest::DecodeBytes(fine, RASTER_FORMAT_WEBP, ours));
    for (uint32_t y = 0; y < source.GetHeight(); ++y) {
        for (uint32_t x = 0; x < source.GetWidth(); ++x) {
            ASSERT_EQ(*ours.AlphaPointer(x, y), *source.AlphaPointer(x, y)) << x << "," << y;
        }
    }
}

TEST(RasterImageWEBP, WritesPalettePicturesAsTheirColours) {
    RasterImage palette = testsupport::MakePatternImage(33, 17, 8);
    palette.SetTransparentIndex(0);
    palette.SetJpegQuality(100);
    RasterImage decoded;
    ASSERT_TRUE(codectest::DecodeBytes(codectest::EncodeToBytes(palette, RASTER_FORMAT_WEBP), RASTER_FORMAT_WEBP, decoded));
    RasterImage expected(palette);
    ASSERT_TRUE(expected.AlphaFromTransparentIndex() && expected.IncreaseBpp(24));
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_GE(testsupport::Psnr(decoded, expected), kLossyPsnr);
    EXPECT_EQ(*decoded.AlphaPointer(0, 0) == 0, palette.GetPixelIndex(0, 0) == 0);
}

TEST(RasterImageWEBP, RefusesPicturesTooWideForTheFormat) {
    RasterImage wide = testsupport::MakeSolidImage(16384, 1, 0);
    std::string error;
    EXPECT_TRUE(codectest::EncodeToBytes(wide, RASTER_FORMAT_WEBP, &error).empty());
    EXPECT_NE(error.find("16383"), std::string::npos) << error;
}

}  // namespace
