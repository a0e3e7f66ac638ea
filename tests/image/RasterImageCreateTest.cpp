#include <gtest/gtest.h>

#include <cstring>

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

TEST(RasterImageCreate, EnforcesMemoryLimit) {
    RasterImage image;
    EXPECT_EQ(image.Create(30000, 30000, 24, 0), nullptr);
    EXPECT_STREQ(image.LastErrorText(), "RASTER_MAX_MEMORY exceeded");
    EXPECT_EQ(image.Create(65536, 65536, 1, 0), nullptr);
    EXPECT_STREQ(image.LastErrorText(), "RASTER_MAX_MEMORY exceeded");
    // A one-pixel column pads every row to four bytes: the padded block counts too.
    EXPECT_EQ(image.Create(1, 2000000000u, 1, 0), nullptr);
    EXPECT_TRUE(RasterImage::FitsMemoryLimit(10000, 10000, 24));
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
