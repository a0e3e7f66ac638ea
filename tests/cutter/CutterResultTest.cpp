// The cut at full resolution against the cut composed step by step, from the image core's
// public operations: a white, transparent canvas over both scaled rectangles, the scaled
// cutter copied in, the picture blended under its alpha, then cropped to the cutter. The
// result must be the same to the last byte, colours and alpha, wherever the picture lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <functional>
#include <string>
#include <vector>

#include "cutter/CutterComposition.h"
#include "cutter/CutterModel.h"
#include "CutterTestPictures.h"
#include "cutter/StarterCutters.h"
#include "TestSupport.h"

using namespace cutter;
using namespace cuttertest;

namespace {

RasterImage CutTheLongWay(const CutterModel& model) {
    const double scale = double(model.Picture().GetWidth()) / double(Width(model.Placement()));
    RasterRect cutterRect = Scaled(model.CutterRect(), scale);
    RasterRect pictureRect = Scaled(model.Placement(), scale);
    const RasterRect both = Union(cutterRect, pictureRect);
    cutterRect = Offset(cutterRect, -both.left, -both.top);
    pictureRect = Offset(pictureRect, -both.left, -both.top);
    const RasterRect canvasRect = Union(cutterRect, pictureRect);
    RasterImage cutter(model.Cutter());
    RasterImage scaledCutter;
    cutter.Rescale(uint32_t(Width(cutterRect)), uint32_t(Height(cutterRect)), RASTER_RESCALE_AREA, &scaledCutter);
    RasterImage canvas;
    canvas.Create(uint32_t(Width(canvasRect)), uint32_t(Height(canvasRect)), 24, RASTER_FORMAT_UNKNOWN);
    canvas.CreateAlpha();
    canvas.FillColor(kWhite);
    canvas.SetAlphaLevel(0);
    canvas.PasteAll(scaledCutter, 0, 0, cutterRect.left, cutterRect.top, RASTER_PASTE_COPY, 1.0);
    canvas.PasteAll(model.Picture(), 0, 0, pictureRect.left, pictureRect.top, RASTER_PASTE_ALPHA_BLEND, 1.0);
    canvas.Crop(cutterRect);
    return canvas;
}

// How the cutter comes to the cut's size.
enum class Scaling { Enlarged, Averaged, OwnSize };

// A picture, a cutter and the drags that place the picture before the cut.
struct Placement {
    std::string name;
    Scaling scaling;
    uint32_t pictureWidth;
    uint32_t pictureHeight;
    uint32_t cutterWidth;
    uint32_t cutterHeight;
    std::function<void(CutterModel&)> place;
    bool reverseAlpha = false;
};

void RightHandle(CutterModel& model, int32_t dx) {
    const RasterRect& r = model.Placement();
    Drag(model, {r.right, r.top + Height(r) / 2}, {r.right + dx, r.top + Height(r) / 2});
}

void Move(CutterModel& model, int32_t dx, int32_t dy) {
    const RasterRect& r = model.Placement();
    const Point middle{r.left + Width(r) / 2, r.top + Height(r) / 2};
    Drag(model, middle, {middle.x + dx, middle.y + dy});
}

std::vector<Placement> Placements() {
    const auto asPlaced = [](CutterModel&) {};
    return {
        // The cutter enlarged about six times onto a picture that fills it.
        {"first placement", Scaling::Enlarged, 700, 530, 120, 90, asPlaced},
        {"first placement, reversed alpha", Scaling::Enlarged, 700, 530, 120, 90, asPlaced, true},
        // Smaller and partly outside the cutter, up and to the left.
        {"picture up-left, partly outside", Scaling::Enlarged, 700, 530, 120, 90,
         [](CutterModel& m) {
             RightHandle(m, -150);
             Move(m, -110, -160);
         }},
        // Larger than the cutter and beyond it on the right and below, at 700 / 547 per pixel.
        {"picture beyond the cutter", Scaling::Enlarged, 700, 530, 120, 90,
         [](CutterModel& m) {
             RightHandle(m, 147);
             Move(m, 23, 31);
         }},
        // Odd offsets and a scale far from a whole number.
        {"odd offsets, uneven scale", Scaling::Enlarged, 701, 529, 117, 91,
         [](CutterModel& m) {
             RightHandle(m, -33);
             Move(m, 13, -7);
         }},
        // The cutter is larger than the cut: it is averaged down, not sampled.
        {"cutter larger than its cut", Scaling::Averaged, 300, 200, 1200, 900, asPlaced},
        {"cutter larger than its cut, reversed alpha", Scaling::Averaged, 300, 200, 1200, 900, [](CutterModel& m) { Move(m, 9, 4); },
         true},
        // One picture pixel per control pixel: the cutter keeps its size.
        {"cutter at its own size", Scaling::OwnSize, 400, 260, 400, 300, [](CutterModel& m) { RightHandle(m, 80); }},
    };
}

}  // namespace

TEST(CutterResult, EqualsTheCutComposedStepByStepForEveryPlacement) {
    for (const Placement& p : Placements()) {
        for (bool ownColours : {true, false}) {
            SCOPED_TRACE(p.name + (ownColours ? ", coloured cutter" : ", grey cutter"));
            CutterModel model = BuiltModel(testsupport::MakePatternImage(p.pictureWidth, p.pictureHeight),
                                           MakeVignetteCutter(p.cutterWidth, p.cutterHeight, ownColours));
            p.place(model);
            if (p.reverseAlpha) {
                ASSERT_TRUE(model.ReverseAlpha());
                model.BuildBackdrop(kControl, kControl);
            }
            ASSERT_TRUE(model.CanCut());
            RasterImage result;
            ASSERT_TRUE(model.GetResult(result));
            EXPECT_TRUE(testsupport::SamePixels(result, CutTheLongWay(model)));
        }
    }
}

TEST(CutterResult, PlacementsReachTheCasesTheyAreNamedFor) {
    for (const Placement& p : Placements()) {
        SCOPED_TRACE(p.name);
        CutterModel model = BuiltModel(testsupport::MakePatternImage(p.pictureWidth, p.pictureHeight),
                                       MakeVignetteCutter(p.cutterWidth, p.cutterHeight, true));
        p.place(model);
        RasterImage result;
        ASSERT_TRUE(model.GetResult(result));
        switch (p.scaling) {
            case Scaling::Enlarged:
                EXPECT_GT(result.GetWidth(), p.cutterWidth);
                EXPECT_GT(result.GetHeight(), p.cutterHeight);
                break;
            case Scaling::Averaged:
                EXPECT_LT(result.GetWidth(), p.cutterWidth);
                EXPECT_LT(result.GetHeight(), p.cutterHeight);
                break;
            case Scaling::OwnSize:
                EXPECT_EQ(result.GetWidth(), p.cutterWidth);
                EXPECT_EQ(result.GetHeight(), p.cutterHeight);
                break;
        }
    }
    // The two drags that put the picture partly outside the cutter do so.
    const std::vector<Placement> all = Placements();
    const auto named = [&all](const std::string& name) {
        return std::find_if(all.begin(), all.end(), [&name](const Placement& p) { return p.name == name; })->place;
    };
    CutterModel upLeft = BuiltModel(testsupport::MakePatternImage(700, 530), MakeVignetteCutter(120, 90, true));
    named("picture up-left, partly outside")(upLeft);
    EXPECT_LT(upLeft.Placement().left, upLeft.CutterRect().left);
    EXPECT_LT(upLeft.Placement().top, upLeft.CutterRect().top);
    EXPECT_LT(upLeft.Placement().right, upLeft.CutterRect().right);
    CutterModel beyond = BuiltModel(testsupport::MakePatternImage(700, 530), MakeVignetteCutter(120, 90, true));
    named("picture beyond the cutter")(beyond);
    EXPECT_GT(beyond.Placement().right, beyond.CutterRect().right);
    EXPECT_GT(beyond.Placement().bottom, beyond.CutterRect().bottom);
}

// The cutters that come with the program (one or two colours, hard and soft edges, long runs of
// equal rows), enlarged onto a photograph-sized picture: the same bytes as the long way.
TEST(CutterResult, StarterCuttersCutAsTheStepsSay) {
    const QString folder = StarterCutterFolder();
    ASSERT_FALSE(folder.isEmpty());
    const RasterImage picture = testsupport::MakePatternImage(1900, 1300);
    for (const char* name : {"heart.png", "star.png", "oval-vignette.png", "rounded-frame.png"}) {
        SCOPED_TRACE(name);
        RasterImage cutter;
        ASSERT_TRUE(cutter.Load((folder + QStringLiteral("/") + QString::fromUtf8(name)).toUtf8().constData(),
                                RASTER_FORMAT_UNKNOWN));
        CutterModel model = BuiltModel(picture, cutter);
        ASSERT_TRUE(model.CanCut());
        RasterImage result;
        ASSERT_TRUE(model.GetResult(result));
        EXPECT_GT(result.GetWidth(), cutter.GetWidth());  // enlarged: sampled row by row
        EXPECT_TRUE(testsupport::SamePixels(result, CutTheLongWay(model)));
    }
}

// A panorama wider than Qt's painter reaches (32767 pixels) is cut all the same: the picture
// shows through the vignette's clear middle, the cutter's opaque corners keep their colours.
TEST(CutterResult, APanoramaWiderThanThePainterReachesIsCut) {
    RasterImage cutter = MakeVignetteCutter(40, 30, true);
    const RasterImage picture = testsupport::MakeSolidImage(40000, 1000, kRed);
    RasterImage cut;
    ASSERT_TRUE(ComposeCut(cutter, std::nullopt, picture, CutLayout{40000, 1000, 0, 0}, cut));
    ASSERT_EQ(cut.GetWidth(), 40000u);
    ASSERT_EQ(cut.GetHeight(), 1000u);
    for (const uint32_t x : {10000u, 20000u, 30000u}) EXPECT_EQ(testsupport::PictureColor(cut, x, 500), kRed) << x;
    for (const auto& [x, y] : {std::pair{0u, 0u}, std::pair{39999u, 999u}}) {
        EXPECT_EQ(PictureAlpha(cut, x, y), 255) << x << ", " << y;
        EXPECT_NE(testsupport::PictureColor(cut, x, y), kRed) << x << ", " << y;
    }
}

TEST(CutterResult, ComposedCutRefusesAnEmptySizeAndLeavesTheOutputAlone) {
    RasterImage cutter = MakeVignetteCutter(40, 30, true);
    const RasterImage picture = testsupport::MakePatternImage(50, 50);
    RasterImage cut = testsupport::MakeSolidImage(2, 2, kRed);
    EXPECT_FALSE(ComposeCut(cutter, std::nullopt, picture, CutLayout{0, 30, 0, 0}, cut));
    EXPECT_EQ(cut.GetWidth(), 2u);
    // A picture wholly beside the cut leaves the scaled cutter as it is.
    ASSERT_TRUE(ComposeCut(cutter, std::nullopt, picture, CutLayout{80, 60, 80, 0}, cut));
    RasterImage scaled;
    ASSERT_TRUE(cutter.Rescale(80, 60, RASTER_RESCALE_AREA, &scaled));
    EXPECT_TRUE(testsupport::SamePixels(cut, scaled));
}

namespace {

// A cutter with its own colours whose alpha is 0 over wide stretches (a large window, its
// left edge `shift` columns right of the usual place, and a band at the left edge), 255 around
// them and a ramp at the bottom: the composition may leave out the cutter's colours wherever
// the picture replaces them.
RasterImage MakeWindowCutter(uint32_t width, uint32_t height, uint32_t shift) {
    RasterImage cutter = testsupport::MakePatternImage(width, height);
    if (!cutter.CreateAlpha()) return RasterImage();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool window =
                x > width / 5 + shift && x < width - width / 6 && y > height / 4 && y < height - height / 5;
            const bool band = x < 4;
            uint8_t level = window || band ? 0 : 255;
            if (y < 3) level = uint8_t(x * 255 / width);  // stored bottom rows: a ramp
            *cutter.AlphaPointer(x, y) = level;
        }
    }
    return cutter;
}

// Leaves picture blocks full of a marker in the pool, so that any byte of a new picture of
// that size that is not written shows.
void LeaveMarkedBlocks(uint32_t width, uint32_t height) {
    RasterImage leftover;
    if (!leftover.Create(width, height, 24, RASTER_FORMAT_UNKNOWN) || !leftover.CreateAlpha()) return;
    std::memset(leftover.GetBits(), 0x6D, leftover.GetHeader().biSizeImage);
    leftover.SetAlphaLevel(0x6D);
}

}  // namespace

TEST(CutterResult, TransparentStretchesOverThePictureGiveTheBlendedBytesWhereverThePictureLies) {
    constexpr uint32_t kWidth = 1096;
    constexpr uint32_t kHeight = 700;
    const RasterImage picture = testsupport::MakePatternImage(903, 651);
    // Inside, across the left and the top edges at odd columns, partly beyond the right edge,
    // and wholly beside the cut.
    const std::vector<std::pair<int64_t, int64_t>> offsets{{0, 0},    {37, 21},  {-45, -13}, {101, 3},
                                                           {700, 40}, {1095, 0}, {1500, 9}};
    // At about 19.2 cut pixels per cutter pixel, the window's left edge falls on many columns
    // within the composition's stretches of 32 pixels as it moves, the first column among them.
    for (uint32_t shift = 0; shift < 8; ++shift) {
        RasterImage cutter = MakeWindowCutter(57, 37, shift);
        RasterImage scaled;
        ASSERT_TRUE(cutter.Rescale(kWidth, kHeight, RASTER_RESCALE_AREA, &scaled));
        for (size_t i = shift % 2; i < offsets.size(); i += 2) {
            const auto [x, y] = offsets[i];
            SCOPED_TRACE(testing::Message() << "window shifted by " << shift << ", picture at " << x << ", " << y);
            RasterImage expected(scaled);
            ASSERT_TRUE(expected.PasteAll(picture, 0, 0, int32_t(x), int32_t(y), RASTER_PASTE_ALPHA_BLEND, 1.0));
            LeaveMarkedBlocks(kWidth, kHeight);
            RasterImage cut;
            ASSERT_TRUE(ComposeCut(cutter, std::nullopt, picture, CutLayout{kWidth, kHeight, x, y}, cut));
            EXPECT_TRUE(testsupport::SamePixels(cut, expected));
        }
    }
}

// A window of a rescaled picture is that part of the whole rescale, byte for byte, for
// enlargements of both sides, of one side, reductions, the picture's own size, and windows at
// every edge; a window beyond the size is refused.
// Between equal cutter rows the cut copies the colours of the first row it made there. Where the
// picture begins or ends among such rows, the rows beside the picture need the colours of the
// transparent stretches that the rows over it left out: they must not be copied from those.
TEST(CutterResult, EqualCutterRowsGiveTheBlendedBytesWhereThePictureBeginsAndEndsAmongThem) {
    // Every row alike: transparent on the left half, opaque on the right, its own colours.
    RasterImage cutter = testsupport::MakePatternImage(8, 4);
    ASSERT_TRUE(cutter.CreateAlpha());
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 8; ++x) *cutter.AlphaPointer(x, y) = x < 4 ? 0 : 255;
        std::memcpy(cutter.RowPointer(y), cutter.RowPointer(0), 8 * 3);
    }
    constexpr uint32_t kWidth = 256;
    constexpr uint32_t kHeight = 128;  // 32 rows of the cut per cutter row
    const RasterImage picture = testsupport::MakePatternImage(kWidth, 50);
    RasterImage scaled;
    ASSERT_TRUE(cutter.Rescale(kWidth, kHeight, RASTER_RESCALE_AREA, &scaled));
    for (const int64_t top : {int64_t(30), int64_t(-20), int64_t(100)}) {
        SCOPED_TRACE(testing::Message() << "picture from row " << top);
        RasterImage expected(scaled);
        ASSERT_TRUE(expected.PasteAll(picture, 0, 0, 0, int32_t(top), RASTER_PASTE_ALPHA_BLEND, 1.0));
        LeaveMarkedBlocks(kWidth, kHeight);
        RasterImage cut;
        ASSERT_TRUE(ComposeCut(cutter, std::nullopt, picture, CutLayout{kWidth, kHeight, 0, top}, cut));
        EXPECT_TRUE(testsupport::SamePixels(cut, expected));
    }
}

TEST(CutterPlacedPreview, RescaleWindowGivesThePartOfTheWholeRescale) {
    RasterImage picture = testsupport::MakePatternImage(61, 37);
    struct Case {
        uint32_t width;
        uint32_t height;
    };
    for (const Case size : {Case{700, 500}, Case{97, 37}, Case{61, 90}, Case{40, 20}, Case{61, 37}, Case{62, 30}}) {
        RasterImage whole;
        ASSERT_TRUE(picture.Rescale(size.width, size.height, RASTER_RESCALE_AREA, &whole));
        const auto w = int32_t(size.width);
        const auto h = int32_t(size.height);
        for (const RasterRect window : {RasterRect{0, 0, w, h}, RasterRect{0, 0, 1, 1}, RasterRect{w - 1, h - 1, w, h},
                                        RasterRect{w / 3, h / 4, w - w / 5, h - h / 3}, RasterRect{1, 0, w, h / 2},
                                        RasterRect{0, h / 2, w / 2 + 1, h}}) {
            SCOPED_TRACE(testing::Message() << size.width << " x " << size.height << ", window " << window.left << ", "
                                            << window.top << ", " << window.right << ", " << window.bottom);
            RasterImage expected;
            ASSERT_TRUE(whole.Crop(window, &expected));
            RasterImage part;
            ASSERT_TRUE(RescaleWindow(picture, size.width, size.height, window, part));
            EXPECT_TRUE(testsupport::SamePixels(part, expected));
        }
        RasterImage part;
        EXPECT_FALSE(RescaleWindow(picture, size.width, size.height, RasterRect{0, 0, w + 1, h}, part));
        EXPECT_FALSE(RescaleWindow(picture, size.width, size.height, RasterRect{-1, 0, w, h}, part));
    }
}

// A placement dragged far larger than the control still paints what the whole enlargement
// pasted at its place would show.
TEST(CutterPlacedPreview, HugePlacementPaintsItsVisiblePart) {
    CutterModel model = BuiltModel(testsupport::MakePatternImage(300, 200), MakeSquareShapeCutter(100));
    // The right handle, again and again: the height follows.
    for (int i = 0; i < 8; ++i) {
        const RasterRect p = model.Placement();
        const int32_t middle = (p.top + p.bottom) / 2;
        ASSERT_TRUE(model.BeginDrag({p.right, middle}));
        ASSERT_EQ(model.CurrentDragMode(), DRAG_RIGHT);
        model.DragTo({p.right + 400, middle});
        model.EndDrag();
    }
    // Then the body, up and to the left: the placement reaches beyond every side of the control.
    ASSERT_TRUE(model.BeginDrag({kControl / 2, kControl / 2}));
    ASSERT_EQ(model.CurrentDragMode(), DRAG_MOVE);
    model.DragTo({kControl / 2 - 777, kControl / 2 - 555});
    model.EndDrag();
    const RasterRect p = model.Placement();
    ASSERT_GT(p.right - p.left, 4 * kControl);
    ASSERT_LT(p.left, 0);
    ASSERT_LT(p.top, 0);
    ASSERT_GT(p.right, kControl);
    ASSERT_GT(p.bottom, kControl);
    RasterImage frame;
    ASSERT_TRUE(model.ComposeFrame(frame));

    // The long way: the whole preview at the placement's size, pasted onto the backdrop.
    RasterImage expected(model.Backdrop());
    RasterImage whole;
    ASSERT_TRUE(RasterImage(model.Preview()).Rescale(uint32_t(p.right - p.left), uint32_t(p.bottom - p.top),
                                                      RASTER_RESCALE_AREA, &whole));
    ASSERT_TRUE(expected.PasteAll(whole, 0, 0, p.left, p.top, RASTER_PASTE_ALPHA_BLEND, 1.0));
    expected.DeleteAlpha();
    EXPECT_TRUE(testsupport::SamePixels(frame, expected));
}
