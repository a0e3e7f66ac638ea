// Brightness and contrast tables, grey by average and channel offsets.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::AddPatternAlpha;
using testsupport::MakePatternImage;
using testsupport::MakeSolidImage;
using testsupport::PictureColor;

namespace {

// The table AdjustLight applies, read back from a picture holding every byte value once
// per channel.
std::array<uint8_t, 256> AppliedLightTable(int32_t brightness, int32_t contrast) {
    RasterImage image;
    std::array<uint8_t, 256> table{};
    if (!image.Create(256, 1, 24, 0)) return table;
    for (uint32_t v = 0; v < 256; ++v) {
        uint8_t* p = image.PixelPointer(v, 0);
        p[0] = uint8_t(v);
        p[1] = uint8_t(255 - v);
        p[2] = uint8_t(v);
    }
    EXPECT_TRUE(image.AdjustLight(brightness, contrast));
    for (uint32_t v = 0; v < 256; ++v) {
        const uint8_t* p = image.PixelPointer(v, 0);
        table[v] = p[0];
        EXPECT_EQ(p[2], p[0]) << "red and blue share the table";
        EXPECT_EQ(image.PixelPointer(255 - v, 0)[1], p[0]) << "green shares the table";
    }
    return table;
}

RasterImage GreyPixel(uint8_t b, uint8_t g, uint8_t r) {
    return MakeSolidImage(1, 1, RasterRgb(r, g, b));
}

}  // namespace

TEST(RasterTone, NeutralLightIsTheIdentity) {
    const auto table = AppliedLightTable(0, 0);
    for (uint32_t v = 0; v < 256; ++v) EXPECT_EQ(table[v], v);
}

TEST(RasterTone, NoContrastMakesEverythingMidGrey) {
    const auto table = AppliedLightTable(0, -100);
    for (uint32_t v = 0; v < 256; ++v) EXPECT_EQ(table[v], 128) << v;
}

TEST(RasterTone, BrightnessAddsAndClamps) {
    const auto up = AppliedLightTable(50, 0);
    EXPECT_EQ(up[0], 50);
    EXPECT_EQ(up[200], 250);
    EXPECT_EQ(up[205], 255);
    EXPECT_EQ(up[210], 255);
    const auto down = AppliedLightTable(-60, 0);
    EXPECT_EQ(down[59], 0);
    EXPECT_EQ(down[60], 0);
    EXPECT_EQ(down[61], 1);
    EXPECT_EQ(down[255], 195);
}

TEST(RasterTone, ContrastScalesAroundTheMiddle) {
    const auto table = AppliedLightTable(0, 100);  // c = 2
    EXPECT_EQ(table[0], 0);      // -256 + 128.5 truncates to -127, clamped
    EXPECT_EQ(table[64], 0);     // exactly 0.5 truncates to 0
    EXPECT_EQ(table[65], 2);
    EXPECT_EQ(table[128], 128);
    EXPECT_EQ(table[191], 254);
    EXPECT_EQ(table[192], 255);  // 256.5, clamped
    EXPECT_EQ(table[200], 255);
}

TEST(RasterTone, ContrastFactorIsSinglePrecision) {
    // c = 1.05 is 1.04999995... as a float: (138 - 128) x c + 128.5 = 138.9999995 gives 138,
    // where a double factor would give 139.
    const auto table = AppliedLightTable(0, 5);
    EXPECT_EQ(table[138], 138);
    EXPECT_EQ(table[148], 149);  // 20 x c + 128.5 = 149.4999990
    // c = 1.3 is 1.29999995...: 5 x c + 128.5 = 134.99999976 gives 134, not 135.
    EXPECT_EQ(AppliedLightTable(0, 30)[133], 134);
}

TEST(RasterTone, CombinedBrightnessAndContrast) {
    const auto table = AppliedLightTable(20, 30);
    // trunc((v - 128) x 1.3f + 148.5), clamped.
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[100], 112);  // -36.4 + 148.5 = 112.1
    EXPECT_EQ(table[128], 148);
    EXPECT_EQ(table[200], 242);  // 93.6 + 148.5 = 242.1
    EXPECT_EQ(table[210], 255);  // 106.6 + 148.5
}

TEST(RasterTone, ExtremeLightValuesSaturate) {
    const auto bright = AppliedLightTable(INT32_MAX, 0);
    const auto dark = AppliedLightTable(INT32_MIN, 0);
    const auto steep = AppliedLightTable(0, INT32_MAX);
    const auto inverted = AppliedLightTable(0, INT32_MIN);
    for (uint32_t v = 0; v < 256; ++v) {
        EXPECT_EQ(bright[v], 255);
        EXPECT_EQ(dark[v], 0);
    }
    EXPECT_EQ(steep[0], 0);
    EXPECT_EQ(steep[128], 128);
    EXPECT_EQ(steep[255], 255);
    EXPECT_EQ(inverted[0], 255);
    EXPECT_EQ(inverted[255], 0);
}

TEST(RasterTone, LookupTableReachesRowPaddingAndSparesAlpha) {
    RasterImage image = MakePatternImage(5, 2);  // 15 bytes of pixels in a 16-byte row
    AddPatternAlpha(image);
    const RasterImage before(image);
    image.GetBits()[15] = 10;
    image.GetBits()[31] = 200;
    std::array<uint8_t, 256> invert{};
    for (uint32_t v = 0; v < 256; ++v) invert[v] = uint8_t(255 - v);
    ASSERT_TRUE(image.ApplyLut(invert.data()));
    EXPECT_EQ(image.GetBits()[15], 245);
    EXPECT_EQ(image.GetBits()[31], 55);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(PictureColor(image, x, y), 0xFFFFFFu - PictureColor(before, x, y));
            EXPECT_EQ(*image.AlphaPointer(x, y), *before.AlphaPointer(x, y));
        }
    }
}

TEST(RasterTone, LookupNeedsAnImageAndATable) {
    RasterImage image = MakePatternImage(3, 3);
    EXPECT_FALSE(image.ApplyLut(nullptr));
    RasterImage empty;
    std::array<uint8_t, 256> table{};
    EXPECT_FALSE(empty.ApplyLut(table.data()));
    EXPECT_FALSE(empty.AdjustLight(10, 10));
}

TEST(RasterTone, LookupOnAPaletteImageChangesThePalette) {
    RasterImage image = MakePatternImage(6, 4, 8);
    const RasterImage before(image);
    std::array<uint8_t, 256> half{};
    for (uint32_t v = 0; v < 256; ++v) half[v] = uint8_t(v / 2);
    ASSERT_TRUE(image.ApplyLut(half.data()));
    EXPECT_EQ(image.GetPalette()[200].rgbRed, 100);
    EXPECT_EQ(image.GetPalette()[201].rgbBlue, 100);
    EXPECT_EQ(std::memcmp(image.GetBits(), before.GetBits(), before.GetHeader().biSizeImage), 0);
}

TEST(RasterTone, GreyIsTheRoundedAverage) {
    const struct {
        uint8_t b, g, r, grey;
    } cases[] = {
        {0, 0, 1, 0},       {1, 1, 0, 1},     {0, 0, 2, 1},       {255, 255, 255, 255},
        {255, 255, 254, 255}, {255, 254, 254, 254}, {10, 200, 90, 100}, {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        RasterImage image = GreyPixel(c.b, c.g, c.r);
        ASSERT_TRUE(image.GrayAverage());
        EXPECT_EQ(PictureColor(image, 0, 0), RasterRgb(c.grey, c.grey, c.grey))
            << int(c.b) << "," << int(c.g) << "," << int(c.r);
    }
}

TEST(RasterTone, GreyCoversEveryPixelAndSparesAlpha) {
    RasterImage image = MakePatternImage(13, 5);
    AddPatternAlpha(image);
    const RasterImage before(image);
    ASSERT_TRUE(image.GrayAverage());
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 13; ++x) {
            const uint8_t* old = before.PixelPointer(x, y);
            const uint8_t* p = image.PixelPointer(x, y);
            const auto grey = uint8_t((old[0] + old[1] + old[2] + 1) / 3);
            EXPECT_EQ(p[0], grey);
            EXPECT_EQ(p[1], grey);
            EXPECT_EQ(p[2], grey);
            EXPECT_EQ(*image.AlphaPointer(x, y), *before.AlphaPointer(x, y));
        }
    }
    RasterImage palette = MakePatternImage(4, 4, 8);
    EXPECT_FALSE(palette.GrayAverage());
    EXPECT_FALSE(RasterImage().GrayAverage());
}

TEST(RasterTone, ChannelShiftsClampEachChannel) {
    RasterImage light = MakeSolidImage(3, 2, RasterRgb(230, 230, 230));
    ASSERT_TRUE(light.ShiftChannels(50, 0, -50));
    EXPECT_EQ(PictureColor(light, 2, 1), RasterRgb(255, 230, 180));
    RasterImage dark = MakeSolidImage(3, 2, RasterRgb(20, 20, 20));
    ASSERT_TRUE(dark.ShiftChannels(50, 0, -50));
    EXPECT_EQ(PictureColor(dark, 0, 0), RasterRgb(70, 20, 0));

    // Offsets act on their own channel only.
    RasterImage mixed = MakeSolidImage(1, 1, RasterRgb(10, 100, 200));
    ASSERT_TRUE(mixed.ShiftChannels(-5, 7, 55));
    EXPECT_EQ(PictureColor(mixed, 0, 0), RasterRgb(5, 107, 255));

    RasterImage extreme = MakeSolidImage(2, 1, RasterRgb(1, 128, 254));
    ASSERT_TRUE(extreme.ShiftChannels(INT32_MIN, INT32_MAX, 0));
    EXPECT_EQ(PictureColor(extreme, 1, 0), RasterRgb(0, 255, 254));
    EXPECT_FALSE(RasterImage().ShiftChannels(1, 1, 1));
}

TEST(RasterTone, WarmToneAfterGrey) {
    RasterImage image = MakeSolidImage(2, 2, RasterRgb(240, 200, 250));  // grey (250+200+240+1)/3 = 230
    AddPatternAlpha(image);
    ASSERT_TRUE(image.GrayAverage());
    ASSERT_TRUE(image.ShiftChannels(25, 0, -25));
    EXPECT_EQ(PictureColor(image, 1, 1), RasterRgb(255, 230, 205));
}

TEST(RasterTone, ChannelShiftsOnAPaletteImageChangeThePalette) {
    RasterImage image = MakePatternImage(5, 5, 8);
    const RasterImage before(image);
    ASSERT_TRUE(image.ShiftChannels(25, 0, -25));
    EXPECT_EQ(image.GetPalette()[0].rgbRed, 25);
    EXPECT_EQ(image.GetPalette()[0].rgbBlue, 0);
    EXPECT_EQ(image.GetPalette()[240].rgbRed, 255);
    EXPECT_EQ(image.GetPalette()[240].rgbGreen, 240);
    EXPECT_EQ(image.GetPalette()[240].rgbBlue, 215);
    EXPECT_EQ(std::memcmp(image.GetBits(), before.GetBits(), before.GetHeader().biSizeImage), 0);
}
