// Rescale and RescalePlane: the sampling rules, the fixed-point area average checked against a
// direct re-statement of its rules, alpha handling and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "AreaShrinkReference.h"
#include "BilinearReference.h"
#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::MakePatternImage;
using testsupport::MakeSolidImage;
using testsupport::SamePixels;

namespace {

RasterImage MakeNoiseImage(uint32_t width, uint32_t height, std::mt19937& random) {
    RasterImage image;
    image.Create(width, height, 24, 0);
    std::uniform_int_distribution<int> byte(0, 255);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width * 3; ++x) image.RowPointer(y)[x] = uint8_t(byte(random));
    }
    return image;
}

std::vector<uint8_t> PackedPixels(const RasterImage& image) {
    std::vector<uint8_t> packed;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        packed.insert(packed.end(), image.RowPointer(y), image.RowPointer(y) + size_t(image.GetWidth()) * 3);
    }
    return packed;
}

uint8_t* MallocCopy(const std::vector<uint8_t>& bytes) {
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes.size()));
    std::memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

// Blue channel of stored row y as a vector.
std::vector<int> BlueRow(const RasterImage& image, uint32_t y) {
    std::vector<int> row;
    for (uint32_t x = 0; x < image.GetWidth(); ++x) row.push_back(image.PixelPointer(x, y)[0]);
    return row;
}

}  // namespace

TEST(RasterRescale, AreaShrinkMatchesItsRulesOnRandomPicturesAndScales) {
    std::mt19937 random(20261208);
    // Whole-number and boundary-on-a-pixel ratios first, ratios just under 2, one-pixel targets
    // whose weight sum is too large for the short average (over 2^23), then random ones.
    const uint32_t fixed[][4] = {{400, 300, 200, 150}, {12, 9, 4, 3},   {8, 8, 2, 4},    {9, 6, 6, 4},
                                 {7, 5, 1, 1},         {64, 3, 63, 2},  {199, 101, 100, 51},
                                 {3001, 4, 1, 1},      {4100, 5, 2, 2}, {2900, 3, 1, 1}};
    constexpr int kFixed = int(sizeof(fixed) / sizeof(fixed[0]));
    for (int round = 0; round < 60 + kFixed; ++round) {
        uint32_t width = 2 + random() % 90;
        uint32_t height = 2 + random() % 70;
        uint32_t newWidth = 1 + random() % (width - 1);
        uint32_t newHeight = 1 + random() % (height - 1);
        if (round < kFixed) {
            width = fixed[round][0];
            height = fixed[round][1];
            newWidth = fixed[round][2];
            newHeight = fixed[round][3];
        }
        RasterImage source = MakeNoiseImage(width, height, random);
        RasterImage result;
        ASSERT_TRUE(source.Rescale(newWidth, newHeight, RASTER_RESCALE_AREA, &result));
        const float xScale = float(width) / float(newWidth);
        const float yScale = float(height) / float(newHeight);
        const auto nScale = int64_t(1000 * xScale * yScale);
        const AreaReference expected =
            ReferenceAreaShrink(source.GetBits(), source.GetStride(), int(width), int(height), int(newWidth),
                                int(newHeight), 3, nScale);
        ASSERT_TRUE(expected.regular);
        ASSERT_EQ(PackedPixels(result), expected.pixels)
            << width << "x" << height << " -> " << newWidth << "x" << newHeight;
    }
}

TEST(RasterRescale, AreaShrinkMatchesItsRulesOnAPhotoSizedPicture) {
    std::mt19937 random(7);
    RasterImage source = MakeNoiseImage(1003, 677, random);
    RasterImage result;
    ASSERT_TRUE(source.Rescale(331, 211, RASTER_RESCALE_AREA, &result));
    const float xScale = 1003.0f / 331.0f;
    const float yScale = 677.0f / 211.0f;
    const AreaReference expected = ReferenceAreaShrink(source.GetBits(), source.GetStride(), 1003, 677, 331, 211, 3,
                                                       int64_t(1000 * xScale * yScale));
    ASSERT_TRUE(expected.regular);
    EXPECT_EQ(PackedPixels(result), expected.pixels);
}

TEST(RasterRescale, PlaneAreaShrinkMatchesItsRules) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 40; ++round) {
        const uint32_t width = 2 + random() % 80;
        const uint32_t height = 2 + random() % 80;
        const uint32_t newWidth = 1 + random() % (width - 1);
        const uint32_t newHeight = 1 + random() % (height - 1);
        std::vector<uint8_t> plane(size_t(width) * height);
        for (uint8_t& b : plane) b = uint8_t(byte(random));
        const float xScale = float(width) / float(newWidth);
        const float yScale = float(height) / float(newHeight);
        const AreaReference expected = ReferenceAreaShrink(plane.data(), width, int(width), int(height), int(newWidth),
                                                           int(newHeight), 1, int64_t(yScale * xScale * 1000));
        ASSERT_TRUE(expected.regular);
        uint8_t* result = RasterImage::RescalePlane(MallocCopy(plane), width, height, newWidth, newHeight);
        ASSERT_NE(result, nullptr);
        const std::vector<uint8_t> actual(result, result + size_t(newWidth) * newHeight);
        std::free(result);
        ASSERT_EQ(actual, expected.pixels) << width << "x" << height << " -> " << newWidth << "x" << newHeight;
    }
}

// Random sizes where at least one side grows (or keeps its size), so the area average is not
// used; up to maxSide pixels a side.
std::pair<uint32_t, uint32_t> BilinearTargetSize(uint32_t width, uint32_t height, uint32_t maxSide, int round,
                                                 std::mt19937& random) {
    uint32_t newWidth = width + random() % (maxSide + 10);
    uint32_t newHeight = 1 + random() % (maxSide + 20);
    if (round % 2) std::swap(newWidth, newHeight);
    if (newWidth < width && newHeight < height) newWidth = width;
    if (newWidth == width && newHeight == height) ++newWidth;
    return {newWidth, newHeight};
}

TEST(RasterRescale, BilinearMatchesItsRulesOnRandomPicturesAndScales) {
    std::mt19937 random(314);
    // Small pictures first, then rows wide enough for the 16-byte and four-pixel steps with
    // every kind of remainder.
    for (int round = 0; round < 70; ++round) {
        const uint32_t maxSide = round < 40 ? 40 : 300;
        const uint32_t width = 1 + random() % maxSide;
        const uint32_t height = 1 + random() % 40;
        const auto [newWidth, newHeight] = BilinearTargetSize(width, height, maxSide, round, random);
        RasterImage source = MakeNoiseImage(width, height, random);
        RasterImage result;
        ASSERT_TRUE(source.Rescale(newWidth, newHeight, RASTER_RESCALE_AREA, &result));
        const std::vector<uint8_t> expected = ReferenceBilinear(source.GetBits(), source.GetStride(), width, height,
                                                                newWidth, newHeight, 3);
        ASSERT_EQ(PackedPixels(result), expected) << width << "x" << height << " -> " << newWidth << "x" << newHeight;
    }
}

TEST(RasterRescale, PlaneBilinearMatchesItsRules) {
    std::mt19937 random(2718);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        const uint32_t maxSide = round < 25 ? 20 : 300;
        const uint32_t width = 1 + random() % maxSide;
        const uint32_t height = 1 + random() % 40;
        const auto [newWidth, newHeight] = BilinearTargetSize(width, height, maxSide, round, random);
        std::vector<uint8_t> plane(size_t(width) * height);
        for (uint8_t& b : plane) b = uint8_t(byte(random));
        const std::vector<uint8_t> expected =
            ReferenceBilinear(plane.data(), width, width, height, newWidth, newHeight, 1);
        uint8_t* result = RasterImage::RescalePlane(MallocCopy(plane), width, height, newWidth, newHeight);
        ASSERT_NE(result, nullptr);
        const std::vector<uint8_t> actual(result, result + size_t(newWidth) * newHeight);
        std::free(result);
        ASSERT_EQ(actual, expected) << width << "x" << height << " -> " << newWidth << "x" << newHeight;
    }
}

TEST(RasterRescale, HalvingKeepsAUniformGreyExactly) {
    RasterImage grey = MakeSolidImage(400, 300, RasterRgb(77, 77, 77));
    RasterImage half;
    ASSERT_TRUE(grey.Rescale(200, 150, RASTER_RESCALE_AREA, &half));
    ASSERT_EQ(half.GetWidth(), 200u);
    ASSERT_EQ(half.GetHeight(), 150u);
    EXPECT_TRUE(SamePixels(half, MakeSolidImage(200, 150, RasterRgb(77, 77, 77))));
    // The source is left as it was.
    EXPECT_EQ(grey.GetWidth(), 400u);
}

TEST(RasterRescale, ShrinkingOneSideOnlyIsBilinear) {
    // A horizontal ramp reduced in width only: bilinear samples at x * 2 exactly, the area
    // average would blend neighbouring columns.
    RasterImage ramp;
    ASSERT_NE(ramp.Create(400, 300, 24, 0), nullptr);
    for (uint32_t y = 0; y < 300; ++y) {
        for (uint32_t x = 0; x < 400; ++x) {
            uint8_t* p = ramp.PixelPointer(x, y);
            p[0] = p[1] = p[2] = uint8_t(x % 2 ? 200 : 10);
        }
    }
    RasterImage narrow;
    ASSERT_TRUE(ramp.Rescale(200, 300, RASTER_RESCALE_AREA, &narrow));
    for (uint32_t x = 0; x < 200; ++x) ASSERT_EQ(narrow.PixelPointer(x, 150)[0], 10) << x;
}

TEST(RasterRescale, BilinearEnlargementIsAnchoredAtZeroAndClampsTheLastColumn) {
    RasterImage pair;
    ASSERT_NE(pair.Create(2, 1, 24, 0), nullptr);
    std::memset(pair.GetBits(), 0, pair.GetStride());
    pair.PixelPointer(1, 0)[0] = 255;
    ASSERT_TRUE(pair.Rescale(4, 1, RASTER_RESCALE_AREA));
    EXPECT_EQ(BlueRow(pair, 0), (std::vector<int>{0, 127, 255, 255}));
}

TEST(RasterRescale, BilinearBlendsRowsWithTruncation) {
    // 1 x 2 (stored rows 0 and 100) to 1 x 3: rows sampled at 0, 2/3 and 4/3 (clamped).
    RasterImage column;
    ASSERT_NE(column.Create(1, 2, 24, 0), nullptr);
    column.PixelPointer(0, 0)[1] = 0;
    column.PixelPointer(0, 1)[1] = 100;
    ASSERT_TRUE(column.Rescale(1, 3, RASTER_RESCALE_AREA));
    EXPECT_EQ(column.PixelPointer(0, 0)[1], 0);
    EXPECT_EQ(column.PixelPointer(0, 1)[1], 66);
    EXPECT_EQ(column.PixelPointer(0, 2)[1], 100);
}

TEST(RasterRescale, NearestPicksTruncatedPositions) {
    RasterImage source = MakePatternImage(10, 7);
    RasterImage result;
    ASSERT_TRUE(source.Rescale(4, 3, RASTER_RESCALE_NEAREST, &result));
    const float xScale = 10.0f / 4.0f;
    const float yScale = 7.0f / 3.0f;
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const uint8_t* expected = source.PixelPointer(uint32_t(x * xScale), uint32_t(y * yScale));
            ASSERT_EQ(std::memcmp(result.PixelPointer(x, y), expected, 3), 0) << x << "," << y;
        }
    }
}

TEST(RasterRescale, SameSizeCopiesIntoADestinationAndOtherwiseDoesNothing) {
    RasterImage source = MakePatternImage(9, 5);
    testsupport::AddPatternAlpha(source);
    const RasterImage before(source);
    RasterImage destination = MakeSolidImage(3, 3, 0);
    ASSERT_TRUE(source.Rescale(9, 5, RASTER_RESCALE_AREA, &destination));
    EXPECT_TRUE(SamePixels(destination, before));
    ASSERT_TRUE(source.Rescale(9, 5, RASTER_RESCALE_AREA));
    EXPECT_TRUE(SamePixels(source, before));
}

TEST(RasterRescale, RejectsEmptySizesAndInvalidImages) {
    RasterImage source = MakePatternImage(9, 5);
    EXPECT_FALSE(source.Rescale(0, 5, RASTER_RESCALE_AREA));
    EXPECT_FALSE(source.Rescale(4, 0, RASTER_RESCALE_AREA));
    EXPECT_EQ(source.GetWidth(), 9u);
    RasterImage empty;
    EXPECT_FALSE(empty.Rescale(4, 4, RASTER_RESCALE_AREA));
}

TEST(RasterRescale, TooLargeTargetFailsWithTheMemoryMessageAndKeepsTheImage) {
    RasterImage source = MakePatternImage(9, 5);
    const RasterImage before(source);
    EXPECT_FALSE(source.Rescale(40000, 40000, RASTER_RESCALE_AREA));
    EXPECT_STREQ(source.LastErrorText(), RasterTooLargeFor(40000, 40000, 24).text);
    EXPECT_TRUE(SamePixels(source, before));
}

TEST(RasterRescale, TrueColourAlphaIsResizedLikeAPlane) {
    RasterImage source = MakePatternImage(50, 40);
    testsupport::AddPatternAlpha(source);
    const std::vector<uint8_t> alpha(source.GetAlphaPlane(), source.GetAlphaPlane() + 50 * 40);
    for (const auto& size : {std::pair<uint32_t, uint32_t>{17, 13}, {80, 40}, {50, 13}}) {
        RasterImage result;
        ASSERT_TRUE(source.Rescale(size.first, size.second, RASTER_RESCALE_AREA, &result));
        ASSERT_TRUE(result.HasAlpha());
        uint8_t* expected = RasterImage::RescalePlane(MallocCopy(alpha), 50, 40, size.first, size.second);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(std::memcmp(result.GetAlphaPlane(), expected, size_t(size.first) * size.second), 0);
        std::free(expected);
    }
}

TEST(RasterRescale, PaletteAlphaIsPickedByNearestSampling) {
    RasterImage source = MakePatternImage(12, 8, 8);
    testsupport::AddPatternAlpha(source);
    ASSERT_TRUE(source.Rescale(5, 3, RASTER_RESCALE_AREA));
    ASSERT_EQ(source.GetBpp(), 8u);
    ASSERT_TRUE(source.HasAlpha());
    RasterImage original = MakePatternImage(12, 8, 8);
    testsupport::AddPatternAlpha(original);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(*source.AlphaPointer(x, y), *original.AlphaPointer(uint32_t(x * 2.4f), uint32_t(y * (8.0f / 3.0f))));
        }
    }
}

TEST(RasterRescale, PalettePicturesShrinkThroughTheirColours) {
    // A two-entry palette image halved bilinearly gives palette indices again, sampled at even
    // positions (no area average below 24 bits).
    RasterImage source;
    ASSERT_NE(source.Create(8, 4, 1, 0), nullptr);
    const RasterRgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    source.SetPalette(palette, 2);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 8; ++x) source.SetPixelIndex(x, y, uint8_t((x / 2) % 2));
    }
    ASSERT_TRUE(source.Rescale(4, 2, RASTER_RESCALE_AREA));
    ASSERT_EQ(source.GetBpp(), 1u);
    for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(source.GetPixelIndex(x, 1), x % 2) << x;
}

TEST(RasterRescale, VeryWideShrinkFillsEveryTargetPixel) {
    // Float boundaries drift by whole pixels over rows this long (39999 and 68970 splits for
    // 39998 and 69000 target pixels): every target pixel must still be the picture's grey.
    for (const auto& size : {std::pair<uint32_t, uint32_t>{40000, 39998}, {70000, 69000}}) {
        RasterImage grey = MakeSolidImage(size.first, 3, RasterRgb(90, 90, 90));
        RasterImage result;
        ASSERT_TRUE(grey.Rescale(size.second, 2, RASTER_RESCALE_AREA, &result));
        for (uint32_t y = 0; y < 2; ++y) {
            for (uint32_t x = 0; x < size.second; ++x) {
                const int blue = result.PixelPointer(x, y)[0];
                ASSERT_TRUE(blue >= 88 && blue <= 90) << x << "," << y << ": " << blue;
            }
        }
    }
}

TEST(RasterRescale, RescalePlaneFreesAndRejectsEmptySizes) {
    auto* plane = static_cast<uint8_t*>(std::malloc(6));
    EXPECT_EQ(RasterImage::RescalePlane(plane, 3, 2, 0, 4), nullptr);  // plane is freed (checked by ASan)
    std::vector<uint8_t> bytes = {0, 255};
    uint8_t* wide = RasterImage::RescalePlane(MallocCopy(bytes), 2, 1, 4, 1);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::vector<int>(wide, wide + 4), (std::vector<int>{0, 127, 255, 255}));
    std::free(wide);
}

TEST(RasterRescale, AStopRequestAbandonsTheResizeAndKeepsThePicture) {
    RasterImage source = MakePatternImage(64, 48);
    const RasterImage before(source);
    source.SetEscape(1);
    EXPECT_FALSE(source.Rescale(20, 15, RASTER_RESCALE_AREA));
    EXPECT_FALSE(source.Rescale(100, 90, RASTER_RESCALE_AREA));
    source.SetEscape(0);
    EXPECT_TRUE(SamePixels(source, before));
}
