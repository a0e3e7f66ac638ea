#include <gtest/gtest.h>

#include <vector>

#include "image/formats/RasterImageWBMP.h"
#include "SimpleFormatTestSupport.h"
#include "TestSupport.h"

using simpleformat::DecodeBytes;
using simpleformat::ExpectDecodeFails;

namespace {

// 10 x 3: a checker of 1s (white) and 0s (black), rows padded to two bytes.
const std::vector<uint8_t> kCheckerFile = {
    0x00, 0x00, 0x0A, 0x03,
    0xAA, 0x80,   // 1010101010
    0x55, 0x40,   // 0101010101
    0xFF, 0xC0,   // 1111111111
};

bool WhiteAt(const RasterImage& image, uint32_t x, uint32_t pictureY) {
    return testsupport::PictureColor(image, x, pictureY) == RasterRgb(255, 255, 255);
}

}  // namespace

TEST(RasterImageWBMP, DecodesRowsTopFirstWithOneAsWhite) {
    RasterImageWBMP image;
    ASSERT_TRUE(DecodeBytes(image, kCheckerFile)) << image.LastErrorText();
    ASSERT_EQ(image.GetWidth(), 10u);
    ASSERT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_WBMP));
    for (uint32_t x = 0; x < 10; ++x) {
        EXPECT_EQ(WhiteAt(image, x, 0), x % 2 == 0) << x;
        EXPECT_EQ(WhiteAt(image, x, 1), x % 2 == 1) << x;
        EXPECT_TRUE(WhiteAt(image, x, 2)) << x;
    }
    EXPECT_EQ(testsupport::PictureColor(image, 1, 0), RasterRgb(0, 0, 0));
}

TEST(RasterImageWBMP, ReadsMultiByteSizes) {
    // Width 200 = 0x81 0x48; height 1.
    std::vector<uint8_t> bytes = {0x00, 0x00, 0x81, 0x48, 0x01};
    bytes.resize(bytes.size() + 25, 0xFF);
    RasterImageWBMP image;
    ASSERT_TRUE(DecodeBytes(image, bytes)) << image.LastErrorText();
    EXPECT_EQ(image.GetWidth(), 200u);
    EXPECT_EQ(image.GetHeight(), 1u);
    EXPECT_TRUE(WhiteAt(image, 199, 0));
}

TEST(RasterImageWBMP, RejectsDataThatIsNotAPlausibleWbmp) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* error;
    };
    const Case cases[] = {
        {"type 1", {0x01, 0x00, 0x01, 0x01, 0x00}, "WBMP: not a type 0 wireless bitmap"},
        {"extension headers", {0x00, 0x80, 0x01, 0x01, 0x00}, "WBMP: not a type 0 wireless bitmap"},
        {"zero width", {0x00, 0x00, 0x00, 0x01}, "WBMP: invalid picture size"},
        {"zero height", {0x00, 0x00, 0x01, 0x00}, "WBMP: invalid picture size"},
        {"leading empty group", {0x00, 0x00, 0x80, 0x01, 0x01, 0x00}, "WBMP: invalid picture size"},
        {"five-byte integer", {0x00, 0x00, 0x81, 0x80, 0x80, 0x80, 0x01, 0x01}, "WBMP: invalid picture size"},
        {"short rows", {0x00, 0x00, 0x09, 0x02, 0xFF, 0x80, 0xFF}, "WBMP: image data truncated"},
        {"trailing bytes", {0x00, 0x00, 0x08, 0x01, 0xFF, 0x00}, "WBMP: data size does not match the picture size"},
        {"empty", {}, "WBMP: not a type 0 wireless bitmap"},
    };
    for (const Case& c : cases) ExpectDecodeFails<RasterImageWBMP>(c.bytes, c.error, c.what);
}

TEST(RasterImageWBMP, HugeHeaderOverFewBytesFailsBeforeAllocating) {
    // 268,435,455 x 268,435,455 over a handful of bytes.
    const std::vector<uint8_t> bytes = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00};
    ExpectDecodeFails<RasterImageWBMP>(bytes, "WBMP: image data truncated", "huge header");
}

TEST(RasterImageWBMP, EveryPrefixFailsCleanlyOrDecodes) {
    simpleformat::ExpectEveryPrefixHandled<RasterImageWBMP>(kCheckerFile);
}

TEST(RasterImageWBMP, IsFoundByContentDetection) {
    RasterImage image;
    ASSERT_TRUE(simpleformat::DecodeByDetection(image, kCheckerFile)) << image.LastErrorText();
    EXPECT_EQ(image.GetType(), uint32_t(RASTER_FORMAT_WBMP));
    EXPECT_EQ(image.GetWidth(), 10u);
}

TEST(RasterImageWBMP, CannotBeWritten) {
    simpleformat::ExpectCannotBeWritten(RASTER_FORMAT_WBMP, "Encode: WBMP cannot be saved");
}

TEST(RasterImageWBMP, MatchesImageMagickOutputExactly) {
    if (simpleformat::ConvertProgram().empty()) GTEST_SKIP() << "ImageMagick convert is not installed";
    // A 1-bit picture: black where the pattern's red is dark, white elsewhere.
    const RasterImage pattern = testsupport::MakePatternImage(37, 11);
    RasterImage source;
    ASSERT_TRUE(source.Create(37, 11, 24, 0));
    for (uint32_t y = 0; y < 11; ++y) {
        for (uint32_t x = 0; x < 37; ++x) {
            const uint8_t v = pattern.GetPixelColor(x, y, false).rgbRed < 128 ? 0 : 255;
            source.SetPixelColor(x, y, RasterRgbQuad{v, v, v, 0});
        }
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(simpleformat::ConvertBilevel(source, "", "out.wbmp", bytes));
    RasterImageWBMP image;
    ASSERT_TRUE(DecodeBytes(image, bytes)) << image.LastErrorText();
    EXPECT_TRUE(testsupport::SamePixels(simpleformat::ToTrueColor(image), source));
}
