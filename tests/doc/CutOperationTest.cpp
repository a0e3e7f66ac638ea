#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <set>

#include "doc/CutOperation.h"
#include "doc/CutShapeMask.h"
#include "image/RasterBlockPool.h"
#include "doc/RoundCornerPath.h"
#include "TestSupport.h"

namespace {

using testsupport::PictureColor;
using testsupport::SamePixels;

constexpr uint32_t kWhite = 0xFFFFFF;
// A dark grey, so that any blend toward white shows in every channel.
constexpr uint32_t kDark = RasterRgb(40, 40, 40);

// The test pattern with blue held below 255, so that no source pixel is white.
RasterImage NonWhitePattern(uint32_t width, uint32_t height) {
    RasterImage image = testsupport::MakePatternImage(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = image.PixelPointer(x, y);
            p[0] = std::min<uint8_t>(p[0], 250);
        }
    }
    return image;
}

// A request for a picture shown at full size in a client of exactly its size: the box is the
// crop in picture pixels.
CutRequest FullSizeRequest(const RasterImage& work, cropbox::Rect box, int shape, double border) {
    const int w = int(work.GetWidth());
    const int h = int(work.GetHeight());
    return CutRequest{w, h, w, h, box, shape, border};
}

RasterImage CropOf(const RasterImage& work, const cropbox::Rect& r) {
    RasterImage expected;
    EXPECT_TRUE(const_cast<RasterImage&>(work).Crop(RasterRect{r.left, r.top, r.right, r.bottom}, &expected));
    return expected;
}

// The values a blend of c toward white by the table can take for partial coverage.
std::set<uint8_t> PartialBlendsOf(uint8_t c) {
    const uint8_t* t = ProductTable();
    std::set<uint8_t> values;
    for (int m = 1; m < 255; ++m) values.insert(uint8_t(t[c * 256 + m] + t[255 * 256 + (255 - m)]));
    return values;
}

// Inside kept (result pixels) the result is the source shifted by (dx, dy); white elsewhere.
::testing::AssertionResult SourceInsideWhiteOutside(const RasterImage& result, cropbox::Rect kept,
                                                    const RasterImage& source, int dx, int dy) {
    for (int y = 0; y < int(result.GetHeight()); ++y) {
        for (int x = 0; x < int(result.GetWidth()); ++x) {
            const uint32_t expected = kept.Contains({x, y}) ? PictureColor(source, x + dx, y + dy) : kWhite;
            const uint32_t actual = PictureColor(result, x, y);
            if (actual != expected) {
                return ::testing::AssertionFailure() << "at " << x << ", " << y << ": " << std::hex << actual
                                                     << " instead of " << expected;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

bool IsBetweenDarkAndWhite(uint32_t color) {
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (color >> shift) & 0xFF;
        if (c <= 40 || c >= 255) return false;
    }
    return true;
}

}  // namespace

TEST(CutMapping, FullSizePictureMapsTheBoxOneToOne) {
    RasterImage work = testsupport::MakePatternImage(400, 300);
    // The picture is centred in an 800 x 600 client at (200, 150).
    const CutRequest request{800, 600, 400, 300, {250, 170, 450, 370}, cropbox::kShapeRectangle, 0.0};
    EXPECT_EQ(MapBoxToPicture(work, request), (cropbox::Rect{50, 20, 250, 220}));
}

TEST(CutMapping, HalfSizeViewDoublesEachEdgeOffset) {
    RasterImage work = testsupport::MakePatternImage(800, 600);
    // Odd client sizes: offsets (1001 - 400) halved = 300 and (701 - 300) halved = 200.
    const CutRequest request{1001, 701, 400, 300, {301, 203, 699, 499}, cropbox::kShapeOval, 0.0};
    EXPECT_EQ(MapBoxToPicture(work, request), (cropbox::Rect{2, 6, 798, 598}));
}

TEST(CutMapping, EachProductIsRoundedOnItsOwnHalvesAwayFromZero) {
    // s = 1.5, offset 101: rounded(1.5 x 104) - rounded(1.5 x 101) = 156 - 152 = 4, where
    // rounding 1.5 x (104 - 101) would give 5.
    RasterImage work = testsupport::MakePatternImage(600, 450);
    const CutRequest request{602, 502, 400, 300, {104, 103, 301, 250}, cropbox::kShapeRectangle, 0.0};
    // Top: offset (502 - 300) halved = 101 as well; 1.5 x 103 = 154.5 rounds up to 155.
    // Right: rounded(451.5) = 452; bottom: 375.
    EXPECT_EQ(MapBoxToPicture(work, request), (cropbox::Rect{4, 3, 300, 223}));

    // Left of the picture: rounded(1.5 x -3) = -5 (away from zero), minus 152.
    const CutRequest leftOf{602, 502, 400, 300, {-3, 101, 200, 250}, cropbox::kShapeRectangle, 0.0};
    EXPECT_EQ(MapBoxToPicture(work, leftOf).left, -157);
}

// A 4608 x 1976 photo shown at 480 x 206 in a 600 x 422 client (at 60, 108): s = 9.6, and
// 9.6 x 206 = 1977.6. Edges on the shown picture's edges are the picture's edges; edges beyond
// it map beyond the picture by the scale as before.
TEST(CutMapping, EdgesOnTheShownPictureMapToThePictureEdgesExactly) {
    RasterImage work;
    ASSERT_TRUE(work.Create(4608, 1976, 24, 0));
    const struct {
        cropbox::Rect box;
        cropbox::Rect expected;
    } cases[] = {
        {{60, 108, 540, 314}, {0, 0, 4608, 1976}},      // the whole shown picture
        {{100, 108, 540, 314}, {384, 0, 4608, 1976}},   // only the left edge inside
        {{60, 108, 540, 316}, {0, 0, 4608, 1997}},      // two rows below: 3034 - 1037
        {{59, 107, 541, 314}, {-10, -10, 4618, 1976}},  // one pixel beyond left, top and right
    };
    for (const auto& c : cases) {
        const CutRequest request{600, 422, 480, 206, c.box, cropbox::kShapeRectangle, 0.0};
        EXPECT_EQ(MapBoxToPicture(work, request), c.expected)
            << c.box.left << ", " << c.box.top << ", " << c.box.right << ", " << c.box.bottom;
    }
}

TEST(CutMapping, UnusableInputsMapToAnEmptyBox) {
    RasterImage work = testsupport::MakePatternImage(100, 100);
    EXPECT_TRUE(MapBoxToPicture(RasterImage(), FullSizeRequest(work, {0, 0, 50, 50}, 1, 0.0)).IsEmpty());
    EXPECT_TRUE(MapBoxToPicture(work, CutRequest{100, 100, 0, 100, {0, 0, 50, 50}, 1, 0.0}).IsEmpty());
    // A scale of 1000 pushes these coordinates beyond int.
    RasterImage wide = testsupport::MakePatternImage(100000, 1);
    EXPECT_TRUE(MapBoxToPicture(wide, CutRequest{100, 100, 100, 1, {0, 0, INT_MAX, 50}, 1, 0.0}).IsEmpty());
}

TEST(CutPicture, RectangleWithoutBorderIsExactlyTheCrop) {
    RasterImage work = testsupport::MakePatternImage(300, 200);
    const CutRequest request{400, 300, 300, 200, {70, 80, 270, 230}, cropbox::kShapeRectangle, 0.0};
    const cropbox::Rect crop = MapBoxToPicture(work, request);
    ASSERT_EQ(crop, (cropbox::Rect{20, 30, 220, 180}));

    RasterImage result;
    ASSERT_TRUE(CutPicture(work, request, result));
    EXPECT_TRUE(SamePixels(result, CropOf(work, crop)));
    EXPECT_EQ(result.GetBpp(), 24u);
    EXPECT_FALSE(result.HasAlpha());
}

TEST(CutPicture, BoxBeyondThePictureIsWhiteThere) {
    RasterImage work = NonWhitePattern(300, 200);
    // The picture spans client x 50..349; the box reaches 100 pixels beyond its right edge and
    // 20 above its top.
    const CutRequest request{400, 300, 300, 200, {150, 30, 450, 200}, cropbox::kShapeRectangle, 0.0};
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, request, result));
    ASSERT_EQ(result.GetWidth(), 300u);
    ASSERT_EQ(result.GetHeight(), 170u);
    EXPECT_TRUE(SourceInsideWhiteOutside(result, {0, 20, 200, 170}, work, 100, -20));
}

TEST(CutPicture, RectangleWithBorderHasAnExactWhiteFrame) {
    RasterImage work = NonWhitePattern(1300, 900);
    // A 1200 x 800 crop at (50, 60): inset rounded(0.05 x 1000) = 50.
    const CutRequest request{1300, 900, 1300, 900, {50, 60, 1250, 860}, cropbox::kShapeRectangle, 0.05};
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, request, result));
    ASSERT_EQ(result.GetWidth(), 1200u);
    ASSERT_EQ(result.GetHeight(), 800u);
    EXPECT_FALSE(result.HasAlpha());
    EXPECT_TRUE(SourceInsideWhiteOutside(result, {50, 50, 1150, 750}, work, 50, 60));
}

TEST(CutPicture, OvalKeepsTheEllipseAndBlendsItsEdgeIntoWhite) {
    RasterImage work = NonWhitePattern(240, 160);
    const CutRequest request = FullSizeRequest(work, {0, 0, 240, 160}, cropbox::kShapeOval, 0.0);
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, request, result));
    ASSERT_EQ(result.GetWidth(), 240u);
    ASSERT_EQ(result.GetHeight(), 160u);
    EXPECT_FALSE(result.HasAlpha());
    for (uint32_t y = 0; y < 160; ++y) {
        for (uint32_t x = 0; x < 240; ++x) {
            // Pixel centres against the ellipse of radii 120 and 80 centred at (120, 80).
            const double dx = (x + 0.5 - 120) / 120;
            const double dy = (y + 0.5 - 80) / 80;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < 0.97) {
                ASSERT_EQ(PictureColor(result, x, y), PictureColor(work, x, y)) << "at " << x << ", " << y;
            } else if (d > 1.03) {
                ASSERT_EQ(PictureColor(result, x, y), kWhite) << "at " << x << ", " << y;
            }
        }
    }
}

TEST(CutPicture, OvalEdgeIsATableBlendOfTheSourceAndWhite) {
    RasterImage work = testsupport::MakeSolidImage(240, 160, kDark);
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 240, 160}, cropbox::kShapeOval, 0.0), result));
    const std::set<uint8_t> partial = PartialBlendsOf(40);
    int edgePixels = 0;
    for (uint32_t y = 0; y < 160; ++y) {
        for (uint32_t x = 0; x < 240; ++x) {
            const uint32_t c = PictureColor(result, x, y);
            if (c == kDark || c == kWhite) continue;
            ++edgePixels;
            ASSERT_TRUE(IsBetweenDarkAndWhite(c)) << "at " << x << ", " << y;
            ASSERT_EQ(partial.count(RasterRed(c)), 1u) << "at " << x << ", " << y;
        }
    }
    EXPECT_GT(edgePixels, 100);
    for (const auto& [x, y] : {std::pair{0u, 0u}, {239u, 0u}, {0u, 159u}, {239u, 159u}}) {
        EXPECT_EQ(PictureColor(result, x, y), kWhite);
    }
    EXPECT_EQ(PictureColor(result, 120, 80), kDark);
}

TEST(CutPicture, OvalWithBorderLiesInsideTheInset) {
    RasterImage work = testsupport::MakeSolidImage(400, 200, kDark);
    // Inset rounded(0.1 x 300) = 30: the ellipse spans x 30..370, y 30..170.
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 400, 200}, cropbox::kShapeOval, 0.10), result));
    for (uint32_t x = 0; x < 400; ++x) {
        ASSERT_EQ(PictureColor(result, x, 29), kWhite);
        ASSERT_EQ(PictureColor(result, x, 170), kWhite);
    }
    EXPECT_EQ(PictureColor(result, 29, 100), kWhite);
    EXPECT_EQ(PictureColor(result, 370, 100), kWhite);
    EXPECT_EQ(PictureColor(result, 32, 100), kDark);
    EXPECT_EQ(PictureColor(result, 367, 100), kDark);
    EXPECT_EQ(PictureColor(result, 200, 32), kDark);
}

TEST(CutPicture, RoundCornerUsesRadiusFourOnA100By60Crop) {
    ASSERT_EQ(RoundCornerRadius(0, 0, 100, 60), 4);
    RasterImage work = testsupport::MakeSolidImage(100, 60, kDark);
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 100, 60}, cropbox::kShapeRoundCorner, 0.0), result));
    // Outside the curve: white; on it: a blend; past its end: the picture.
    EXPECT_EQ(PictureColor(result, 0, 0), kWhite);
    EXPECT_TRUE(IsBetweenDarkAndWhite(PictureColor(result, 3, 0)));
    EXPECT_TRUE(IsBetweenDarkAndWhite(PictureColor(result, 0, 3)));
    EXPECT_EQ(PictureColor(result, 4, 0), kDark);
    EXPECT_EQ(PictureColor(result, 0, 4), kDark);
    EXPECT_EQ(PictureColor(result, 2, 2), kDark);
    EXPECT_EQ(PictureColor(result, 50, 30), kDark);
}

TEST(CutPicture, RoundCornerRadiusIsRaisedToThreeOnA60By40Crop) {
    // rounded(0.05 x 50) = 3 (2.5 rounds away from zero); rounded(0.05 x 40) = 2 is raised to 3.
    ASSERT_EQ(RoundCornerRadius(0, 0, 60, 40), 3);
    ASSERT_EQ(RoundCornerRadius(0, 0, 50, 30), 3);
    RasterImage work = testsupport::MakeSolidImage(60, 40, kDark);
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 60, 40}, cropbox::kShapeRoundCorner, 0.0), result));
    // The radius-3 curve passes through (0.75, 0.75): the corner pixel is only partly outside.
    EXPECT_TRUE(IsBetweenDarkAndWhite(PictureColor(result, 0, 0)));
    EXPECT_TRUE(IsBetweenDarkAndWhite(PictureColor(result, 2, 0)));
    EXPECT_EQ(PictureColor(result, 3, 0), kDark);
    EXPECT_EQ(PictureColor(result, 0, 3), kDark);
}

TEST(CutPicture, SameRequestGivesTheSamePixels) {
    RasterImage work = testsupport::MakePatternImage(500, 400);
    const CutRequest request{700, 500, 350, 280, {120, 60, 460, 330}, cropbox::kShapeRoundCorner, 0.07};
    RasterImage first;
    RasterImage second;
    ASSERT_TRUE(CutPicture(work, request, first));
    ASSERT_TRUE(CutPicture(work, request, second));
    EXPECT_TRUE(SamePixels(first, second));
}

TEST(CutPicture, RefusalLeavesTheResultUntouched) {
    RasterImage work = testsupport::MakePatternImage(200, 100);
    const RasterImage before = testsupport::MakeSolidImage(3, 2, kDark);
    RasterImage result(before);
    // A box that maps to no pixels, an unknown shape, a missing picture.
    EXPECT_FALSE(CutPicture(work, FullSizeRequest(work, {50, 50, 50, 80}, cropbox::kShapeOval, 0.0), result));
    EXPECT_FALSE(CutPicture(work, FullSizeRequest(work, {0, 0, 100, 80}, 7, 0.0), result));
    EXPECT_FALSE(CutPicture(RasterImage(), FullSizeRequest(work, {0, 0, 100, 80}, cropbox::kShapeOval, 0.0), result));
    EXPECT_TRUE(SamePixels(result, before));
}
TEST(CutPicture, RoundCornerFigureReachesTheLastColumnAndRow) {
    RasterImage work = testsupport::MakeSolidImage(100, 60, kDark);
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 100, 60}, cropbox::kShapeRoundCorner, 0.0), result));
    for (uint32_t y = 5; y < 55; ++y) {
        ASSERT_EQ(PictureColor(result, 0, y), kDark) << y;
        ASSERT_EQ(PictureColor(result, 99, y), kDark) << y;
    }
    for (uint32_t x = 5; x < 95; ++x) {
        ASSERT_EQ(PictureColor(result, x, 0), kDark) << x;
        ASSERT_EQ(PictureColor(result, x, 59), kDark) << x;
    }
    for (const auto& [x, y] : {std::pair{0u, 0u}, {99u, 0u}, {0u, 59u}, {99u, 59u}}) {
        EXPECT_EQ(PictureColor(result, x, y), kWhite) << x << ", " << y;
    }

    // With a border the frame is equally wide on every side: inset rounded(0.1 x 80) = 8.
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, 100, 60}, cropbox::kShapeRoundCorner, 0.10), result));
    EXPECT_EQ(PictureColor(result, 7, 30), kWhite);
    EXPECT_EQ(PictureColor(result, 8, 30), kDark);
    EXPECT_EQ(PictureColor(result, 91, 30), kDark);
    EXPECT_EQ(PictureColor(result, 92, 30), kWhite);
    EXPECT_EQ(PictureColor(result, 50, 7), kWhite);
    EXPECT_EQ(PictureColor(result, 50, 8), kDark);
    EXPECT_EQ(PictureColor(result, 50, 51), kDark);
    EXPECT_EQ(PictureColor(result, 50, 52), kWhite);
}

// The painter reaches 32767 pixels a side, so masks are drawn in tiles. Tiles as small as a
// few pixels, cutting every edge and corner, give the mask of one pass byte for byte.
TEST(CutShapeMask, TilesGiveTheMaskOfOnePass) {
    constexpr int kWidth = 101;
    constexpr int kHeight = 67;
    struct PoolRelease {
        void operator()(uint8_t* plane) const { RasterBlockPool::Shared().Release(plane); }
    };
    using Plane = std::unique_ptr<uint8_t, PoolRelease>;
    for (const int shape : {cropbox::kShapeRectangle, cropbox::kShapeRoundCorner, cropbox::kShapeOval}) {
        for (const int inset : {0, 7}) {
            const Plane whole(MakeShapeMask(kWidth, kHeight, shape, inset));
            const Plane tiled(MakeShapeMask(kWidth, kHeight, shape, inset, 16));
            ASSERT_TRUE(whole && tiled);
            const size_t bytes = size_t(kWidth) * kHeight;
            EXPECT_TRUE(std::equal(whole.get(), whole.get() + bytes, tiled.get())) << "shape " << shape << ", inset " << inset;
            // An edge runs through the tiles: only a rectangle without border keeps everything.
            const bool cutsAway = inset > 0 || shape != cropbox::kShapeRectangle;
            EXPECT_EQ(std::count(whole.get(), whole.get() + bytes, uint8_t(0)) > 0, cutsAway);
            EXPECT_GT(std::count(whole.get(), whole.get() + bytes, uint8_t(255)), 0);
        }
    }
}

// A panorama wider than the painter reaches: the oval's corners are cut away to white all along
// the picture and its middle kept, on both sides of every tile edge.
TEST(CutPicture, OvalOnAPictureWiderThanThePainterReaches) {
    constexpr int kWidth = 40000;
    constexpr int kHeight = 1000;
    RasterImage work = testsupport::MakeSolidImage(kWidth, kHeight, kDark);
    ASSERT_TRUE(work.IsValid());
    RasterImage result;
    ASSERT_TRUE(CutPicture(work, FullSizeRequest(work, {0, 0, kWidth, kHeight}, cropbox::kShapeOval, 0.0), result));
    ASSERT_EQ(result.GetWidth(), uint32_t(kWidth));
    ASSERT_EQ(result.GetHeight(), uint32_t(kHeight));
    for (int y = 0; y < kHeight; y += 7) {
        for (int x = 0; x < kWidth; x += 61) {
            const double dx = (x + 0.5 - kWidth / 2.0) / (kWidth / 2.0);
            const double dy = (y + 0.5 - kHeight / 2.0) / (kHeight / 2.0);
            const double d = dx * dx + dy * dy;
            if (d < 0.95) {
                ASSERT_EQ(PictureColor(result, x, y), kDark) << "at " << x << ", " << y;
            } else if (d > 1.05) {
                ASSERT_EQ(PictureColor(result, x, y), kWhite) << "at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(PictureColor(result, 0, 0), kWhite);
    EXPECT_EQ(PictureColor(result, kWidth - 1, kHeight - 1), kWhite);
    EXPECT_EQ(PictureColor(result, kWidth / 2, kHeight / 2), kDark);
}
