// Straightening's geometry against pictures: a horizon found in pixels reads the turn that
// levels it, the box it leaves is inside the turned picture's pixels and as large as they
// allow, and the angle another tool keeps turns the picture the way the view does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "TestSupport.h"
#include "doc/CutOperation.h"
#include "doc/StraightenGeometry.h"
#include "image/metadata/CropSidecar.h"
#include "image/resample/RasterRotateFine.h"

namespace {

using namespace straighten;

constexpr uint32_t kWidth = 600;
constexpr uint32_t kHeight = 400;

double Green(const RasterImage& image, uint32_t x, uint32_t y) {
    return (testsupport::PictureColor(image, x, y) >> 8) & 0xFF;
}

// Bright sky over dark ground, the horizon rising to the right by `degrees` through the
// picture's centre; each pixel is the share of it that lies above the horizon (8 x 8 samples).
RasterImage HorizonPicture(double degrees) {
    RasterImage image = testsupport::MakeSolidImage(kWidth, kHeight, 0);
    const double rise = std::tan(degrees * std::numbers::pi / 180.0);
    constexpr int kSamples = 8;
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.RowPointer(kHeight - 1 - y);
        for (uint32_t x = 0; x < kWidth; ++x) {
            int sky = 0;
            for (int i = 0; i < kSamples; ++i) {
                for (int j = 0; j < kSamples; ++j) {
                    const double px = x + (i + 0.5) / kSamples;
                    const double py = y + (j + 0.5) / kSamples;
                    sky += py < kHeight / 2.0 - (px - kWidth / 2.0) * rise;
                }
            }
            const auto level = uint8_t(40 + 180 * sky / (kSamples * kSamples));
            std::fill_n(row + x * 3, 3, level);
        }
    }
    return image;
}

// Where a column passes from sky to ground: the half-way level between pixel centres.
double HorizonAt(const RasterImage& image, uint32_t x) {
    const double middle = (40.0 + 220.0) / 2.0;
    for (uint32_t y = 1; y < image.GetHeight(); ++y) {
        const double above = Green(image, x, y - 1);
        const double below = Green(image, x, y);
        if (above >= middle && below < middle) return y - 0.5 + (above - middle) / (above - below);
    }
    return -1.0;
}

// True when the pixels of box (rounded outwards) in the turned picture hold no white: none of
// them lies outside the picture, whose own pixels are all darker.
bool PixelsInside(const RasterImage& source, double degrees, const PictureBox& box) {
    const RasterRect region{int32_t(std::floor(box.left)), int32_t(std::floor(box.top)),
                            int32_t(std::ceil(box.left + box.width)), int32_t(std::ceil(box.top + box.height))};
    RasterImage turned;
    EXPECT_TRUE(raster_resample::RenderTurnedRegion(source, degrees, region, turned));
    for (uint32_t y = 0; y < turned.GetHeight(); ++y) {
        for (uint32_t x = 0; x < turned.GetWidth(); ++x) {
            if (testsupport::PictureColor(turned, x, y) == 0xFFFFFFu) return false;
        }
    }
    return true;
}

PictureBox Grown(const PictureBox& box, double factor) {
    const PicturePoint c = box.Centre();
    return PictureBox{c.x - box.width * factor / 2.0, c.y - box.height * factor / 2.0, box.width * factor,
                      box.height * factor};
}

TEST(StraightenGeometry, TheLineToolLevelsATiltedHorizonAndTheBoxFitsTheTurnedPicture) {
    RasterImage picture = HorizonPicture(3.0);
    const PicturePoint left{100.5, HorizonAt(picture, 100)};
    const PicturePoint right{500.5, HorizonAt(picture, 500)};
    const std::optional<double> angle = AngleFromHorizonLine(left, right);
    ASSERT_TRUE(angle.has_value());
    EXPECT_NEAR(*angle, -3.0, 0.05);
    const double degrees = ControlDegrees(*angle);
    EXPECT_DOUBLE_EQ(degrees, -3.0);

    // The 6x4 preset's box about the centre, and a box off the centre shrunk to fit.
    const TurnedPicture turned{kWidth, kHeight, degrees};
    const PictureBox centred = LargestBoxInside(6.0 / 4.0, PicturePoint{300, 200}, turned);
    const PictureBox shifted = ShrinkToFit(PictureBox{300, 10, 290, 190}, turned);
    for (const PictureBox& box : {centred, shifted}) {
        EXPECT_TRUE(BoxInsideTurned(box, turned));
        EXPECT_FALSE(BoxInsideTurned(Grown(box, 1.01), turned));
        // The same in pixels: no white of the turned picture's corners inside the box, and
        // some inside the box one percent larger.
        const PictureBox inner{std::ceil(box.left), std::ceil(box.top), std::floor(box.width) - 1,
                               std::floor(box.height) - 1};
        EXPECT_TRUE(PixelsInside(picture, degrees, inner));
        EXPECT_FALSE(PixelsInside(picture, degrees, Grown(box, 1.01)));
    }
    EXPECT_NEAR(shifted.width / shifted.height, 290.0 / 190.0, 1e-12);
    EXPECT_LT(shifted.width, 290.0);
    EXPECT_DOUBLE_EQ(shifted.Centre().x, 445.0);
    EXPECT_DOUBLE_EQ(shifted.Centre().y, 105.0);
    const PictureBox small{280, 190, 40, 20};
    EXPECT_DOUBLE_EQ(ShrinkToFit(small, turned).width, small.width);   // already inside: kept

    const PictureBox own = LargestUprightOfOwnRatio(turned);
    EXPECT_NEAR(own.width / own.height, 1.5, 1e-12);
    EXPECT_TRUE(BoxInsideTurned(own, turned));
    EXPECT_FALSE(BoxInsideTurned(Grown(own, 1.001), turned));
}

// Cut with the angle the line tool read, over the largest 6x4 box: the horizon comes out level
// and no corner of the turned picture's background is in the cut.
TEST(StraightenGeometry, ACutOfTheStraightenedPictureHasALevelHorizon) {
    const RasterImage picture = HorizonPicture(3.0);
    const double degrees = ControlDegrees(*AngleFromHorizonLine({100.5, HorizonAt(picture, 100)},
                                                                {500.5, HorizonAt(picture, 500)}));
    const PictureBox box = LargestBoxInside(1.5, PicturePoint{300, 200}, TurnedPicture{kWidth, kHeight, degrees});
    const RasterRect inner = InnerPixels(box);
    CutRequest request{int(kWidth), int(kHeight), int(kWidth), int(kHeight),
                       cropbox::Rect{inner.left, inner.top, inner.right, inner.bottom}, cropbox::kShapeRectangle, 0.0};
    request.straightenDegrees = degrees;
    RasterImage cut;
    ASSERT_TRUE(CutPicture(picture, request, cut));
    ASSERT_EQ(cut.GetWidth(), uint32_t(inner.right - inner.left));
    const uint32_t right = cut.GetWidth() - 10;
    EXPECT_NEAR(HorizonAt(cut, 10), HorizonAt(cut, right), 0.3);
    EXPECT_NEAR(HorizonAt(cut, 10), 200.0 - inner.top, 1.0);
    for (uint32_t y = 0; y < cut.GetHeight(); ++y) {
        for (uint32_t x = 0; x < cut.GetWidth(); ++x) ASSERT_NE(testsupport::PictureColor(cut, x, y), 0xFFFFFFu);
    }
}

TEST(StraightenGeometry, LinesReadTheTurnThatLevelsOrPlumbsThem) {
    const double rise = std::tan(3.0 * std::numbers::pi / 180.0) * 100.0;
    struct Case {
        PicturePoint from, to;
        double degrees;
    };
    const Case cases[] = {
        {{0, 50}, {100, 50 - rise}, -3.0},     // rising to the right, drawn left to right
        {{100, 50 - rise}, {0, 50}, -3.0},     // the same line drawn the other way
        {{0, 50}, {100, 50 + rise}, 3.0},      // falling to the right
        {{50, 100}, {50 + rise, 0}, 3.0},      // a wall leaning right: an anticlockwise turn plumbs it
        {{0, 0}, {100, 100}, -45.0},           // as far as the control goes
    };
    for (const Case& c : cases) {
        const std::optional<double> angle = AngleFromHorizonLine(c.from, c.to);
        ASSERT_TRUE(angle.has_value());
        EXPECT_NEAR(std::fabs(*angle), std::fabs(c.degrees), 1e-9);
        if (std::fabs(c.degrees) < kMostDegrees) {
            EXPECT_NEAR(*angle, c.degrees, 1e-9);
        }
    }
    EXPECT_FALSE(AngleFromHorizonLine({5, 5}, {5, 5}).has_value());
    EXPECT_DOUBLE_EQ(ControlDegrees(-3.04), -3.0);
    EXPECT_DOUBLE_EQ(ControlDegrees(60.0), 45.0);
    EXPECT_DOUBLE_EQ(ControlDegrees(std::nan("")), 0.0);
}

// exiftool keeps crs:CropAngle = 3; read back, it turns the photo anticlockwise as seen, as
// the photo tools that wrote it show the kept part: a mark right of the centre moves up.
TEST(StraightenGeometry, TheKeptAngleOfAnotherToolTurnsThePictureItsWay) {
    if (std::system("command -v exiftool >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
    testsupport::TempDir dir;
    const std::string photo = (dir / "IMG_0003.jpg").string();
    const std::string make = "exiftool -q -o '" + SidecarPathOf(photo) +
                             "' -XMP-crs:HasCrop=True -XMP-crs:CropLeft=0 -XMP-crs:CropTop=0 -XMP-crs:CropRight=1 "
                             "-XMP-crs:CropBottom=1 -XMP-crs:CropAngle=3 >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::optional<KeptCrop> kept = ReadSidecarCrop(photo);
    ASSERT_TRUE(kept.has_value());
    const double degrees = StraightenAngleOf(kept->angle);
    EXPECT_DOUBLE_EQ(CropAngleOf(degrees), 3.0);

    RasterImage picture = testsupport::MakeSolidImage(kWidth, kHeight, 0x808080);
    constexpr uint32_t kMarkX = 550;   // 250 right of the centre, on its row
    for (uint32_t y = 198; y < 202; ++y) std::fill_n(picture.RowPointer(y) + (kMarkX - 2) * 3, 12, uint8_t(0));
    RasterImage turned;
    ASSERT_TRUE(raster_resample::RenderTurnedRegion(picture, degrees, {0, 0, kWidth, kHeight}, turned));
    // The mark's middle in its column: the rows weighted by how much darker than grey they are.
    double weight = 0.0;
    double weightedRow = 0.0;
    for (uint32_t y = 0; y < kHeight; ++y) {
        const double dark = std::max(0.0, 128.0 - Green(turned, kMarkX, y));
        weight += dark;
        weightedRow += dark * (y + 0.5);
    }
    ASSERT_GT(weight, 0.0);
    // 250 pixels out, 3 degrees up: 13 rows above the centre.
    EXPECT_NEAR(weightedRow / weight, 200.0 - 250.0 * std::sin(3.0 * std::numbers::pi / 180.0), 0.5);
}

}  // namespace
