// Life cycle, alpha plane, resolution and pixel access of RasterImage.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "image/RasterImage.h"
#include "TestSupport.h"

using testsupport::AddPatternAlpha;
using testsupport::MakePatternImage;
using testsupport::PictureColor;
using testsupport::SamePixels;

namespace {

RasterRgbQuad Bgra(uint8_t b, uint8_t g, uint8_t r, uint8_t a = 0) {
    return RasterRgbQuad{b, g, r, a};
}

bool SameColor(RasterRgbQuad a, RasterRgbQuad b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

// Header as stored at the start of the block.
RasterBitmapInfoHeader BlockHeader(const RasterImage& image) {
    RasterBitmapInfoHeader header;
    std::memcpy(&header, image.GetBlock(), sizeof(header));
    return header;
}

}  // namespace

TEST(RasterImageLifecycle, NewImageIsEmptyWithDefaultInformation) {
    RasterImage image;
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_FALSE(image.IsTransparent());
    EXPECT_EQ(image.GetType(), 0u);
    EXPECT_FLOAT_EQ(image.GetJpegQuality(), 90.0f);
    EXPECT_EQ(image.GetXDpi(), 96);
    EXPECT_EQ(image.GetYDpi(), 96);
    EXPECT_EQ(image.GetAlphaMax(), 255);
    // A later Create keeps the resolution of a new image.
    ASSERT_NE(image.Create(3, 2, 24, 0), nullptr);
    EXPECT_EQ(BlockHeader(image).biXPelsPerMeter, 3780);
    EXPECT_EQ(BlockHeader(image).biYPelsPerMeter, 3780);
}

TEST(RasterImageLifecycle, CopyIsIndependentIncludingAlphaAndInformation) {
    RasterImage original = MakePatternImage(13, 7);
    AddPatternAlpha(original);
    original.SetXDpi(300);
    original.SetTransparentIndex(5);
    original.SetType(RASTER_FORMAT_PNG);

    RasterImage copy;
    ASSERT_TRUE(copy.Copy(original));
    EXPECT_TRUE(SamePixels(copy, original));
    EXPECT_NE(copy.GetBits(), original.GetBits());
    EXPECT_NE(copy.GetAlphaPlane(), original.GetAlphaPlane());
    EXPECT_EQ(copy.GetXDpi(), 300);
    EXPECT_EQ(copy.GetTransparentIndex(), 5);
    EXPECT_EQ(copy.GetType(), uint32_t(RASTER_FORMAT_PNG));
    EXPECT_EQ(BlockHeader(copy).biXPelsPerMeter, 11811);

    const RasterRgbQuad before = original.GetPixelColor(4, 3, true);
    copy.SetPixelColor(4, 3, Bgra(1, 2, 3, 4), true);
    EXPECT_TRUE(SameColor(original.GetPixelColor(4, 3, true), before));
    EXPECT_TRUE(SameColor(copy.GetPixelColor(4, 3, true), Bgra(1, 2, 3, 4)));
}

TEST(RasterImageLifecycle, CopyKeepsPaletteAndIndices) {
    RasterImage original = MakePatternImage(9, 5, 4);
    RasterRgbQuad* palette = original.GetPalette();
    ASSERT_NE(palette, nullptr);
    palette[3] = Bgra(10, 20, 30);

    const RasterImage copy(original);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.GetBpp(), 4u);
    EXPECT_TRUE(SameColor(copy.GetPalette()[3], Bgra(10, 20, 30)));
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 9; ++x) EXPECT_EQ(copy.GetPixelIndex(x, y), original.GetPixelIndex(x, y));
    }
}

TEST(RasterImageLifecycle, AssignmentHandlesSelfAndReplacesOldContent) {
    RasterImage image = MakePatternImage(6, 4);
    const RasterImage reference(image);
    RasterImage& alias = image;
    image = alias;
    EXPECT_TRUE(SamePixels(image, reference));

    RasterImage target = MakePatternImage(20, 20);
    AddPatternAlpha(target);
    target = reference;
    EXPECT_TRUE(SamePixels(target, reference));
    EXPECT_FALSE(target.HasAlpha());
}

TEST(RasterImageLifecycle, TakeOverMovesStorageAndEmptiesTheSource) {
    RasterImage source = MakePatternImage(8, 3);
    AddPatternAlpha(source);
    source.SetYDpi(200);
    const RasterImage reference(source);
    const uint8_t* bits = source.GetBits();
    const uint8_t* alpha = source.GetAlphaPlane();

    RasterImage target = MakePatternImage(2, 2);
    ASSERT_TRUE(target.TakeOver(source));
    EXPECT_EQ(target.GetBits(), bits);
    EXPECT_EQ(target.GetAlphaPlane(), alpha);
    EXPECT_EQ(target.GetYDpi(), 200);
    EXPECT_TRUE(SamePixels(target, reference));

    EXPECT_FALSE(source.IsValid());
    EXPECT_FALSE(source.HasAlpha());
    EXPECT_EQ(source.GetWidth(), 0u);
    // The emptied source must not claim a transparent palette index, and can be used again.
    EXPECT_FALSE(source.IsTransparent());
    ASSERT_NE(source.Create(4, 4, 24, 0), nullptr);
    EXPECT_NE(source.GetBits(), bits);
}

TEST(RasterImageLifecycle, DestroyFreesStorageButKeepsInformation) {
    RasterImage image = MakePatternImage(5, 5);
    AddPatternAlpha(image);
    image.SetXDpi(150);
    ASSERT_TRUE(image.Destroy());
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(image.GetXDpi(), 150);
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_TRUE(image.Destroy());  // twice is harmless
}

TEST(RasterImageLifecycle, BorrowedViewSharesStorageAndNeverFreesIt) {
    RasterImage owner = MakePatternImage(7, 4);
    AddPatternAlpha(owner);
    {
        RasterImage view;
        view.MakeBorrowedView(owner);
        EXPECT_TRUE(view.IsBorrowed());
        EXPECT_EQ(view.GetBits(), owner.GetBits());
        EXPECT_EQ(view.GetAlphaPlane(), owner.GetAlphaPlane());
        EXPECT_FALSE(view.Destroy());
        EXPECT_FALSE(view.ReleaseFrames());
        EXPECT_TRUE(view.IsValid());

        // A copy of a borrowed view is another view of the same storage.
        RasterImage second(view);
        EXPECT_TRUE(second.IsBorrowed());
        EXPECT_EQ(second.GetBits(), owner.GetBits());

        // A borrowed image cannot take over other storage.
        RasterImage other = MakePatternImage(2, 2);
        EXPECT_FALSE(view.TakeOver(other));
        EXPECT_TRUE(other.IsValid());
        EXPECT_EQ(view.GetBits(), owner.GetBits());
    }
    // The views are gone; the owner's storage is intact (the sanitizer build checks the frees).
    EXPECT_TRUE(owner.IsValid());
    EXPECT_TRUE(SamePixels(owner, RasterImage(owner)));
}

TEST(RasterImageLifecycle, FramesAreOwnedAndReleased) {
    RasterImage image = MakePatternImage(2, 2);
    EXPECT_TRUE(image.AddFrame(new RasterImage(MakePatternImage(3, 3))));
    EXPECT_FALSE(image.AddFrame(nullptr));
    EXPECT_EQ(image.GetFrameCount(), 1u);
    EXPECT_EQ(image.GetFrame(0)->GetWidth(), 3u);
    EXPECT_EQ(image.GetFrame(1), nullptr);
    EXPECT_TRUE(image.ReleaseFrames());
    EXPECT_EQ(image.GetFrameCount(), 0u);

    RasterImage source = MakePatternImage(2, 2);
    source.AddFrame(new RasterImage(MakePatternImage(4, 4)));
    RasterImage target;
    ASSERT_TRUE(target.TakeOver(source, true));
    EXPECT_EQ(target.GetFrameCount(), 1u);
    EXPECT_EQ(source.GetFrameCount(), 0u);
}

// ---- alpha -------------------------------------------------------------------------------

TEST(RasterImageAlpha, CreateAlphaIsOpaqueAndKeepsAnExistingPlane) {
    RasterImage empty;
    EXPECT_FALSE(empty.CreateAlpha());

    RasterImage image = MakePatternImage(5, 3);
    EXPECT_EQ(image.AlphaPointer(0, 0), nullptr);
    ASSERT_TRUE(image.CreateAlpha());
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 5; ++x) EXPECT_EQ(*image.AlphaPointer(x, y), 255);
    }
    *image.AlphaPointer(2, 1) = 17;
    ASSERT_TRUE(image.CreateAlpha());
    EXPECT_EQ(*image.AlphaPointer(2, 1), 17);
    EXPECT_EQ(image.AlphaPointer(2, 1), image.GetAlphaPlane() + 1 * 5 + 2);

    image.SetAlphaLevel(9);
    EXPECT_EQ(*image.AlphaPointer(4, 2), 9);
    image.DeleteAlpha();
    EXPECT_FALSE(image.HasAlpha());
    image.SetAlphaLevel(9);  // no plane: nothing happens
    EXPECT_FALSE(image.HasAlpha());
}

TEST(RasterImageAlpha, CopyAlphaNeedsASourcePlaneOfTheSameSize) {
    RasterImage source = MakePatternImage(6, 4);
    RasterImage target = MakePatternImage(6, 4);
    EXPECT_FALSE(target.CopyAlpha(source));  // source has no plane
    AddPatternAlpha(source);

    RasterImage other = MakePatternImage(4, 6);
    EXPECT_FALSE(other.CopyAlpha(source));
    EXPECT_FALSE(other.HasAlpha());

    ASSERT_TRUE(target.CopyAlpha(source));
    EXPECT_EQ(std::memcmp(target.GetAlphaPlane(), source.GetAlphaPlane(), 24), 0);
    EXPECT_NE(target.GetAlphaPlane(), source.GetAlphaPlane());
    EXPECT_TRUE(source.CopyAlpha(source));
}

TEST(RasterImageAlpha, TransparentIndexOfAPaletteImageBecomesAlphaZero) {
    RasterImage image = MakePatternImage(11, 6, 8);
    EXPECT_FALSE(image.AlphaFromTransparentIndex());  // no transparent index
    const uint8_t key = image.GetPixelIndex(3, 2);
    image.SetTransparentIndex(key);
    ASSERT_TRUE(image.CreateAlpha());
    // A pixel that is already transparent stays so.
    const uint32_t keptX = 0;
    const uint32_t keptY = 0;
    ASSERT_NE(image.GetPixelIndex(keptX, keptY), key);
    *image.AlphaPointer(keptX, keptY) = 0;

    ASSERT_TRUE(image.AlphaFromTransparentIndex());
    for (uint32_t y = 0; y < 6; ++y) {
        for (uint32_t x = 0; x < 11; ++x) {
            const bool transparent = image.GetPixelIndex(x, y) == key || (x == keptX && y == keptY);
            EXPECT_EQ(*image.AlphaPointer(x, y), transparent ? 0 : 255) << x << "," << y;
        }
    }
}

TEST(RasterImageAlpha, TransparentIndexOfALowDepthImageUsesTheIndices) {
    RasterImage image;
    ASSERT_NE(image.Create(10, 2, 1, 0), nullptr);
    for (uint32_t x = 0; x < 10; ++x) {
        image.SetPixelIndex(x, 0, uint8_t(x & 1));
        image.SetPixelIndex(x, 1, 1);
    }
    image.SetTransparentIndex(1);
    ASSERT_TRUE(image.AlphaFromTransparentIndex());
    for (uint32_t x = 0; x < 10; ++x) {
        EXPECT_EQ(*image.AlphaPointer(x, 0), (x & 1) ? 0 : 255);
        EXPECT_EQ(*image.AlphaPointer(x, 1), 0);
    }
}

TEST(RasterImageAlpha, TransparentColourOfA24BitImageBecomesAlphaZero) {
    RasterImage image = testsupport::MakeSolidImage(4, 3, RasterRgb(10, 20, 30));
    image.SetPixelColor(1, 1, Bgra(30, 20, 11));  // differs in red only
    image.SetPixelColor(2, 0, Bgra(99, 99, 99));
    image.SetTransparentColor(Bgra(30, 20, 10));
    image.SetTransparentIndex(0);
    ASSERT_TRUE(image.AlphaFromTransparentIndex());
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const bool opaque = (x == 1 && y == 1) || (x == 2 && y == 0);
            EXPECT_EQ(*image.AlphaPointer(x, y), opaque ? 255 : 0) << x << "," << y;
        }
    }
    RasterImage empty;
    empty.SetTransparentIndex(0);
    EXPECT_FALSE(empty.AlphaFromTransparentIndex());
}

// ---- resolution ----------------------------------------------------------------------------

TEST(RasterImageResolution, DpiSetsPixelsPerMetreInHeaderAndBlock) {
    RasterImage image = MakePatternImage(3, 3);
    image.SetXDpi(72);
    image.SetYDpi(300);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 2835);  // 2834.6 rounds up
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 11811);
    EXPECT_EQ(BlockHeader(image).biXPelsPerMeter, 2835);
    EXPECT_EQ(BlockHeader(image).biYPelsPerMeter, 11811);

    image.SetXDpi(0);
    image.SetYDpi(-40);
    EXPECT_EQ(image.GetXDpi(), 96);
    EXPECT_EQ(image.GetYDpi(), 96);
    EXPECT_EQ(BlockHeader(image).biXPelsPerMeter, 3780);
    EXPECT_EQ(BlockHeader(image).biYPelsPerMeter, 3780);
}

TEST(RasterImageResolution, AbsurdDpiDoesNotOverflowTheHeader) {
    RasterImage image = MakePatternImage(2, 2);
    image.SetXDpi(INT32_MAX);
    EXPECT_EQ(image.GetXDpi(), INT32_MAX);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, INT32_MAX);
    image.SetYDpi(1);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 39);
}

// ---- pixel access --------------------------------------------------------------------------

TEST(RasterImagePixels, StoredRowZeroIsTheBottomOfThePicture) {
    RasterImage image = testsupport::MakeSolidImage(5, 4, 0);
    EXPECT_EQ(image.PixelPointer(0, 0), image.GetBits());
    uint8_t* p = image.PixelPointer(0, 0);
    p[0] = 0x30;  // blue
    p[1] = 0x20;  // green
    p[2] = 0x10;  // red
    EXPECT_EQ(PictureColor(image, 0, 3), RasterRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(PictureColor(image, 0, 0), 0u);
    // Rows are padded: 5 pixels take 16 bytes.
    EXPECT_EQ(image.PixelPointer(2, 3), image.GetBits() + 3 * 16 + 6);
}

TEST(RasterImagePixels, ColoursOf24BitPixelsRoundTripWithAndWithoutAlpha) {
    RasterImage image = testsupport::MakeSolidImage(4, 4, 0);
    image.SetPixelColor(3, 2, Bgra(1, 2, 3, 4), true);  // no plane: alpha ignored
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 2, true), Bgra(1, 2, 3, 0)));
    const uint8_t* p = image.PixelPointer(3, 2);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 2);
    EXPECT_EQ(p[2], 3);

    ASSERT_TRUE(image.CreateAlpha());
    image.SetPixelColor(3, 2, Bgra(5, 6, 7, 8), false);
    EXPECT_EQ(*image.AlphaPointer(3, 2), 255);
    image.SetPixelColor(3, 2, Bgra(5, 6, 7, 8), true);
    EXPECT_EQ(*image.AlphaPointer(3, 2), 8);
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 2, true), Bgra(5, 6, 7, 8)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 2, false), Bgra(5, 6, 7, 0)));
}

TEST(RasterImagePixels, OutOfRangeCoordinatesAreIgnored) {
    RasterImage image = testsupport::MakeSolidImage(3, 2, RasterRgb(9, 9, 9));
    ASSERT_TRUE(image.CreateAlpha());
    const RasterImage reference(image);
    for (const auto& [x, y] : {std::pair<int64_t, int64_t>{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT64_MIN, INT64_MAX}}) {
        image.SetPixelColor(x, y, Bgra(1, 1, 1, 1), true);
    }
    EXPECT_TRUE(SamePixels(image, reference));
    // Reading outside gives black without touching memory outside the image.
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 0, true), Bgra(0, 0, 0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 2, true), Bgra(0, 0, 0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(UINT32_MAX, UINT32_MAX, true), Bgra(0, 0, 0, 0)));
    RasterImage empty;
    EXPECT_TRUE(SameColor(empty.GetPixelColor(0, 0, true), Bgra(0, 0, 0, 0)));
    empty.SetPixelColor(0, 0, Bgra(1, 1, 1, 1), true);
    EXPECT_FALSE(empty.IsValid());
}

TEST(RasterImagePixels, PaletteImagesReadThePaletteAndWriteTheNearestIndex) {
    RasterImage image;
    ASSERT_NE(image.Create(6, 3, 4, 0), nullptr);
    const RasterRgbQuad entries[4] = {Bgra(0, 0, 0), Bgra(0, 0, 200), Bgra(0, 200, 0), Bgra(200, 0, 0)};
    image.SetPalette(entries, 4);
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 6; ++x) image.SetPixelIndex(x, y, 0);
    }

    image.SetPixelColor(5, 1, Bgra(10, 20, 180));  // nearest: red entry 1
    EXPECT_EQ(image.GetPixelIndex(5, 1), 1);
    EXPECT_TRUE(SameColor(image.GetPixelColor(5, 1, false), Bgra(0, 0, 200)));
    image.SetPixelColor(4, 1, Bgra(190, 30, 0));  // nearest: blue entry 3
    EXPECT_EQ(image.GetPixelIndex(4, 1), 3);
    // Neighbouring nibbles are not disturbed.
    EXPECT_EQ(image.GetPixelIndex(3, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(5, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(5, 2), 0);
}
