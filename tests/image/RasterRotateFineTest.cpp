// The fine turn: both kernels, any number of threads and any region write the same pixels, no
// turn keeps the picture, a turn and its reverse bring it back, and an edge lands where the turn
// puts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

#include "TestSupport.h"
#include "image/compose/RasterBlendRow.h"
#include "image/resample/RasterRotateFine.h"

namespace {

using raster_resample::FineTurnOptions;
using raster_resample::FineTurnPath;
using raster_resample::RenderTurnedRegion;
using raster_resample::WholeTurnedRegion;
using testsupport::PictureColor;

// Noise over gradients: every tap of the filter matters.
RasterImage NoisyPicture(uint32_t width, uint32_t height) {
    RasterImage image = testsupport::MakePatternImage(width, height);
    std::mt19937 rng(7);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image.RowPointer(y);
        for (uint32_t x = 0; x < width * 3; x += 5) row[x] = uint8_t(rng());
    }
    return image;
}

// Slow waves: what a photograph's detail looks like to a filter four pixels wide.
RasterImage SmoothPicture(uint32_t width, uint32_t height) {
    RasterImage image = testsupport::MakeSolidImage(width, height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image.RowPointer(y);
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = uint8_t(128 + 100 * std::sin(x * 0.11) * std::cos(y * 0.07));
            row[x * 3 + 1] = uint8_t(128 + 90 * std::sin((x + y) * 0.05));
            row[x * 3 + 2] = uint8_t(x * 255 / width);
        }
    }
    return image;
}

int MostDifference(const RasterImage& a, const RasterImage& b) {
    int most = 0;
    for (uint32_t y = 0; y < a.GetHeight(); ++y) {
        for (uint32_t i = 0; i < a.GetWidth() * 3; ++i) most = std::max(most, std::abs(a.RowPointer(y)[i] - b.RowPointer(y)[i]));
    }
    return most;
}

RasterImage Turned(const RasterImage& source, double degrees, const RasterRect& region, FineTurnOptions options = {}) {
    RasterImage target;
    EXPECT_TRUE(RenderTurnedRegion(source, degrees, region, target, options)) << target.LastErrorText();
    return target;
}

TEST(RasterRotateFine, KernelsAndThreadsWriteTheSamePicture) {
    if (!Avx2BlendAvailable()) GTEST_SKIP() << "the processor runs no AVX2 code";
    RasterImage source = NoisyPicture(203, 157);
    struct Case {
        double degrees;
        RasterRect region;
    };
    const Case cases[] = {
        {0.0, {0, 0, 203, 157}},        {3.0, WholeTurnedRegion(203, 157, 3.0)},
        {-3.0, {20, 30, 131, 97}},      {17.3, {-15, -9, 220, 170}},
        {45.0, WholeTurnedRegion(203, 157, 45.0)}, {-45.0, {90, 70, 97, 77}},   // narrower than a vector group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        const RasterImage portable = Turned(source, c.degrees, c.region, {1, FineTurnPath::Portable});
        RasterImage vector = Turned(source, c.degrees, c.region, {3, FineTurnPath::Avx2});
        EXPECT_EQ(MostDifference(portable, vector), 0);
        // A target of the right size keeps its memory.
        const uint8_t* bits = vector.GetBits();
        ASSERT_TRUE(RenderTurnedRegion(source, c.degrees, c.region, vector, {2, FineTurnPath::Fastest}));
        EXPECT_EQ(vector.GetBits(), bits);
        EXPECT_EQ(MostDifference(portable, vector), 0);
    }
}

// The work is split into strips of columns and bands of rows that start at the region's
// corner: a region that starts elsewhere, made by more threads, splits differently and must
// give the same pixels where the two overlap.
TEST(RasterRotateFine, AnyRegionGivesTheSamePixels) {
    constexpr uint32_t kWidth = 2500;   // wider than a few strips
    constexpr uint32_t kHeight = 120;
    const RasterImage source = NoisyPicture(kWidth, kHeight);
    for (const double degrees : {2.9, -7.3}) {
        SCOPED_TRACE(degrees);
        const RasterRect whole = WholeTurnedRegion(kWidth, kHeight, degrees);
        const RasterRect part{whole.left + 333, whole.top + 17, whole.right - 41, whole.bottom - 5};
        RasterImage wholeTurned = Turned(source, degrees, whole, {1, FineTurnPath::Fastest});
        RasterImage partTurned = Turned(source, degrees, part, {3, FineTurnPath::Fastest});
        RasterImage same;
        ASSERT_TRUE(wholeTurned.Crop({part.left - whole.left, part.top - whole.top, part.right - whole.left,
                                      part.bottom - whole.top}, &same));
        EXPECT_EQ(MostDifference(same, partTurned), 0);
    }
}

TEST(RasterRotateFine, NoTurnKeepsThePictureAndATurnBackRestoresIt) {
    RasterImage noisy = NoisyPicture(64, 41);
    EXPECT_TRUE(testsupport::SamePixels(Turned(noisy, 0.0, {0, 0, 64, 41}), noisy));

    RasterImage smooth = SmoothPicture(240, 160);
    for (const double degrees : {3.0, -7.5, 30.0}) {
        SCOPED_TRACE(degrees);
        const RasterRect whole = WholeTurnedRegion(240, 160, degrees);
        RasterImage turned = Turned(smooth, degrees, whole);
        // The source sits at -whole.left, -whole.top in the turned picture, which shares its centre.
        RasterImage back = Turned(turned, -degrees, {-whole.left, -whole.top, 240 - whole.left, 160 - whole.top});
        const RasterRect inner{8, 8, 232, 152};
        RasterImage a, b;
        ASSERT_TRUE(smooth.Crop(inner, &a));
        ASSERT_TRUE(back.Crop(inner, &b));
        EXPECT_GT(testsupport::Psnr(a, b), 40.0);
        // The corners the turn brings in are white.
        EXPECT_EQ(PictureColor(turned, 0, 0), 0xFFFFFFu);
    }
}

// A dark left half and a light right half, split at column `edge`: after the turn the split
// in row y lies where the turn takes the source line x = edge (anticlockwise as seen).
TEST(RasterRotateFine, AnEdgeLandsWhereTheTurnPutsIt) {
    constexpr uint32_t kSide = 200;
    constexpr double kEdge = 110.0;
    RasterImage source = testsupport::MakeSolidImage(kSide, kSide, 0xFFFFFF);
    for (uint32_t y = 0; y < kSide; ++y) std::fill_n(source.RowPointer(y), size_t(kEdge) * 3, uint8_t(0));
    for (const double degrees : {5.0, -12.0, 30.0}) {
        SCOPED_TRACE(degrees);
        const RasterImage turned = Turned(source, degrees, {0, 0, kSide, kSide});
        const double c = std::cos(degrees * std::numbers::pi / 180.0);
        const double s = std::sin(degrees * std::numbers::pi / 180.0);
        for (const uint32_t y : {60u, 100u, 140u}) {
            // Back(dx, dy).x = dx cos - dy sin = edge - centre.
            const double dy = y + 0.5 - kSide / 2.0;
            const double expected = kSide / 2.0 + (kEdge - kSide / 2.0 + dy * s) / c;
            // Where the green channel passes half way, between pixel centres.
            double found = -1.0;
            for (uint32_t x = 1; x < kSide && found < 0; ++x) {
                const double before = (PictureColor(turned, x - 1, y) >> 8) & 0xFF;
                const double here = (PictureColor(turned, x, y) >> 8) & 0xFF;
                if (before < 127.5 && here >= 127.5) found = x - 1 + 0.5 + (127.5 - before) / (here - before);
            }
            EXPECT_NEAR(found, expected, 0.2) << "row " << y;
        }
    }
}

}  // namespace
