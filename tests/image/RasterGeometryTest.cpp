// Flip, Mirror, RotateLeft/RotateRight, Crop and IncreaseBpp.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::AddPatternAlpha;
using testsupport::MakePatternImage;
using testsupport::MakeSolidImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

// Alpha at picture coordinates (y = 0 at the top).
uint8_t PictureAlpha(const RasterImage& image, uint32_t x, uint32_t y) {
    return *image.AlphaPointer(x, image.GetHeight() - 1 - y);
}

// Palette index at picture coordinates.
uint8_t PictureIndex(const RasterImage& image, uint32_t x, uint32_t y) {
    return image.GetPixelIndex(x, image.GetHeight() - 1 - y);
}

RasterImage PatternWithAlpha(uint32_t width, uint32_t height, uint32_t bpp = 24) {
    RasterImage image = MakePatternImage(width, height, bpp);
    AddPatternAlpha(image);
    return image;
}

}  // namespace

// ---- rotation ------------------------------------------------------------------------------

TEST(RasterRotate, LeftTurnsTheTopRightCornerToTheTopLeft) {
    RasterImage image;
    ASSERT_NE(image.Create(3, 2, 24, 0), nullptr);
    // Picture rows: top a b c, bottom d e f.
    const uint32_t colours[2][3] = {{RasterRgb(1, 2, 3), RasterRgb(4, 5, 6), RasterRgb(7, 8, 9)},
                                    {RasterRgb(10, 11, 12), RasterRgb(13, 14, 15), RasterRgb(16, 17, 18)}};
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 3; ++x) {
            const uint32_t c = colours[y][x];
            image.SetPixelColor(x, 1 - y, RasterRgbQuad{RasterBlue(c), RasterGreen(c), RasterRed(c), 0});
        }
    }
    RasterImage left;
    ASSERT_TRUE(image.RotateLeft(&left));
    ASSERT_EQ(left.GetWidth(), 2u);
    ASSERT_EQ(left.GetHeight(), 3u);
    // Counter-clockwise: rows c f / b e / a d.
    EXPECT_EQ(PictureColor(left, 0, 0), colours[0][2]);
    EXPECT_EQ(PictureColor(left, 1, 0), colours[1][2]);
    EXPECT_EQ(PictureColor(left, 0, 2), colours[0][0]);
    EXPECT_EQ(PictureColor(left, 1, 2), colours[1][0]);

    ASSERT_TRUE(image.RotateRight());
    // Clockwise: rows d a / e b / f c.
    EXPECT_EQ(PictureColor(image, 0, 0), colours[1][0]);
    EXPECT_EQ(PictureColor(image, 1, 0), colours[0][0]);
    EXPECT_EQ(PictureColor(image, 0, 2), colours[1][2]);
    EXPECT_EQ(PictureColor(image, 1, 2), colours[0][2]);
}

TEST(RasterRotate, EveryPixelAndAlphaLandsWhereTheTurnPutsItAcrossTiles) {
    // Sizes cross the 64-pixel tiles; rows with and without padding bytes.
    for (const auto& size : {std::pair<uint32_t, uint32_t>{133, 70}, {132, 68}}) {
        const RasterImage source = PatternWithAlpha(size.first, size.second);
        const uint32_t w = source.GetWidth();
        const uint32_t h = source.GetHeight();
        RasterImage left;
        RasterImage right;
        ASSERT_TRUE(RasterImage(source).RotateLeft(&left));
        ASSERT_TRUE(RasterImage(source).RotateRight(&right));
        ASSERT_EQ(left.GetWidth(), h);
        ASSERT_EQ(right.GetHeight(), w);
        for (uint32_t y = 0; y < w; ++y) {
            for (uint32_t x = 0; x < h; ++x) {
                // Counter-clockwise: new (x, y) = old (w - 1 - y, x); clockwise: old (y, h - 1 - x).
                ASSERT_EQ(PictureColor(left, x, y), PictureColor(source, w - 1 - y, x)) << w << ": " << x << "," << y;
                ASSERT_EQ(PictureAlpha(left, x, y), PictureAlpha(source, w - 1 - y, x)) << w << ": " << x << "," << y;
                ASSERT_EQ(PictureColor(right, x, y), PictureColor(source, y, h - 1 - x)) << w << ": " << x << "," << y;
                ASSERT_EQ(PictureAlpha(right, x, y), PictureAlpha(source, y, h - 1 - x)) << w << ": " << x << "," << y;
            }
        }
    }
}

TEST(RasterRotate, PaletteIndicesFollowTheTurn) {
    // 71 x 66 crosses a tile and leaves partial 8 x 8 blocks on both sides.
    for (uint32_t bpp : {8u, 4u, 1u}) {
        const RasterImage source = MakePatternImage(71, 66, bpp);
        RasterImage right;
        RasterImage left;
        ASSERT_TRUE(RasterImage(source).RotateRight(&right));
        ASSERT_TRUE(RasterImage(source).RotateLeft(&left));
        ASSERT_EQ(right.GetBpp(), bpp);
        for (uint32_t y = 0; y < 71; ++y) {
            for (uint32_t x = 0; x < 66; ++x) {
                ASSERT_EQ(PictureIndex(right, x, y), PictureIndex(source, y, 65 - x)) << bpp << ": " << x << "," << y;
                ASSERT_EQ(PictureIndex(left, x, y), PictureIndex(source, 70 - y, x)) << bpp << ": " << x << "," << y;
            }
        }
    }
}

TEST(RasterRotate, RightThenLeftRestoresThePictureExactly) {
    for (uint32_t bpp : {24u, 8u, 4u, 1u}) {
        RasterImage image = PatternWithAlpha(129, 67, bpp);
        const RasterImage original(image);
        ASSERT_TRUE(image.RotateRight());
        ASSERT_TRUE(image.RotateLeft());
        EXPECT_TRUE(SamePixels(image, original)) << bpp << " bits";
    }
}

TEST(RasterRotate, FourQuarterTurnsAreTheIdentity) {
    RasterImage image = PatternWithAlpha(5, 200);
    const RasterImage original(image);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(image.RotateRight());
    EXPECT_TRUE(SamePixels(image, original));
}

TEST(RasterRotate, IntoADestinationLeavesTheSourceAndKeepsResolution) {
    RasterImage source = MakePatternImage(10, 4);
    source.SetXDpi(300);
    const RasterImage original(source);
    RasterImage turned;
    ASSERT_TRUE(source.RotateLeft(&turned));
    EXPECT_TRUE(SamePixels(source, original));
    EXPECT_EQ(turned.GetXDpi(), 300);
    EXPECT_EQ(turned.GetHeader().biXPelsPerMeter, source.GetHeader().biXPelsPerMeter);
    RasterImage empty;
    EXPECT_FALSE(empty.RotateRight());
}

// ---- flip and mirror ----------------------------------------------------------------------

TEST(RasterFlip, TurnsRowsAndAlphaUpsideDownKeepingAnOddMiddleRow) {
    RasterImage image = PatternWithAlpha(7, 5);
    const RasterImage original(image);
    ASSERT_TRUE(image.Flip());
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            ASSERT_EQ(PictureColor(image, x, y), PictureColor(original, x, 4 - y));
            ASSERT_EQ(PictureAlpha(image, x, y), PictureAlpha(original, x, 4 - y));
        }
    }
    for (uint32_t x = 0; x < 7; ++x) EXPECT_EQ(PictureColor(image, x, 2), PictureColor(original, x, 2));
}

TEST(RasterFlip, LeavesAlphaWhenAskedTo) {
    RasterImage image = PatternWithAlpha(6, 4, 4);
    const RasterImage original(image);
    ASSERT_TRUE(image.Flip(false, false));
    EXPECT_EQ(std::memcmp(image.GetAlphaPlane(), original.GetAlphaPlane(), 24), 0);
    EXPECT_EQ(PictureIndex(image, 1, 0), PictureIndex(original, 1, 3));
    RasterImage empty;
    EXPECT_FALSE(empty.Flip());
}

TEST(RasterMirror, ReversesEveryRowAtEveryDepth) {
    // Widths below, across and beyond the blocks of 8 pixels and 16 bytes reversed at once.
    for (uint32_t width : {13u, 37u}) {
        for (uint32_t bpp : {24u, 8u, 4u, 1u}) {
            RasterImage image = PatternWithAlpha(width, 3, bpp);
            const RasterImage original(image);
            ASSERT_TRUE(image.Mirror());
            ASSERT_EQ(image.GetBpp(), bpp);
            for (uint32_t y = 0; y < 3; ++y) {
                for (uint32_t x = 0; x < width; ++x) {
                    ASSERT_EQ(PictureColor(image, x, y), PictureColor(original, width - 1 - x, y)) << bpp << ": " << x;
                    ASSERT_EQ(PictureAlpha(image, x, y), PictureAlpha(original, width - 1 - x, y)) << bpp << ": " << x;
                }
            }
        }
    }
}

TEST(RasterMirror, LeavesAlphaWhenAskedTo) {
    RasterImage image = PatternWithAlpha(9, 2);
    const RasterImage original(image);
    ASSERT_TRUE(image.Mirror(false, false));
    EXPECT_EQ(std::memcmp(image.GetAlphaPlane(), original.GetAlphaPlane(), 18), 0);
    EXPECT_EQ(PictureColor(image, 0, 0), PictureColor(original, 8, 0));
}

// ---- crop ----------------------------------------------------------------------------------

TEST(RasterCrop, KeepsTheRectangleInPictureCoordinates) {
    RasterImage image = PatternWithAlpha(9, 6);
    image.SetXDpi(300);
    const RasterImage original(image);
    ASSERT_TRUE(image.Crop(RasterRect{2, 1, 7, 4}));
    ASSERT_EQ(image.GetWidth(), 5u);
    ASSERT_EQ(image.GetHeight(), 3u);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            ASSERT_EQ(PictureColor(image, x, y), PictureColor(original, 2 + x, 1 + y));
            ASSERT_EQ(PictureAlpha(image, x, y), PictureAlpha(original, 2 + x, 1 + y));
        }
    }
    // The print resolution survives the crop.
    EXPECT_EQ(image.GetXDpi(), 300);
}

TEST(RasterCrop, SwapsReversedEdgesAndClampsToThePicture) {
    RasterImage original = MakePatternImage(9, 6);
    RasterImage straight;
    RasterImage reversed;
    ASSERT_TRUE(original.Crop(RasterRect{2, 1, 7, 4}, &straight));
    ASSERT_TRUE(original.Crop(RasterRect{7, 4, 2, 1}, &reversed));
    EXPECT_TRUE(SamePixels(straight, reversed));
    RasterImage all;
    ASSERT_TRUE(original.Crop(RasterRect{-5, -5, 100, 100}, &all));
    EXPECT_TRUE(SamePixels(all, original));
}

TEST(RasterCrop, EmptyRectanglesFailAndLeaveThePicture) {
    RasterImage image = MakePatternImage(9, 6);
    const RasterImage original(image);
    EXPECT_FALSE(image.Crop(RasterRect{1, 3, 5, 3}));
    EXPECT_FALSE(image.Crop(RasterRect{4, 0, 4, 6}));
    EXPECT_FALSE(image.Crop(RasterRect{20, 0, 30, 6}));  // both edges clamp to the right side
    EXPECT_TRUE(SamePixels(image, original));
}

TEST(RasterCrop, CutsPaletteImagesBelowEightBits) {
    RasterImage image = MakePatternImage(21, 5, 1);
    const RasterImage original(image);
    ASSERT_TRUE(image.Crop(RasterRect{3, 0, 20, 2}));
    ASSERT_EQ(image.GetWidth(), 17u);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 17; ++x) ASSERT_EQ(PictureIndex(image, x, y), PictureIndex(original, 3 + x, y));
    }
}

// ---- depth ---------------------------------------------------------------------------------

TEST(RasterIncreaseBpp, TrueColourIsAlreadyThere) {
    RasterImage image = MakePatternImage(5, 4);
    const uint8_t* bits = image.GetBits();
    EXPECT_TRUE(image.IncreaseBpp(24));
    EXPECT_EQ(image.GetBits(), bits);
    EXPECT_FALSE(image.IncreaseBpp(8));
    EXPECT_FALSE(image.IncreaseBpp(16));
}

TEST(RasterIncreaseBpp, PalettePicturesTakeTheirPaletteColours) {
    for (uint32_t bpp : {8u, 4u, 1u}) {
        RasterImage image = MakePatternImage(11, 7, bpp);
        RasterRgbQuad* palette = image.GetPalette();
        for (uint32_t i = 0; i < image.GetPaletteSize(); ++i) palette[i] = RasterRgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
        const RasterImage original(image);
        ASSERT_TRUE(image.IncreaseBpp(24));
        ASSERT_EQ(image.GetBpp(), 24u);
        EXPECT_FALSE(image.HasAlpha()) << "no fourth bytes, no alpha plane";
        for (uint32_t y = 0; y < 7; ++y) {
            for (uint32_t x = 0; x < 11; ++x) ASSERT_EQ(PictureColor(image, x, y), PictureColor(original, x, y)) << bpp;
        }
    }
}

TEST(RasterIncreaseBpp, PaletteFourthBytesBecomeTheAlphaPlane) {
    RasterImage image = MakePatternImage(6, 3, 8);
    RasterRgbQuad* palette = image.GetPalette();
    for (uint32_t i = 0; i < 256; ++i) palette[i].rgbReserved = uint8_t(255 - i);
    const RasterImage original(image);
    ASSERT_TRUE(image.IncreaseBpp(24));
    ASSERT_TRUE(image.HasAlpha());
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 6; ++x) ASSERT_EQ(*image.AlphaPointer(x, y), 255 - original.GetPixelIndex(x, y));
    }
}

TEST(RasterIncreaseBpp, KeepsAnAlphaPlaneAndTheTransparentColour) {
    RasterImage image = PatternWithAlpha(6, 3, 4);
    image.GetPalette()[5] = RasterRgbQuad{10, 20, 30, 0};
    image.SetTransparentIndex(5);
    const RasterImage original(image);
    ASSERT_TRUE(image.IncreaseBpp(24));
    EXPECT_EQ(std::memcmp(image.GetAlphaPlane(), original.GetAlphaPlane(), 18), 0);
    const RasterRgbQuad key = image.GetTransparentColor();
    EXPECT_EQ(key.rgbBlue, 10);
    EXPECT_EQ(key.rgbGreen, 20);
    EXPECT_EQ(key.rgbRed, 30);
}

TEST(RasterIncreaseBpp, WiderIndicesKeepIndicesAndPalette) {
    RasterImage image = PatternWithAlpha(13, 4, 1);
    const RasterImage original(image);
    ASSERT_TRUE(image.IncreaseBpp(8));
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(std::memcmp(image.GetPalette(), original.GetPalette(), 2 * sizeof(RasterRgbQuad)), 0);
    EXPECT_TRUE(SamePixels(image, original));
    EXPECT_FALSE(image.IncreaseBpp(4));
}

// ---- refusals ------------------------------------------------------------------------------

TEST(RasterGeometry, AStopRequestAbandonsTheOperationAndKeepsThePicture) {
    RasterImage image = PatternWithAlpha(70, 9, 8);
    const RasterImage original(image);
    image.SetEscape(1);
    EXPECT_FALSE(image.RotateRight());
    EXPECT_FALSE(image.Mirror());
    EXPECT_FALSE(image.IncreaseBpp(24));
    EXPECT_STREQ(image.LastErrorText(), "RasterImage: operation cancelled");
    image.SetEscape(0);
    EXPECT_TRUE(SamePixels(image, original));
    EXPECT_EQ(image.GetBpp(), 8u);
}

TEST(RasterGeometry, ABorrowedViewIsNeverReplaced) {
    RasterImage owner = MakePatternImage(6, 4);
    const RasterImage original(owner);
    RasterImage view;
    view.MakeBorrowedView(owner);
    RasterImage turned;
    EXPECT_FALSE(view.RotateLeft(&turned));
    EXPECT_FALSE(view.Crop(RasterRect{0, 0, 2, 2}));
    EXPECT_STREQ(view.LastErrorText(), "RasterImage: a borrowed image can't be replaced");
    EXPECT_FALSE(turned.IsValid());
    EXPECT_TRUE(SamePixels(owner, original));
}
