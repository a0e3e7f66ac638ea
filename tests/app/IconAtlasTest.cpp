#include <gtest/gtest.h>

#include <QImage>

#include <array>

#include "app/IconAtlas.h"
#include "image/RasterImage.h"

namespace {

// Every pixel (10, 20, 30) at alpha 255, colours as stored (not premultiplied).
QImage MakeAtlas(int width, int height) {
    QImage atlas(width, height, QImage::Format_ARGB32);
    atlas.fill(qRgba(10, 20, 30, 255));
    return atlas;
}

// Blue, green, red, alpha bytes of a bitmap pixel (y = 0 at the top).
std::array<int, 4> Bytes(const QImage& bitmap, int x, int y) {
    const uchar* p = bitmap.constScanLine(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(ExtractIconStrip, PremultipliesColourByAlpha) {
    QImage atlas = MakeAtlas(8, 6);
    atlas.setPixel(2, 1, qRgba(200, 100, 50, 0));     // fully transparent
    atlas.setPixel(3, 1, qRgba(255, 255, 255, 128));  // half-transparent white
    atlas.setPixel(4, 1, qRgba(255, 0, 100, 51));

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

// Every pixel of areas of every shape, y before x as the atlas's rows are named: each colour
// byte times alpha, rounded as the program's blends round it.
TEST(ExtractIconStrip, CutsTheAreaPremultipliedOnAnUnevenAtlas) {
    QImage atlas(37, 23, QImage::Format_ARGB32);
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return int(uint8_t(seed >> 16));
    };
    for (int y = 0; y < atlas.height(); ++y)
        for (int x = 0; x < atlas.width(); ++x) atlas.setPixel(x, y, qRgba(next(), next(), next(), next()));
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
                const QRgb pixel = atlas.pixel(area.x + x, area.y + y);
                const int a = qAlpha(pixel);
                const std::array<int, 4> expected = {product[qBlue(pixel) * 256 + a], product[qGreen(pixel) * 256 + a],
                                                     product[qRed(pixel) * 256 + a], a};
                ASSERT_EQ(Bytes(strip, x, y), expected) << "at " << x << "," << y;
            }
        }
    }
}

TEST(ExtractIconStrip, GivesNothingForAreasOutsideTheAtlasOrAnInvalidAtlas) {
    const QImage atlas = MakeAtlas(32, 16);
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
    EXPECT_TRUE(ExtractIconStrip(QImage(), 0, 0, 1, 1).isNull());
}

TEST(InterfaceAtlas, TheEmbeddedAtlasLoadsAsA480By240PictureWithAlpha) {
    QImage atlas;
    ASSERT_TRUE(LoadAtlas(atlas));
    EXPECT_EQ(atlas.size(), QSize(480, 240));
    EXPECT_TRUE(atlas.hasAlphaChannel());
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

    QImage atlas;
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
    QImage atlas;
    const QImage* before = InterfaceAtlas();
    SetInterfaceAtlas(&atlas);
    EXPECT_EQ(InterfaceAtlas(), &atlas);
    SetInterfaceAtlas(before);
}
