// Pictures of phone cameras and panoramas, past four gigabits of pixels, open and save: the
// memory limit counts bytes. Each picture takes about 600 MB while it is open, so these tests
// are the slow ones of the program (LargePicture.*); they hold one picture at a time.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

namespace {

constexpr uint32_t kColour = RasterRgb(40, 120, 200);

TEST(LargePicture, SingleColourPicturesPastTheOldBitBoundSaveAndOpen) {
    const struct {
        uint32_t width, height, type;
        const char* name;
    } cases[] = {{16320, 12240, RASTER_FORMAT_JPG, "phone.jpg"},
                 {16320, 12240, RASTER_FORMAT_PNG, "phone.png"},
                 {20000, 10000, RASTER_FORMAT_PNG, "pano.png"}};
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Over 2^32 bits of 24-bit pixels, which the limit once refused.
        ASSERT_GT(uint64_t(c.width) * c.height * 24, uint64_t(UINT32_MAX));
        const std::string path = (dir / c.name).string();
        {
            RasterImage picture;
            ASSERT_NE(picture.Create(c.width, c.height, 24, c.type), nullptr) << picture.LastErrorText();
            picture.FillColor(kColour);
            ASSERT_TRUE(picture.Save(path.c_str(), c.type)) << picture.LastErrorText();
        }
        RasterImage opened;
        ASSERT_TRUE(opened.Load(path.c_str(), RASTER_FORMAT_UNKNOWN)) << opened.LastErrorText();
        EXPECT_EQ(opened.GetType(), c.type);
        EXPECT_EQ(opened.GetWidth(), c.width);
        EXPECT_EQ(opened.GetHeight(), c.height);
        ASSERT_EQ(opened.GetBpp(), 24u);
        // The last rows and columns lie past every 32-bit offset of the old arithmetic.
        for (const auto& [x, y] : {std::pair{0u, 0u}, std::pair{c.width - 1, c.height - 1},
                                   std::pair{c.width / 2, c.height - 1}, std::pair{c.width - 1, 0u}}) {
            const RasterRgbQuad p = opened.GetPixelColor(x, y, false);
            // JPEG may move a flat colour by a level or two.
            EXPECT_NEAR(p.rgbRed, 40, 2) << x << ", " << y;
            EXPECT_NEAR(p.rgbGreen, 120, 2) << x << ", " << y;
            EXPECT_NEAR(p.rgbBlue, 200, 2) << x << ", " << y;
        }
    }
}

// A JPEG frame header whose sides are patched to width x height.
std::vector<uint8_t> JpegClaiming(uint16_t width, uint16_t height) {
    RasterImage small = testsupport::MakeSolidImage(16, 16, kColour);
    RasterMemFile out;
    out.Open();
    EXPECT_TRUE(small.Encode(&out, RASTER_FORMAT_JPG)) << small.LastErrorText();
    std::vector<uint8_t> bytes(out.GetBuffer(), out.GetBuffer() + out.Size());
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = uint8_t(height >> 8);
            bytes[i + 6] = uint8_t(height);
            bytes[i + 7] = uint8_t(width >> 8);
            bytes[i + 8] = uint8_t(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no baseline frame header";
    return bytes;
}

TEST(LargePicture, APicturePastTheByteBoundIsRefusedWithItsSize) {
    std::vector<uint8_t> bytes = JpegClaiming(60000, 30000);
    RasterImage image;
    EXPECT_FALSE(image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_UNKNOWN));
    EXPECT_FALSE(image.IsValid());
    RasterTooLarge size{};
    ASSERT_TRUE(RasterTooLargeFromText(image.LastErrorText(), size)) << image.LastErrorText();
    EXPECT_EQ(size.width, 60000u);
    EXPECT_EQ(size.height, 30000u);
    EXPECT_EQ(size.bytes, 5400000000u);  // "needs 5.4 GB"
}

// The fuzz seeds named largest.* declare the largest sides their formats allow over a few
// bytes: each is refused, by content detection and by its extension, before any allocation.
TEST(LargePicture, HeadersDeclaringTheLargestSizesAreRefused) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SNIPWELL_FUZZ_SEEDS)) {
        if (entry.path().stem() != "largest") continue;
        SCOPED_TRACE(entry.path().string());
        std::vector<uint8_t> bytes = testsupport::ReadFileBytes(entry.path());
        for (uint32_t type : {uint32_t(RASTER_FORMAT_UNKNOWN), RasterImage::TypeFromExtension(entry.path().c_str())}) {
            RasterImage image;
            EXPECT_FALSE(image.Decode(bytes.data(), uint32_t(bytes.size()), type)) << type;
            EXPECT_STRNE(image.LastErrorText(), "") << type;
        }
        ++count;
    }
    EXPECT_GE(count, 10u);
}

}  // namespace
