// A kept box against the upright picture: the orientation the decoder applies must carry the
// kept rectangle to the same pixels, and back.
#include <gtest/gtest.h>

#include "doc/KeptBox.h"
#include "image/RasterImage.h"
#include "image/formats/RasterExifOrientation.h"

namespace {

constexpr int kWidth = 40, kHeight = 30;
const cropbox::Rect kMarked{8, 5, 20, 12};  // stored picture, y = 0 at the top

// The red pixels' bounds in picture coordinates (y = 0 at the top).
cropbox::Rect RedBounds(const RasterImage& picture) {
    cropbox::Rect found{int(picture.GetWidth()), int(picture.GetHeight()), 0, 0};
    for (uint32_t y = 0; y < picture.GetHeight(); ++y)
        for (uint32_t x = 0; x < picture.GetWidth(); ++x) {
            if (picture.GetPixelColor(x, picture.GetHeight() - 1 - y, false).rgbRed != 255 ||
                picture.GetPixelColor(x, picture.GetHeight() - 1 - y, false).rgbGreen != 0)
                continue;
            found.left = std::min(found.left, int(x));
            found.top = std::min(found.top, int(y));
            found.right = std::max(found.right, int(x) + 1);
            found.bottom = std::max(found.bottom, int(y) + 1);
        }
    return found;
}

TEST(KeptBox, EveryOrientationCarriesTheRectangleToTheDecodersPixels) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        RasterImage picture;
        ASSERT_TRUE(picture.Create(uint32_t(kWidth), uint32_t(kHeight), 24, 0));
        picture.FillColor(0xFFFFFF);
        for (int y = kMarked.top; y < kMarked.bottom; ++y)
            for (int x = kMarked.left; x < kMarked.right; ++x)
                picture.SetPixelColor(x, kHeight - 1 - y, RasterRgbQuad{0, 0, 255, 0});
        ASSERT_TRUE(ApplyExifOrientation(picture, orientation));
        const cropbox::Size upright{int(picture.GetWidth()), int(picture.GetHeight())};
        EXPECT_EQ(keptbox::StoredSize(upright, orientation), (cropbox::Size{kWidth, kHeight}));

        KeptCrop crop;
        crop.left = double(kMarked.left) / kWidth;
        crop.top = double(kMarked.top) / kHeight;
        crop.right = double(kMarked.right) / kWidth;
        crop.bottom = double(kMarked.bottom) / kHeight;
        const cropbox::Rect rect = keptbox::UprightRect(crop, orientation, upright);
        EXPECT_EQ(rect, RedBounds(picture));

        KeptCrop back;
        keptbox::SetUprightRect(back, rect, orientation, upright);
        EXPECT_DOUBLE_EQ(back.left, crop.left);
        EXPECT_DOUBLE_EQ(back.top, crop.top);
        EXPECT_DOUBLE_EQ(back.right, crop.right);
        EXPECT_DOUBLE_EQ(back.bottom, crop.bottom);
        EXPECT_EQ(back.placedWidth, uint32_t(kWidth));
        EXPECT_EQ(back.placedHeight, uint32_t(kHeight));
    }
}

TEST(KeptBox, ABoxBeyondThePictureIsKeptInsideItAndAChangedPictureIsNoticed) {
    KeptCrop crop;
    keptbox::SetUprightRect(crop, cropbox::Rect{-10, 5, 50, 40}, 1, cropbox::Size{40, 30});
    EXPECT_EQ(keptbox::UprightRect(crop, 1, cropbox::Size{40, 30}), (cropbox::Rect{0, 5, 40, 30}));
    crop.ownFields = true;
    EXPECT_TRUE(keptbox::PlacedOn(crop, cropbox::Size{40, 30}));
    EXPECT_FALSE(keptbox::PlacedOn(crop, cropbox::Size{30, 40}));
    crop.ownFields = false;  // another tool's crop names no size
    EXPECT_TRUE(keptbox::PlacedOn(crop, cropbox::Size{30, 40}));
}

}  // namespace
