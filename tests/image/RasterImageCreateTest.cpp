#include <gtest/gtest.h>

#include <cstring>

#include "FormatFixtures.h"
#include "image/RasterImage.h"

TEST(RasterImageCreate, RejectsEmptySizes) {
    RasterImage image;
    EXPECT_EQ(image.Create(0, 10, 24, 0), nullptr);
    EXPECT_STREQ(image.LastErrorText(), "RasterImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.IsValid());
}

TEST(RasterImageCreate, RoundsDepths) {
    RasterImage image;
    ASSERT_NE(image.Create(7, 3, 16, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_NE(image.Create(7, 3, 32, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_NE(image.Create(7, 3, 2, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.GetPaletteSize(), 16u);
    ASSERT_NE(image.Create(7, 3, 0, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetPaletteSize(), 2u);
}

TEST(RasterImageCreate, TheLimitCountsBytesNotBits) {
    // Pictures past four gigabits of pixels fit when their bytes do (0xF0000000 at most).
    const struct { uint64_t width, height; uint32_t bpp; bool fits; } cases[] = {
        {16320, 12240, 24, true},  {20000, 10000, 24, true},    {30000, 30000, 24, true},
        {65536, 65536, 1, true},   {40000, 40000, 24, false},   {37000, 37000, 24, false},
        {1, 2000000000u, 1, false},  // a one-pixel column pads every row to four bytes
        {uint64_t(INT32_MAX) + 1, 1, 1, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(RasterImage::FitsMemoryLimit(c.width, c.height, c.bpp), c.fits) << c.width << " x " << c.height;
    }
    RasterImage image;
    EXPECT_EQ(image.Create(40000, 40000, 24, 0), nullptr);
    EXPECT_STREQ(image.LastErrorText(), "RASTER_MAX_MEMORY exceeded: 40000 x 40000 pixels, 4800000000 bytes");
}

TEST(RasterImageCreate, TheProgramsLimitRefusesBeforeAllocatingAndSaysTheSize) {
    RasterImage image;
    {
        const fixtures::ScopedMemoryLimit limit(fixtures::kSmallMemoryLimit);
        EXPECT_EQ(RasterImage::MemoryLimit(), fixtures::kSmallMemoryLimit);
        EXPECT_EQ(image.Create(10000, 10000, 24, 0), nullptr);
        RasterTooLarge size{};
        ASSERT_TRUE(RasterTooLargeFromText(image.LastErrorText(), size)) << image.LastErrorText();
        EXPECT_EQ(size.width, 10000u);
        EXPECT_EQ(size.height, 10000u);
        EXPECT_EQ(size.bytes, 300000000u);
        // 50 MB of 1-bit pixels fit; their alpha plane of 400 MB does not.
        ASSERT_NE(image.Create(20000, 20000, 1, 0), nullptr);
        EXPECT_FALSE(image.CreateAlpha());
        EXPECT_FALSE(image.HasAlpha());
    }
    // The limit never rises past the core's own bound.
    const fixtures::ScopedMemoryLimit limit(uint64_t(1) << 40);
    EXPECT_EQ(RasterImage::MemoryLimit(), uint64_t(RASTER_MAX_MEMORY));
    RasterTooLarge size{};
    EXPECT_FALSE(RasterTooLargeFromText("JPEG: damaged file", size));
}

TEST(RasterImageCreate, PadsRowsToFourBytes) {
    RasterImage image;
    ASSERT_NE(image.Create(1, 2, 24, 0), nullptr);
    EXPECT_EQ(image.GetStride(), 4u);
    ASSERT_NE(image.Create(5, 2, 24, 0), nullptr);
    EXPECT_EQ(image.GetStride(), 16u);
    EXPECT_EQ(image.GetHeader().biSizeImage, 32u);
    // The block starts with the same header.
    RasterBitmapInfoHeader stored;
    std::memcpy(&stored, image.GetBlock(), sizeof(stored));
    EXPECT_EQ(stored.biWidth, 5);
    EXPECT_EQ(stored.biXPelsPerMeter, 3780);
}
