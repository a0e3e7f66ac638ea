#include <gtest/gtest.h>

#include <QImage>

#include <array>

#include "AtlasTestImages.h"
#include "app/IconAtlas.h"

namespace {

// Every pixel (10, 20, 30) at alpha 255.
RasterImage MakeAtlas(uint32_t width, uint32_t height) {
    return MakeTestAtlas(width, height, RasterRgb(10, 20, 30), 255);
}

// Sets a pixel in picture coordinates (y = 0 at the top).
void SetPicturePixel(RasterImage& image, uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint32_t stored = image.GetHeight() - 1 - y;
    uint8_t* pixel = image.PixelPointer(x, stored);
    pixel[0] = b;
    pixel[1] = g;
    pixel[2] = r;
    *image.AlphaPointer(x, stored) = a;
}

// Blue, green, red, alpha bytes of a bitmap pixel (y = 0 at the top).
std::array<int, 4> Bytes(const QImage& bitmap, int x, int y) {
    const uchar* p = bitmap.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(ExtractIconStrip, PremultipliesColourByAlpha) {
    RasterImage atlas = MakeAtlas(8, 6);
    SetPicturePixel(atlas, 2, 1, 200, 100, 50, 0);      // fully transparent
    SetPicturePixel(atlas, 3, 1, 255, 255, 255, 128);   // half-transparent white
    SetPicturePixel(atlas, 4, 1, 255, 0, 100, 51);

    const QImage strip = ExtractIconStrip(atlas, 1, 2, 4, 2);
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.size(), QSize(4, 2));
    EXPECT_EQ(strip.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(Bytes(strip, 0, 0), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(Bytes(strip, 1, 0), (std::array<int, 4>{128, 128, 128, 128}));
    EXPECT_EQ(Bytes(strip, 2, 0), (std::array<int, 4>{20, 0, 51, 51}));   // round(v * 51 / 255)
    EXPECT_EQ(Bytes(strip, 3, 0), (std::array<int, 4>{30, 20, 10, 255}));
    EXPECT_EQ(Bytes(strip, 0, 1), (std::array<int, 4>{30, 20, 10, 255}));
}

TEST(ExtractIconStrip, CountsRowsFromTheTopOfTheAtlas) {
    RasterImage atlas = MakeAtlas(4, 5);
    SetPicturePixel(atlas, 0, 0, 255, 0, 0, 255);
    SetPicturePixel(atlas, 0, 3, 0, 0, 255, 255);
    const QImage top = ExtractIconStrip(atlas, 0, 0, 1, 1);
    const QImage lower = ExtractIconStrip(atlas, 3, 0, 1, 1);
    ASSERT_FALSE(top.isNull());
    ASSERT_FALSE(lower.isNull());
    EXPECT_EQ(Bytes(top, 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(Bytes(lower, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
}

// Every pixel of every area as the step-by-step cut makes it: a black, transparent strip,
// the area pasted in, each colour byte times alpha through the product table.
TEST(ExtractIconStrip, MatchesTheStepByStepCutOnAnUnevenAtlas) {
    RasterImage atlas = MakeAtlas(37, 23);
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    for (uint32_t y = 0; y < atlas.GetHeight(); ++y)
        for (uint32_t x = 0; x < atlas.GetWidth(); ++x) SetPicturePixel(atlas, x, y, next(), next(), next(), next());
    const uint8_t* product = ProductTable();
    struct Area {
        int y, x, width, height;
    };
    for (const Area& area : {Area{0, 0, 37, 23}, Area{5, 3, 16, 16}, Area{22, 36, 1, 1}, Area{7, 20, 17, 9}}) {
        SCOPED_TRACE(testing::Message() << "area at " << area.x << "," << area.y);
        const QImage strip = ExtractIconStrip(atlas, area.y, area.x, area.width, area.height);
        ASSERT_EQ(strip.size(), QSize(area.width, area.height));
        for (int y = 0; y < area.height; ++y) {
            for (int x = 0; x < area.width; ++x) {
                const uint32_t stored = atlas.GetHeight() - 1 - uint32_t(area.y + y);
                const uint8_t* pixel = atlas.PixelPointer(uint32_t(area.x + x), stored);
                const uint8_t a = *atlas.AlphaPointer(uint32_t(area.x + x), stored);
                const std::array<int, 4> expected = {product[pixel[0] * 256 + a], product[pixel[1] * 256 + a],
                                                     product[pixel[2] * 256 + a], a};
                ASSERT_EQ(Bytes(strip, x, y), expected) << "at " << x << "," << y;
            }
        }
    }
}

// Without an alpha plane nothing of the area is marked visible: the strip stays transparent.
TEST(ExtractIconStrip, AnAtlasWithoutAlphaGivesATransparentStrip) {
    RasterImage atlas = MakeAtlas(8, 8);
    atlas.DeleteAlpha();
    const QImage strip = ExtractIconStrip(atlas, 2, 2, 4, 4);
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(Bytes(strip, 1, 1), (std::array<int, 4>{0, 0, 0, 0}));
}

TEST(ExtractIconStrip, GivesNothingForAreasOutsideTheAtlasOrAnInvalidAtlas) {
    const RasterImage atlas = MakeAtlas(32, 16);
    EXPECT_FALSE(ExtractIconStrip(atlas, 0, 0, 32, 16).isNull());   // exactly fits
    EXPECT_FALSE(ExtractIconStrip(atlas, 8, 16, 16, 8).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, -1, 0, 16, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 0, 17, 16, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 1, 0, 16, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 0, -1, 16, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 0, 0, 0, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 0, 0, 16, 0).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, 0, 1, INT32_MAX, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(atlas, INT32_MAX, 0, 16, 16).isNull());
    EXPECT_TRUE(ExtractIconStrip(RasterImage(), 0, 0, 1, 1).isNull());
}

TEST(InterfaceAtlas, TheEmbeddedAtlasLoadsAsA480By240PictureWithAlpha) {
    IconAtlas atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    EXPECT_EQ(atlas.GetWidth(), 480u);
    EXPECT_EQ(atlas.GetHeight(), 240u);
    EXPECT_EQ(atlas.GetBpp(), 24u);
    EXPECT_TRUE(atlas.HasAlpha());
}

TEST(InterfaceAtlas, EveryCellTheProgramCutsHoldsAnIcon) {
    struct Cell {
        int x, y, size;
    };
    std::vector<Cell> cells = {{0, 0, 16}, {64, 0, 45}, {158, 0, 48}, {0, 160, 32}};
    for (int i : {1, 2, 3}) cells.push_back({16 * i, 48, 16});
    for (int i : {1, 2}) cells.push_back({32 * i, 64, 32});
    for (int i = 3; i <= 10; ++i) cells.push_back({16 * i, 96, 16});
    for (int i = 1; i <= 10; ++i) cells.push_back({32 * i, 112, 32});

    IconAtlas atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    for (const Cell& cell : cells) {
        SCOPED_TRACE(testing::Message() << "cell at " << cell.x << "," << cell.y);
        const QImage icon = ExtractIconStrip(atlas, cell.y, cell.x, cell.size, cell.size);
        ASSERT_FALSE(icon.isNull());
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x) opaque += Bytes(icon, x, y)[3] > 128;
        // A glyph covers a good part of its cell, and never all of it.
        EXPECT_GT(opaque, cell.size * cell.size / 5);
        EXPECT_LT(opaque, cell.size * cell.size);
    }
}

TEST(InterfaceAtlas, TheProcessWideAtlasIsWhatWasSet) {
    IconAtlas atlas;
    const RasterImage* before = InterfaceAtlas();
    SetInterfaceAtlas(&atlas);
    EXPECT_EQ(InterfaceAtlas(), &atlas);
    SetInterfaceAtlas(before);
}
