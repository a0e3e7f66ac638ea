// Product table, fills, pastes, flattening, channel extraction and region copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::AddPatternAlpha;
using testsupport::MakePatternImage;
using testsupport::MakeSolidImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

// round(i * j / 255) in integers, independent of the table.
uint8_t Product(uint32_t i, uint32_t j) {
    return uint8_t((2 * i * j + 255) / 510);
}

// d over s by weight w of the new value.
uint8_t Blend(uint8_t s, uint8_t d, uint32_t w) {
    return uint8_t(Product(d, 255 - w) + Product(s, w));
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Plane = std::unique_ptr<uint8_t, FreeDeleter>;

void SetAlpha(RasterImage& image, uint32_t x, uint32_t y, uint8_t value) {
    *image.AlphaPointer(x, y) = value;
}

// An alpha plane that mixes runs of 0, runs of 255 and ramps, so that whole groups of
// pixels, mixed groups and row tails all occur.
void AddRunAlpha(RasterImage& image, uint32_t seed) {
    ASSERT_TRUE(image.CreateAlpha());
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const uint32_t zone = ((x + seed) / 9 + y + seed) % 4;
            const uint8_t value = zone == 0 ? 0 : zone == 1 ? 255 : zone == 2 ? uint8_t(x * 29 + y * 7 + seed) : 0;
            *image.AlphaPointer(x, y) = (zone == 3 && (x + y) % 7 == 0) ? 255 : value;
        }
    }
}

// The colour channels of one stored pixel.
struct Bgr {
    uint8_t b, g, r;
};
Bgr PixelAt(const RasterImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.PixelPointer(x, y);
    return Bgr{p[0], p[1], p[2]};
}

}  // namespace

// ---- product table -------------------------------------------------------------------------

TEST(RasterProductTable, HoldsRoundedProductsInRowMajorOrder) {
    const uint8_t* table = ProductTable();
    ASSERT_NE(table, nullptr);
    for (uint32_t i = 0; i < 256; ++i) {
        for (uint32_t j = 0; j < 256; ++j) ASSERT_EQ(table[i * 256 + j], Product(i, j)) << i << " x " << j;
    }
    EXPECT_EQ(table[255 * 256 + 255], 255);
    EXPECT_EQ(table[128 * 256 + 255], 128);
    EXPECT_EQ(table[127 * 256 + 255], 127);
    EXPECT_EQ(table[255 * 256 + 127], 127);
}

// ---- fill ----------------------------------------------------------------------------------

TEST(RasterFill, WritesColourRefBytesAndLeavesPaddingAndAlpha) {
    RasterImage image = MakeSolidImage(5, 3, 0);
    ASSERT_TRUE(image.CreateAlpha());
    SetAlpha(image, 1, 1, 7);
    uint8_t* padding = image.GetBits() + 15;  // 5 pixels use 15 of 16 bytes per row
    *padding = 0xAB;
    image.FillColor(0x00332211);  // red 0x11, green 0x22, blue 0x33
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) {
            const Bgr p = PixelAt(image, x, y);
            EXPECT_EQ(p.b, 0x33);
            EXPECT_EQ(p.g, 0x22);
            EXPECT_EQ(p.r, 0x11);
        }
    }
    EXPECT_EQ(*padding, 0xAB);
    EXPECT_EQ(*image.AlphaPointer(1, 1), 7);

    RasterImage palette = MakePatternImage(4, 4, 8);
    const RasterImage before(palette);
    palette.FillColor(0xFFFFFF);
    EXPECT_TRUE(SamePixels(palette, before));
}

// ---- paste: placement and clipping ------------------------------------------------------------

TEST(RasterPaste, UsesPictureCoordinatesFromTheTop) {
    RasterImage source = MakePatternImage(3, 2);
    RasterImage target = MakeSolidImage(10, 6, 0);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 4, 1, RASTER_PASTE_COPY, 1.0));
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 4 && x < 7 && y >= 1 && y < 3;
            EXPECT_EQ(PictureColor(target, x, y), inside ? PictureColor(source, x - 4, y - 1) : 0u) << x << "," << y;
        }
    }
}

TEST(RasterPaste, NegativeDestinationTakesAWindowOfTheSource) {
    const RasterImage source = MakePatternImage(40, 30);
    RasterImage target = MakeSolidImage(12, 8, 0);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, -10, -5, RASTER_PASTE_COPY, 1.0));
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 12; ++x) ASSERT_EQ(PictureColor(target, x, y), PictureColor(source, x + 10, y + 5));
    }
}

TEST(RasterPaste, NegativeSourceCornerShiftsTheDestination) {
    const RasterImage source = MakePatternImage(6, 6);
    RasterImage target = MakeSolidImage(10, 10, 0);
    // Source column -2 would land on destination column 1: column 0 lands on 3.
    ASSERT_TRUE(target.Paste(source, -2, -1, 3, 2, 1, 1, RASTER_PASTE_COPY, 1.0));
    for (uint32_t y = 0; y < 10; ++y) {
        for (uint32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x <= 6 && y >= 2 && y <= 4;
            EXPECT_EQ(PictureColor(target, x, y), inside ? PictureColor(source, x - 3, y - 2) : 0u) << x << "," << y;
        }
    }
}

TEST(RasterPaste, BothNegativeCornersCombineInOrder) {
    const RasterImage source = MakePatternImage(20, 20);
    RasterImage target = MakeSolidImage(8, 8, 0);
    // dstX -3 moves srcLeft from -5 to -2, which then moves dstX to 2.
    ASSERT_TRUE(target.Paste(source, -5, 0, 19, 19, -3, 0, RASTER_PASTE_COPY, 1.0));
    for (uint32_t x = 0; x < 8; ++x) {
        EXPECT_EQ(PictureColor(target, x, 0), x < 2 ? 0u : PictureColor(source, x - 2, 0)) << x;
    }
}

TEST(RasterPaste, ClipsAtTheDestinationsRightAndBottomEdges) {
    const RasterImage source = MakePatternImage(9, 9);
    RasterImage target = MakeSolidImage(7, 5, 0);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 4, 3, RASTER_PASTE_COPY, 1.0));
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            const bool inside = x >= 4 && y >= 3;
            EXPECT_EQ(PictureColor(target, x, y), inside ? PictureColor(source, x - 4, y - 3) : 0u) << x << "," << y;
        }
    }
}

TEST(RasterPaste, RightOrBottomOutsideTheSourceMeansToItsEdge) {
    const RasterImage source = MakePatternImage(5, 4);
    RasterImage viaNegative = MakeSolidImage(8, 8, 0);
    RasterImage viaLarge = MakeSolidImage(8, 8, 0);
    RasterImage whole = MakeSolidImage(8, 8, 0);
    ASSERT_TRUE(viaNegative.Paste(source, 1, 1, -1, -7, 0, 0, RASTER_PASTE_COPY, 1.0));
    ASSERT_TRUE(viaLarge.Paste(source, 1, 1, 500, 500, 0, 0, RASTER_PASTE_COPY, 1.0));
    ASSERT_TRUE(whole.Paste(source, 1, 1, 4, 3, 0, 0, RASTER_PASTE_COPY, 1.0));
    EXPECT_TRUE(SamePixels(viaNegative, whole));
    EXPECT_TRUE(SamePixels(viaLarge, whole));
    EXPECT_EQ(PictureColor(whole, 3, 2), PictureColor(source, 4, 3));
    EXPECT_EQ(PictureColor(whole, 4, 2), 0u);
}

TEST(RasterPaste, NothingToPasteSucceedsWithoutChanges) {
    const RasterImage source = MakePatternImage(6, 6);
    RasterImage target = MakeSolidImage(5, 5, RasterRgb(1, 2, 3));
    const RasterImage before(target);
    EXPECT_TRUE(target.PasteAll(source, 0, 0, 5, 0, RASTER_PASTE_COPY, 1.0));    // right of it
    EXPECT_TRUE(target.PasteAll(source, 0, 0, 0, 5, RASTER_PASTE_COPY, 1.0));    // below it
    EXPECT_TRUE(target.PasteAll(source, 0, 0, -6, 0, RASTER_PASTE_COPY, 1.0));   // left of it
    EXPECT_TRUE(target.PasteAll(source, 0, 0, 0, -6, RASTER_PASTE_COPY, 1.0));   // above it
    EXPECT_TRUE(target.PasteAll(source, 6, 0, 0, 0, RASTER_PASTE_COPY, 1.0));    // start beyond the source
    EXPECT_TRUE(target.Paste(source, 3, 3, 2, 5, 0, 0, RASTER_PASTE_COPY, 1.0)); // right before left
    EXPECT_TRUE(target.Paste(source, 0, 4, 5, 3, 0, 0, RASTER_PASTE_COPY, 1.0)); // bottom above top
    EXPECT_TRUE(target.PasteAll(source, 0, 0, INT32_MIN, INT32_MAX, RASTER_PASTE_ALPHA_BLEND, 1.0));
    EXPECT_TRUE(SamePixels(target, before));
}

TEST(RasterPaste, RejectsInvalidImagesOtherDepthsAndUnknownModes) {
    const RasterImage source = MakePatternImage(4, 4);
    RasterImage target = MakeSolidImage(4, 4, 0);
    const RasterImage before(target);
    RasterImage empty;
    EXPECT_FALSE(target.PasteAll(empty, 0, 0, 0, 0, RASTER_PASTE_COPY, 1.0));
    EXPECT_FALSE(empty.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_COPY, 1.0));
    const RasterImage palette = MakePatternImage(4, 4, 8);
    EXPECT_FALSE(target.PasteAll(palette, 0, 0, 0, 0, RASTER_PASTE_COPY, 1.0));
    for (uint32_t mode : {0u, 2u, 3u, 5u, 6u, 7u, 99u}) {
        EXPECT_FALSE(target.PasteAll(source, 0, 0, 0, 0, mode, 1.0)) << mode;
        // Unknown even when nothing would be pasted.
        EXPECT_FALSE(target.PasteAll(source, 0, 0, 100, 100, mode, 1.0)) << mode;
    }
    EXPECT_TRUE(SamePixels(target, before));
}

TEST(RasterPaste, PastingAnImageIntoItselfReadsTheOriginalPixels) {
    RasterImage image = MakePatternImage(23, 11);
    AddPatternAlpha(image);
    const RasterImage original(image);
    RasterImage expected(image);
    ASSERT_TRUE(expected.PasteAll(original, 0, 0, 3, 2, RASTER_PASTE_COPY, 1.0));
    ASSERT_TRUE(image.PasteAll(image, 0, 0, 3, 2, RASTER_PASTE_COPY, 1.0));
    EXPECT_TRUE(SamePixels(image, expected));
}

// ---- paste: copy mode and alpha -------------------------------------------------------------

TEST(RasterPaste, CopyModeCopiesAlphaOnlyWhenBothHaveAPlane) {
    RasterImage source = MakePatternImage(6, 4);
    AddPatternAlpha(source);
    RasterImage target = MakeSolidImage(6, 4, 0);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_COPY, 1.0));
    EXPECT_FALSE(target.HasAlpha());  // a plane is not made up

    ASSERT_TRUE(target.CreateAlpha());
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_COPY, 1.0));
    EXPECT_TRUE(SamePixels(target, source));
}

TEST(RasterPaste, CopyModeWithZeroOpacityMakesTheCoveredDestinationOpaque) {
    const RasterImage source = MakePatternImage(3, 2);
    RasterImage target = MakeSolidImage(6, 4, 0);
    ASSERT_TRUE(target.CreateAlpha());
    target.SetAlphaLevel(40);

    ASSERT_TRUE(target.PasteAll(source, 0, 0, 1, 1, RASTER_PASTE_COPY, 0.5));
    EXPECT_EQ(*target.AlphaPointer(1, 2), 40);  // other opacities leave the alpha alone

    ASSERT_TRUE(target.PasteAll(source, 0, 0, 1, 1, RASTER_PASTE_COPY, 0.0));
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
            const uint32_t pictureY = 3 - y;
            const bool covered = x >= 1 && x < 4 && pictureY >= 1 && pictureY < 3;
            EXPECT_EQ(*target.AlphaPointer(x, y), covered ? 255 : 40) << x << "," << y;
        }
    }
    EXPECT_EQ(PictureColor(target, 1, 1), PictureColor(source, 0, 0));
}

TEST(RasterPaste, AlphaBlendWithoutAnyPlaneIsACopy) {
    const RasterImage source = MakePatternImage(17, 9);
    RasterImage blended = MakeSolidImage(20, 12, RasterRgb(50, 60, 70));
    RasterImage copied(blended);
    ASSERT_TRUE(blended.PasteAll(source, 2, 1, 3, -2, RASTER_PASTE_ALPHA_BLEND, 0.25));
    ASSERT_TRUE(copied.PasteAll(source, 2, 1, 3, -2, RASTER_PASTE_COPY, 0.25));
    EXPECT_TRUE(SamePixels(blended, copied));
}

// ---- paste: alpha blend ---------------------------------------------------------------------

TEST(RasterPaste, BlendWithBothPlanesFollowsTheRulesForTransparentAndOpaquePixels) {
    RasterImage source = MakeSolidImage(4, 1, RasterRgb(200, 100, 50));
    RasterImage target = MakeSolidImage(4, 1, RasterRgb(10, 20, 30));
    ASSERT_TRUE(source.CreateAlpha());
    ASSERT_TRUE(target.CreateAlpha());
    // x = 0: transparent destination takes source and source alpha.
    SetAlpha(source, 0, 0, 77);
    SetAlpha(target, 0, 0, 0);
    // x = 1: transparent source over opaque destination changes nothing.
    SetAlpha(source, 1, 0, 0);
    SetAlpha(target, 1, 0, 255);
    // x = 2: opaque source replaces.
    SetAlpha(source, 2, 0, 255);
    SetAlpha(target, 2, 0, 30);
    // x = 3: a real blend; the destination keeps the larger alpha.
    SetAlpha(source, 3, 0, 100);
    SetAlpha(target, 3, 0, 180);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_ALPHA_BLEND, 0.0));  // opacity ignored

    EXPECT_EQ(PictureColor(target, 0, 0), RasterRgb(200, 100, 50));
    EXPECT_EQ(*target.AlphaPointer(0, 0), 77);
    EXPECT_EQ(PictureColor(target, 1, 0), RasterRgb(10, 20, 30));
    EXPECT_EQ(*target.AlphaPointer(1, 0), 255);
    EXPECT_EQ(PictureColor(target, 2, 0), RasterRgb(200, 100, 50));
    EXPECT_EQ(*target.AlphaPointer(2, 0), 255);
    // red: T[10][155] + T[200][100] = 6 + 78
    EXPECT_EQ(PictureColor(target, 3, 0), RasterRgb(84, Blend(100, 20, 100), Blend(50, 30, 100)));
    EXPECT_EQ(*target.AlphaPointer(3, 0), 180);
}

TEST(RasterPaste, BlendWithOnlyTheSourcePlaneWeighsBySourceAlpha) {
    RasterImage source = MakeSolidImage(3, 1, RasterRgb(255, 128, 0));
    ASSERT_TRUE(source.CreateAlpha());
    SetAlpha(source, 0, 0, 0);
    SetAlpha(source, 1, 0, 128);
    SetAlpha(source, 2, 0, 255);
    RasterImage target = MakeSolidImage(3, 1, RasterRgb(0, 64, 255));
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_ALPHA_BLEND, 1.0));
    EXPECT_FALSE(target.HasAlpha());
    EXPECT_EQ(PictureColor(target, 0, 0), RasterRgb(0, 64, 255));
    // red T[0][127] + T[255][128] = 128; green T[64][127] + T[128][128] = 32 + 64; blue 127 + 0
    EXPECT_EQ(PictureColor(target, 1, 0), RasterRgb(128, 96, 127));
    EXPECT_EQ(PictureColor(target, 2, 0), RasterRgb(255, 128, 0));
}

TEST(RasterPaste, BlendWithOnlyTheDestinationPlaneShowsTheSourceWhereItIsTransparent) {
    const RasterImage source = MakeSolidImage(3, 1, RasterRgb(200, 0, 0));
    RasterImage target = MakeSolidImage(3, 1, RasterRgb(100, 0, 0));
    ASSERT_TRUE(target.CreateAlpha());
    SetAlpha(target, 0, 0, 0);
    SetAlpha(target, 1, 0, 128);
    SetAlpha(target, 2, 0, 255);
    ASSERT_TRUE(target.PasteAll(source, 0, 0, 0, 0, RASTER_PASTE_ALPHA_BLEND, 1.0));
    EXPECT_EQ(PictureColor(target, 0, 0), RasterRgb(200, 0, 0));
    EXPECT_EQ(PictureColor(target, 1, 0), RasterRgb(150, 0, 0));  // T[200][127] + T[100][128] = 100 + 50
    EXPECT_EQ(PictureColor(target, 2, 0), RasterRgb(100, 0, 0));
    EXPECT_EQ(*target.AlphaPointer(0, 0), 0);  // the destination alpha is unchanged
    EXPECT_EQ(*target.AlphaPointer(1, 0), 128);
}

// Every pixel of a wide blend against a per-pixel reference, with alpha runs that exercise
// whole kept, whole replaced and mixed groups, offsets and row tails.
class RasterPasteBlendSweep : public ::testing::TestWithParam<int> {};

TEST_P(RasterPasteBlendSweep, MatchesThePerPixelRules) {
    const int planes = GetParam();  // 1 source, 2 destination, 3 both
    for (uint32_t width : {1u, 7u, 8u, 9u, 31u, 70u}) {
        RasterImage source = MakePatternImage(width + 3, 5);
        RasterImage target = MakePatternImage(width + 1, 6);
        target.GrayAverage();  // different colours from the source
        if (planes & 1) AddRunAlpha(source, width);
        if (planes & 2) AddRunAlpha(target, width * 3 + 1);
        const RasterImage before(target);
        const int32_t dstX = 1;
        const int32_t dstY = 1;
        const int32_t srcLeft = 2;
        ASSERT_TRUE(target.Paste(source, srcLeft, 0, -1, -1, dstX, dstY, RASTER_PASTE_ALPHA_BLEND, 1.0));

        for (uint32_t py = 0; py < 6; ++py) {
            for (uint32_t px = 0; px <= width; ++px) {
                const uint32_t y = 5 - py;  // stored rows
                const bool covered = px >= 1 && py >= 1;
                const Bgr got = PixelAt(target, px, y);
                const Bgr old = PixelAt(before, px, y);
                Bgr want = old;
                uint32_t wantAlpha = (planes & 2) ? *before.AlphaPointer(px, y) : 0;
                if (covered) {
                    const uint32_t sx = px - 1 + srcLeft;
                    const uint32_t sy = 4 - (py - 1);
                    const Bgr s = PixelAt(source, sx, sy);
                    const uint32_t sa = (planes & 1) ? *source.AlphaPointer(sx, sy) : 255;
                    const uint32_t da = (planes & 2) ? *before.AlphaPointer(px, y) : 255;
                    uint32_t w = sa;
                    if (planes == 2) w = 255 - da;
                    if (planes == 3 && da == 0) w = 255;
                    want = Bgr{Blend(s.b, old.b, w), Blend(s.g, old.g, w), Blend(s.r, old.r, w)};
                    if (planes == 3) wantAlpha = std::max(da, sa);
                }
                ASSERT_EQ(got.b, want.b) << "width " << width << " at " << px << "," << py;
                ASSERT_EQ(got.g, want.g) << "width " << width << " at " << px << "," << py;
                ASSERT_EQ(got.r, want.r) << "width " << width << " at " << px << "," << py;
                if (planes & 2) {
                    ASSERT_EQ(*target.AlphaPointer(px, y), wantAlpha) << px << "," << py;
                }
            }
        }
        EXPECT_EQ(target.HasAlpha(), (planes & 2) != 0);
    }
}

INSTANTIATE_TEST_SUITE_P(AlphaPlanes, RasterPasteBlendSweep, ::testing::Values(1, 2, 3));

// ---- flatten ---------------------------------------------------------------------------------

TEST(RasterFlatten, BlendsOntoTheBackgroundByAlpha) {
    RasterImage image = MakeSolidImage(4, 1, 0);
    ASSERT_TRUE(image.CreateAlpha());
    SetAlpha(image, 0, 0, 0);
    SetAlpha(image, 1, 0, 255);
    SetAlpha(image, 2, 0, 128);
    SetAlpha(image, 3, 0, 1);
    image.SetPixelColor(1, 0, RasterRgbQuad{1, 2, 3, 0});
    ASSERT_TRUE(image.FlattenAlpha(0xFFFFFF));
    EXPECT_EQ(PictureColor(image, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PictureColor(image, 1, 0), RasterRgb(3, 2, 1));
    EXPECT_EQ(PictureColor(image, 2, 0), RasterRgb(127, 127, 127));  // T[0][128] + T[255][127]
    EXPECT_EQ(PictureColor(image, 3, 0), RasterRgb(254, 254, 254));
    EXPECT_TRUE(image.HasAlpha());  // the plane is kept
    EXPECT_EQ(*image.AlphaPointer(2, 0), 128);
}

TEST(RasterFlatten, UsesEachChannelOfTheBackgroundColour) {
    for (uint32_t width : {1u, 8u, 13u, 64u}) {
        RasterImage image = MakePatternImage(width, 4);
        AddRunAlpha(image, width);
        const RasterImage before(image);
        const uint32_t background = RasterRgb(250, 40, 7);
        ASSERT_TRUE(image.FlattenAlpha(background));
        for (uint32_t y = 0; y < 4; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const Bgr old = PixelAt(before, x, y);
                const uint32_t a = *before.AlphaPointer(x, y);
                const Bgr got = PixelAt(image, x, y);
                ASSERT_EQ(got.b, Blend(7, old.b, 255 - a)) << x << "," << y;
                ASSERT_EQ(got.g, Blend(40, old.g, 255 - a)) << x << "," << y;
                ASSERT_EQ(got.r, Blend(250, old.r, 255 - a)) << x << "," << y;
            }
        }
    }
}

TEST(RasterFlatten, NeedsA24BitImageWithAlpha) {
    RasterImage noAlpha = MakePatternImage(3, 3);
    EXPECT_FALSE(noAlpha.FlattenAlpha(0xFFFFFF));
    RasterImage palette = MakePatternImage(3, 3, 8);
    ASSERT_TRUE(palette.CreateAlpha());
    EXPECT_FALSE(palette.FlattenAlpha(0xFFFFFF));
    RasterImage empty;
    EXPECT_FALSE(empty.FlattenAlpha(0xFFFFFF));
}

// ---- channels --------------------------------------------------------------------------------

TEST(RasterChannels, ExtractsOneBytePerPixelBottomRowFirst) {
    RasterImage image = MakeSolidImage(2, 2, 0);
    image.SetPixelColor(0, 0, RasterRgbQuad{1, 2, 3, 0});
    image.SetPixelColor(1, 0, RasterRgbQuad{4, 5, 6, 0});
    image.SetPixelColor(0, 1, RasterRgbQuad{7, 8, 9, 0});
    image.SetPixelColor(1, 1, RasterRgbQuad{10, 11, 12, 0});
    const struct {
        int kind;
        uint8_t expected[4];
    } cases[] = {{RASTER_CHANNEL_RED, {3, 6, 9, 12}},  {RASTER_CHANNEL_GREEN, {2, 5, 8, 11}},
                 {RASTER_CHANNEL_BLUE, {1, 4, 7, 10}}, {0, {3, 6, 9, 12}},
                 {99, {3, 6, 9, 12}}};
    for (const auto& c : cases) {
        const Plane plane(image.ExtractChannel(c.kind));
        ASSERT_NE(plane, nullptr);
        EXPECT_EQ(std::memcmp(plane.get(), c.expected, 4), 0) << "kind " << c.kind;
    }
}

TEST(RasterChannels, AlphaKindCopiesThePlaneAndSkipsRowPadding) {
    RasterImage image = MakePatternImage(5, 3);  // 5 pixels: one padding byte per row
    const Plane opaque(image.ExtractChannel(RASTER_CHANNEL_ALPHA));
    ASSERT_NE(opaque, nullptr);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(opaque.get()[i], 255);

    AddPatternAlpha(image);
    const Plane alpha(image.ExtractChannel(RASTER_CHANNEL_ALPHA));
    EXPECT_EQ(std::memcmp(alpha.get(), image.GetAlphaPlane(), 15), 0);
    const Plane red(image.ExtractChannel(RASTER_CHANNEL_RED));
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(red.get()[y * 5 + x], image.PixelPointer(x, y)[2]);
    }
    const RasterImage palette = MakePatternImage(5, 3, 8);
    EXPECT_EQ(palette.ExtractChannel(RASTER_CHANNEL_RED), nullptr);
    EXPECT_EQ(RasterImage().ExtractChannel(RASTER_CHANNEL_RED), nullptr);
}

// ---- region copy -----------------------------------------------------------------------------

TEST(RasterRegion, CopiesAWindowIntoAValidDestination) {
    RasterImage atlas = MakePatternImage(480, 240);
    AddPatternAlpha(atlas);
    RasterImage icon = MakeSolidImage(480, 48, 0);
    ASSERT_TRUE(icon.CreateAlpha());
    ASSERT_TRUE(atlas.CopyRegion(0, 192, icon));
    for (uint32_t y = 0; y < 48; ++y) {
        for (uint32_t x = 0; x < 480; x += 7) {
            ASSERT_EQ(PictureColor(icon, x, y), PictureColor(atlas, x, 192 + y)) << x << "," << y;
            ASSERT_EQ(*icon.AlphaPointer(x, 47 - y), *atlas.AlphaPointer(x, 47 - y)) << x << "," << y;
        }
    }
}

TEST(RasterRegion, ValidDestinationKeepsWhatTheSourceDoesNotCover) {
    const RasterImage source = MakePatternImage(10, 10);
    RasterImage target = MakeSolidImage(6, 6, RasterRgb(1, 1, 1));
    ASSERT_TRUE(source.CopyRegion(7, 8, target));
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
            const bool covered = x < 3 && y < 2;
            EXPECT_EQ(PictureColor(target, x, y), covered ? PictureColor(source, 7 + x, 8 + y) : RasterRgb(1, 1, 1));
        }
    }
}

TEST(RasterRegion, CreatesTheDestinationFromTheCornerToTheEnd) {
    RasterImage source = MakePatternImage(12, 9);
    AddPatternAlpha(source);
    RasterImage region;
    ASSERT_TRUE(source.CopyRegion(5, 2, region));
    ASSERT_EQ(region.GetWidth(), 7u);
    ASSERT_EQ(region.GetHeight(), 7u);
    ASSERT_TRUE(region.HasAlpha());
    for (uint32_t y = 0; y < 7; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            EXPECT_EQ(PictureColor(region, x, y), PictureColor(source, 5 + x, 2 + y));
            EXPECT_EQ(*region.AlphaPointer(x, 6 - y), *source.AlphaPointer(5 + x, 8 - (2 + y)));
        }
    }
}

TEST(RasterRegion, WindowBeforeThePictureIsBlackNotUninitialised) {
    const RasterImage source = MakePatternImage(4, 3);
    RasterImage region;
    ASSERT_TRUE(source.CopyRegion(-2, -1, region));
    ASSERT_EQ(region.GetWidth(), 6u);
    ASSERT_EQ(region.GetHeight(), 4u);
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 6; ++x) {
            const bool covered = x >= 2 && y >= 1;
            EXPECT_EQ(PictureColor(region, x, y), covered ? PictureColor(source, x - 2, y - 1) : 0u);
        }
    }
}

TEST(RasterRegion, RejectsBadDepthsAndEmptyWindows) {
    const RasterImage source = MakePatternImage(8, 8);
    RasterImage palette = MakePatternImage(4, 4, 8);
    EXPECT_FALSE(source.CopyRegion(0, 0, palette));
    RasterImage fresh;
    EXPECT_FALSE(palette.CopyRegion(0, 0, fresh));

    RasterImage region;
    EXPECT_FALSE(source.CopyRegion(8, 0, region));
    EXPECT_FALSE(region.IsValid());
    EXPECT_STREQ(region.LastErrorText(), "RasterImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(source.CopyRegion(0, 20, region));
    EXPECT_FALSE(source.CopyRegion(INT32_MIN, 0, region));
    EXPECT_FALSE(region.IsValid());
}

TEST(RasterRegion, CopyIntoItselfMovesTheWindowToTheCorner) {
    RasterImage image = MakePatternImage(9, 7);
    const RasterImage original(image);
    ASSERT_TRUE(image.CopyRegion(2, 3, image));
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 7; ++x) EXPECT_EQ(PictureColor(image, x, y), PictureColor(original, x + 2, y + 3));
    }
}
