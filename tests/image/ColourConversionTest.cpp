// Pictures tagged with a wide-gamut profile are shown in sRGB numbers; sRGB, untagged and
// unusable profiles leave the pixels alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "MetadataFixtures.h"
#include "image/RasterImage.h"
#include "image/metadata/ColourConversion.h"

namespace {

using namespace testsupport;

RasterImage Solid(uint8_t r, uint8_t g, uint8_t b) { return MakeSolidImage(4, 3, RasterRgb(r, g, b)); }

TEST(ColourConversionTest, OnlyUsableNonSrgbRgbProfilesAreConverted) {
    struct Case {
        const char* name;
        std::vector<uint8_t> icc;
        bool converts;
    };
    const std::vector<Case> cases = {
        {"DisplayP3", MakeDisplayP3Profile(), true},
        {"DisplayP3Large", MakeDisplayP3Profile(true), true},
        {"Srgb", MakeSrgbProfile(), false},
        {"None", {}, false},
        {"Garbage", std::vector<uint8_t>(600, 0x5A), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProfileNeedsConversion(c.icc), c.converts);
        RasterImage picture = Solid(120, 200, 90);
        const RasterImage before(picture);
        EXPECT_EQ(ConvertToScreenColours(picture, c.icc), c.converts);
        EXPECT_EQ(SamePixels(picture, before), !c.converts);
    }
}

TEST(ColourConversionTest, DisplayP3ColoursBecomeMoreSaturatedSrgbNumbersAndGreyStaysGrey) {
    const std::vector<uint8_t> p3 = MakeDisplayP3Profile();
    RasterImage green = Solid(120, 200, 90);
    ASSERT_TRUE(ConvertToScreenColours(green, p3));
    const uint32_t c = PictureColor(green, 0, 0);
    // P3's green is more saturated than sRGB's: the same numbers need more green and less red.
    EXPECT_LT(RasterRed(c), 110);
    EXPECT_GT(RasterGreen(c), 200);

    RasterImage grey = Solid(128, 128, 128);
    ASSERT_TRUE(ConvertToScreenColours(grey, p3));
    const uint32_t g = PictureColor(grey, 0, 0);
    EXPECT_LE(std::abs(int(RasterRed(g)) - 128), 3);
    EXPECT_LE(std::abs(int(RasterGreen(g)) - int(RasterRed(g))), 1);
    EXPECT_LE(std::abs(int(RasterBlue(g)) - int(RasterRed(g))), 1);
}

TEST(ColourConversionTest, TheScreenProfileIsTheTargetOnceSet) {
    const std::vector<uint8_t> p3 = MakeDisplayP3Profile();
    // A P3 screen shows P3 numbers as they are meant.
    SetScreenColourProfile(p3);
    RasterImage onP3Screen = Solid(120, 200, 90);
    ConvertToScreenColours(onP3Screen, p3);
    SetScreenColourProfile({});
    const uint32_t c = PictureColor(onP3Screen, 0, 0);
    EXPECT_LE(std::abs(int(RasterRed(c)) - 120), 1);
    EXPECT_LE(std::abs(int(RasterGreen(c)) - 200), 1);
    RasterImage onSrgbScreen = Solid(120, 200, 90);
    ASSERT_TRUE(ConvertToScreenColours(onSrgbScreen, p3));
    EXPECT_LT(RasterRed(PictureColor(onSrgbScreen, 0, 0)), 110);
}

}  // namespace
