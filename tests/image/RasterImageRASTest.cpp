// Sun raster pictures made by hand and by ImageMagick's convert; damaged files.
#include <gtest/gtest.h>

#include "image/RasterFile.h"
#include "image/formats/RasterImageRAS.h"

#include "FormatFixtures.h"
#include "TestSupport.h"

using fixtures::ConvertedFiles;
using fixtures::FailureText;
using fixtures::Joined;
using fixtures::MustDecode;
using fixtures::TextBytes;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

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
    const RasterImage bgr = MustDecode(Joined(SunHeader(1, 2, 24, 1, 0, 0), pixels), RASTER_FORMAT_RAS);
    EXPECT_EQ(PictureColor(bgr, 0, 0), RasterRgb(30, 20, 10));
    EXPECT_EQ(PictureColor(bgr, 0, 1), RasterRgb(60, 50, 40));
    const RasterImage rgb = MustDecode(Joined(SunHeader(1, 2, 24, 3, 0, 0), pixels), RASTER_FORMAT_RAS);
    EXPECT_EQ(PictureColor(rgb, 0, 0), RasterRgb(10, 20, 30));
    EXPECT_FALSE(rgb.HasAlpha());
}

TEST(SunRasterReading, RunCodingWithEscapesAndAColourMap) {
    // 8-bit, 5 x 1 with a 3-entry map; row of 5 bytes padded to 6.
    std::vector<uint8_t> file = SunHeader(5, 1, 8, 2, 1, 9);
    file = Joined(file, {255, 0, 1, /*green*/ 0, 255, 2, /*blue*/ 0, 0, 3});
    // run of three 2s, a literal 0x80 (index 128 is past the map: black), a 1, the pad byte.
    file = Joined(file, {0x80, 2, 2, 0x80, 0, 1, 0});
    const RasterImage image = MustDecode(file, RASTER_FORMAT_RAS);
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(1, 2, 3));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(1, 2, 3));
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(0, 0, 0));
    EXPECT_EQ(PictureColor(image, 4, 0), RasterRgb(0, 255, 0));
}

TEST(SunRasterReading, ThirtyTwoBitPadBytesBecomeAlphaOnlyWhenTheyVary) {
    const std::vector<uint8_t> padded = {0, 1, 2, 3, 0, 4, 5, 6};
    EXPECT_FALSE(MustDecode(Joined(SunHeader(2, 1, 32, 1, 0, 0), padded), RASTER_FORMAT_RAS).HasAlpha());
    const std::vector<uint8_t> alpha = {128, 1, 2, 3, 255, 4, 5, 6};
    const RasterImage image = MustDecode(Joined(SunHeader(2, 1, 32, 3, 0, 0), alpha), RASTER_FORMAT_RAS);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.GetPixelColor(0, 0, true).rgbReserved, 128);
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(4, 5, 6));
}

TEST(SunRasterReading, HostileHeadersFail) {
    EXPECT_EQ(FailureText(Joined(SunHeader(65535, 65535, 24, 1, 0, 0), {1, 2, 3, 4}), RASTER_FORMAT_RAS),
              "RAS: file too short for its picture size");
    // Run coding cannot expand three bytes into more than 256.
    EXPECT_EQ(FailureText(Joined(SunHeader(65535, 65535, 8, 2, 0, 0), {0x80, 0xFF, 0}), RASTER_FORMAT_RAS),
              "RAS: file too short for its picture size");
    EXPECT_EQ(FailureText(Joined(SunHeader(4, 4, 8, 2, 0, 0), {0x80, 0x05, 0, 0x80}), RASTER_FORMAT_RAS),
              "RAS: damaged or truncated picture data");
    EXPECT_EQ(FailureText(SunHeader(4, 4, 16, 1, 0, 0), RASTER_FORMAT_RAS), "RAS: unsupported bit depth");
    EXPECT_EQ(FailureText(SunHeader(4, 4, 8, 1, 1, 1000), RASTER_FORMAT_RAS), "RAS: bad colour map");
    EXPECT_EQ(FailureText(TextBytes("P2 1 1 255\n7"), RASTER_FORMAT_RAS), "RAS: not a RAS file");
    fixtures::ExpectRegressionFilesHandled("ras", RASTER_FORMAT_RAS);
}

TEST(SunRasterReading, TheClassReadsOnItsOwnAndRefusesToWrite) {
    RasterImageRAS ras;
    std::vector<uint8_t> bytes = Joined(SunHeader(1, 1, 8, 1, 0, 0), {9, 0});
    RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
    ASSERT_TRUE(ras.Decode(&file)) << ras.LastErrorText();
    EXPECT_EQ(ras.GetType(), uint32_t(RASTER_FORMAT_RAS));
    RasterMemFile out;
    out.Open();
    EXPECT_FALSE(ras.Encode(&out));
}

TEST_F(ConvertedFiles, SunRasterGivesTheSource) {
    const RasterImage colour = MakePatternImage(23, 11);
    const RasterImage few = fixtures::MakeFewColourPattern(23, 11);
    const RasterImage bits = fixtures::MakeBilevelPattern(23, 11);
    const std::vector<uint8_t> bytes = Make(colour, "", "sun:a.ras");
    EXPECT_TRUE(SamePixels(MustDecode(bytes, RASTER_FORMAT_RAS), colour));
    fixtures::ExpectPrefixesHandled(bytes, RASTER_FORMAT_RAS, 3);
    EXPECT_TRUE(SamePixels(MustDecode(Make(few, "-type Palette", "sun:b.ras"), RASTER_FORMAT_RAS), few));
    EXPECT_TRUE(SamePixels(MustDecode(Make(bits, "-type Bilevel", "sun:c.ras"), RASTER_FORMAT_RAS), bits));

    RasterImage withAlpha = MakePatternImage(23, 11);
    testsupport::AddPatternAlpha(withAlpha);
    fixtures::WritePamWithAlpha(withAlpha, m_dir / "alpha.pam");
    const RasterImage decoded = MustDecode(MakeFrom(m_dir / "alpha.pam", "", "sun:d.ras"), RASTER_FORMAT_RAS);
    ASSERT_TRUE(decoded.HasAlpha());
    EXPECT_EQ(decoded.GetPixelColor(5, 3, true).rgbReserved, withAlpha.GetPixelColor(5, 3, true).rgbReserved);
}

}  // namespace
