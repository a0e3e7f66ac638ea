#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include "image/RasterImage.h"
#include "platform/RasterQtBridge.h"
#include "TestSupport.h"

using testsupport::MakePatternImage;
using testsupport::SamePixels;

namespace {

// The stored pixel (x, y) of a 24-bit image as an opaque QRgb.
QRgb StoredRgb(const RasterImage& image, uint32_t x, uint32_t y) {
    const uint8_t* p = image.PixelPointer(x, y);
    return qRgb(p[2], p[1], p[0]);
}

QImage SolidArgb(int width, int height, QRgb color) {
    QImage bitmap(width, height, QImage::Format_ARGB32);
    bitmap.fill(color);
    return bitmap;
}

}  // namespace

// ---- MakeAlphaBitmap -------------------------------------------------------------------

TEST(MakeAlphaBitmap, StoredRowZeroBecomesTheLastRowWithOpaqueAlpha) {
    RasterImage image = MakePatternImage(5, 3);
    const QImage bitmap = MakeAlphaBitmap(image);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.format(), QImage::Format_ARGB32);
    ASSERT_EQ(bitmap.width(), 5);
    ASSERT_EQ(bitmap.height(), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bitmap.pixel(x, y), StoredRgb(image, uint32_t(x), uint32_t(2 - y))) << x << "," << y;
        }
    }
    // Bytes blue, green, red, alpha.
    const uint8_t* p = image.PixelPointer(1, 2);
    const uchar* q = bitmap.constScanLine(0) + 4;
    EXPECT_EQ(q[0], p[0]);
    EXPECT_EQ(q[1], p[1]);
    EXPECT_EQ(q[2], p[2]);
    EXPECT_EQ(q[3], 255);
}

// Rows are converted four pixels at a time with the rest one by one: every width up to a few
// blocks, each pixel where it belongs.
TEST(MakeAlphaBitmap, EveryRowWidthKeepsEachPixelInItsPlace) {
    for (uint32_t width = 1; width <= 13; ++width) {
        RasterImage image = MakePatternImage(width, 2);
        const QImage bitmap = MakeAlphaBitmap(image);
        ASSERT_EQ(bitmap.width(), int(width));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < int(width); ++x) {
                ASSERT_EQ(bitmap.pixel(x, y), StoredRgb(image, uint32_t(x), uint32_t(1 - y)))
                    << "width " << width << " at " << x << "," << y;
            }
        }
    }
}

// A picture put anywhere on a bitmap, inside it or hanging over any of its edges: the pixels
// that land inside are the picture's as MakeAlphaBitmap gives them, the others stay untouched.
TEST(CopyOpaqueInto, PixelsLandInPlaceAndWhatFallsOutsideIsLeftOut) {
    RasterImage picture = MakePatternImage(7, 5);
    const QImage expected = MakeAlphaBitmap(picture);
    constexpr QRgb kUntouched = 0xFF123456;
    for (const QPoint at : {QPoint(2, 3), QPoint(-3, -2), QPoint(8, 6), QPoint(-10, 0), QPoint(0, 9)}) {
        QImage target(11, 9, QImage::Format_RGB32);
        target.fill(kUntouched);
        ASSERT_TRUE(CopyOpaqueInto(picture, target, at.x(), at.y()));
        for (int y = 0; y < target.height(); ++y) {
            for (int x = 0; x < target.width(); ++x) {
                const QPoint inPicture = QPoint(x, y) - at;
                const QRgb wanted = expected.rect().contains(inPicture) ? expected.pixel(inPicture) : kUntouched;
                ASSERT_EQ(target.pixel(x, y), wanted) << "put at " << at.x() << "," << at.y() << ", pixel " << x << "," << y;
            }
        }
    }
    QImage grey(4, 4, QImage::Format_Grayscale8);
    EXPECT_FALSE(CopyOpaqueInto(picture, grey, 0, 0));
}

TEST(MakeAlphaBitmap, AlphaPlaneIsCopiedWithoutPremultiplying) {
    RasterImage image = testsupport::MakeSolidImage(4, 2, RasterRgb(200, 100, 50));
    ASSERT_TRUE(image.CreateAlpha());
    *image.AlphaPointer(0, 0) = 0;      // bottom-left
    *image.AlphaPointer(3, 1) = 128;    // top-right
    const QImage bitmap = MakeAlphaBitmap(image);
    EXPECT_EQ(bitmap.pixel(0, 1), qRgba(200, 100, 50, 0));
    EXPECT_EQ(bitmap.pixel(3, 0), qRgba(200, 100, 50, 128));
    EXPECT_EQ(bitmap.pixel(1, 1), qRgba(200, 100, 50, 255));
}

TEST(MakeAlphaBitmap, PaletteImageItselfBecomesTrueColourWithItsTransparentIndexAsAlpha) {
    RasterImage image = MakePatternImage(6, 4, 8);
    image.SetTransparentIndex(image.GetPixelIndex(2, 1));
    const RasterRgbQuad seen = image.GetPixelColor(4, 3, false);
    const QImage bitmap = MakeAlphaBitmap(image);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(2, 1), 0);
    EXPECT_EQ(qAlpha(bitmap.pixel(2, 2)), 0);
    EXPECT_EQ(bitmap.pixel(4, 0), qRgb(seen.rgbRed, seen.rgbGreen, seen.rgbBlue));
}

TEST(MakeAlphaBitmap, InvalidImageGivesNullBitmap) {
    RasterImage image;
    EXPECT_TRUE(MakeAlphaBitmap(image).isNull());
}

// ---- CreateFromBitmap -------------------------------------------------------------------

TEST(CreateFromBitmap, TopRowBecomesLastStoredRowAndOpaqueFormatsGetNoPlane) {
    QImage bitmap(3, 2, QImage::Format_RGB32);
    bitmap.setPixel(0, 0, qRgb(1, 2, 3));
    bitmap.setPixel(1, 0, qRgb(4, 5, 6));
    bitmap.setPixel(2, 0, qRgb(7, 8, 9));
    for (int x = 0; x < 3; ++x) bitmap.setPixel(x, 1, qRgb(100, 110, 120));
    RasterImage image;
    ASSERT_TRUE(CreateFromBitmap(image, &bitmap));
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(StoredRgb(image, 0, 1), qRgb(1, 2, 3));
    EXPECT_EQ(StoredRgb(image, 2, 1), qRgb(7, 8, 9));
    EXPECT_EQ(StoredRgb(image, 1, 0), qRgb(100, 110, 120));
}

TEST(CreateFromBitmap, EqualFourthBytesMakeNoPlaneEvenWhenZero) {
    const QImage allZero = SolidArgb(4, 3, qRgba(10, 20, 30, 0));
    RasterImage image;
    ASSERT_TRUE(CreateFromBitmap(image, &allZero));
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_FALSE(image.HasAlpha());
    EXPECT_EQ(StoredRgb(image, 3, 2), qRgb(10, 20, 30));
}

TEST(CreateFromBitmap, OneDifferingFourthByteMakesAPlaneHoldingTheBytesAsTheyAre) {
    QImage bitmap = SolidArgb(4, 3, qRgba(10, 20, 30, 0));
    bitmap.setPixel(1, 0, qRgba(10, 20, 30, 77));
    RasterImage image;
    ASSERT_TRUE(CreateFromBitmap(image, &bitmap));
    ASSERT_TRUE(image.HasAlpha());
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(*image.AlphaPointer(x, y), (x == 1 && y == 2) ? 77 : 0) << x << "," << y;
        }
    }
    EXPECT_EQ(StoredRgb(image, 1, 2), qRgb(10, 20, 30));
}

TEST(CreateFromBitmap, PremultipliedBitmapsGiveStraightColours) {
    QImage bitmap(2, 1, QImage::Format_ARGB32_Premultiplied);
    bitmap.setPixel(0, 0, qRgba(100, 50, 0, 128));
    bitmap.setPixel(1, 0, qRgba(255, 255, 255, 255));
    RasterImage image;
    ASSERT_TRUE(CreateFromBitmap(image, &bitmap));
    ASSERT_TRUE(image.HasAlpha());
    EXPECT_EQ(*image.AlphaPointer(0, 0), 128);
    const uint8_t* p = image.PixelPointer(0, 0);
    EXPECT_NEAR(p[2], 200, 1);
    EXPECT_NEAR(p[1], 100, 1);
}

TEST(CreateFromBitmap, IndexedAndMonochromeBitmapsKeepIndicesAndPalette) {
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)});
    const uchar rows[2][3] = {{0, 1, 2}, {2, 2, 1}};
    for (int y = 0; y < 2; ++y) std::copy_n(rows[y], 3, indexed.scanLine(y));
    RasterImage image;
    ASSERT_TRUE(CreateFromBitmap(image, &indexed));
    ASSERT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(image.GetPixelIndex(2, 1), 2);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(image.GetPalette()[1].rgbGreen, 255);

    QImage mono(9, 2, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    ASSERT_TRUE(CreateFromBitmap(image, &mono));
    ASSERT_EQ(image.GetBpp(), 1u);
    EXPECT_EQ(image.GetPixelIndex(8, 1), 1);
    EXPECT_EQ(image.GetPixelIndex(8, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(7, 1), 0);
}

TEST(CreateFromBitmap, NullBitmapLeavesTheImageAsItWas) {
    RasterImage image = MakePatternImage(3, 3);
    const RasterImage before(image);
    const QImage empty;
    EXPECT_FALSE(CreateFromBitmap(image, &empty));
    EXPECT_TRUE(SamePixels(image, before));
}

// ---- clipboard -------------------------------------------------------------------------

TEST(Clipboard, PictureWithAlphaComesBackUnchanged) {
    RasterImage image = MakePatternImage(7, 5);
    testsupport::AddPatternAlpha(image);
    ASSERT_TRUE(CopyToClipboard(image));
    const QImage onClipboard = QGuiApplication::clipboard()->image();
    EXPECT_EQ(onClipboard.size(), QSize(7, 5));
    RasterImage pasted;
    ASSERT_TRUE(CreateFromBitmap(pasted, nullptr));
    EXPECT_EQ(pasted.GetBpp(), 24u);
    EXPECT_TRUE(SamePixels(image, pasted));
}

TEST(Clipboard, PaletteImageIsCopiedAsTrueColourWithoutChangingIt) {
    RasterImage image = MakePatternImage(4, 4, 4);
    ASSERT_TRUE(CopyToClipboard(image));
    EXPECT_EQ(image.GetBpp(), 4u);
    RasterImage pasted;
    ASSERT_TRUE(CreateFromBitmap(pasted, nullptr));
    EXPECT_EQ(pasted.GetBpp(), 24u);
    EXPECT_FALSE(pasted.HasAlpha());
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            const RasterRgbQuad c = image.GetPixelColor(x, y, false);
            EXPECT_EQ(StoredRgb(pasted, x, y), qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
    }
}

TEST(Clipboard, EmptyClipboardGivesFalseAndKeepsTheImage) {
    QGuiApplication::clipboard()->clear();
    RasterImage image = MakePatternImage(2, 2);
    EXPECT_FALSE(CreateFromBitmap(image, nullptr));
    EXPECT_TRUE(image.IsValid());
    RasterImage empty;
    EXPECT_FALSE(CopyToClipboard(empty));
}
