// The bitmap Print paints: the picture as it is, or reduced when it is longer than a print uses.
#include <gtest/gtest.h>

#include <utility>

#include "TestSupport.h"
#include "view/PrintBitmap.h"

namespace {

constexpr uint32_t kColour = RasterRgb(40, 120, 200);

}  // namespace

TEST(PrintBitmap, APictureAPrintCanUseIsPaintedPixelForPixel) {
    RasterImage picture = testsupport::MakePatternImage(300, 200);
    RasterImage original;
    ASSERT_TRUE(original.Copy(picture));
    const QImage bitmap = printbitmap::MakePrintBitmap(picture);
    ASSERT_EQ(bitmap.size(), QSize(300, 200));
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB32);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{299, 199}, std::pair{123, 45}}) {
        const RasterRgbQuad p = original.GetPixelColor(uint32_t(x), uint32_t(original.GetHeight() - 1 - y), false);
        EXPECT_EQ(bitmap.pixel(x, y), qRgb(p.rgbRed, p.rgbGreen, p.rgbBlue)) << x << ", " << y;
    }
}

TEST(PrintBitmap, APictureBeyondThePaintersReachIsReducedToTheLongestPrintSide) {
    EXPECT_EQ(printbitmap::PrintSize(16384, 9000), QSize(16384, 9000));
    EXPECT_EQ(printbitmap::PrintSize(1000, 40000), QSize(410, 16384));
    EXPECT_EQ(printbitmap::PrintSize(2000000, 10), QSize(16384, 1));
    RasterImage picture = testsupport::MakeSolidImage(40000, 1000, kColour);
    const QImage bitmap = printbitmap::MakePrintBitmap(picture);
    ASSERT_EQ(bitmap.size(), QSize(16384, 410));
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB32);
    // The area average may round a flat colour down by a level.
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{16383, 409}, std::pair{8000, 200}}) {
        const QRgb p = bitmap.pixel(x, y);
        EXPECT_NEAR(qRed(p), 40, 1) << x << ", " << y;
        EXPECT_NEAR(qGreen(p), 120, 1) << x << ", " << y;
        EXPECT_NEAR(qBlue(p), 200, 1) << x << ", " << y;
    }
}
