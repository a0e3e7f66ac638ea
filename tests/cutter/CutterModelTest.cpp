// The preview control's model without a window: conversions of the picture and the cutter,
// the backdrop and the first placement, the drag rules, the cut limit and what the cut shows.
#include <gtest/gtest.h>

#include "cutter/CutterModel.h"
#include "CutterTestPictures.h"
#include "MetadataFixtures.h"
#include "TestSupport.h"

using namespace cutter;
using namespace cuttertest;
using testsupport::PictureColor;

namespace {

::testing::AssertionResult RectIs(const RasterRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (SameRect(r, RasterRect{left, top, right, bottom})) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rect is (" << r.left << ", " << r.top << ", " << r.right << ", "
                                         << r.bottom << "), expected (" << left << ", " << top << ", " << right
                                         << ", " << bottom << ")";
}

}  // namespace

TEST(CutterModel, PictureBecomes24BitsWithTransparentPartsWhite) {
    RasterImage palette;
    ASSERT_TRUE(palette.Create(2, 1, 8, RASTER_FORMAT_UNKNOWN));
    const RasterRgbQuad entries[2] = {{0, 0, 255, 0}, {255, 0, 0, 0}};
    palette.SetPalette(entries, 2);
    palette.SetPixelIndex(0, 0, 0);
    palette.SetPixelIndex(1, 0, 1);
    palette.SetTransparentIndex(0);
    palette.SetTransparentColor(entries[0]);

    CutterModel model;
    model.SetPicture(palette);
    const RasterImage& picture = model.Picture();
    ASSERT_TRUE(picture.IsValid());
    EXPECT_EQ(picture.GetBpp(), 24u);
    EXPECT_FALSE(picture.HasAlpha());
    EXPECT_EQ(PictureColor(picture, 0, 0), kWhite);
    EXPECT_EQ(PictureColor(picture, 1, 0), kBlue);
}

TEST(CutterModel, GreyCutterTakesItsAverageAsAlphaAndTurnsWhite) {
    CutterModel model;
    model.SetCutter(testsupport::MakeSolidImage(3, 2, RasterRgb(10, 20, 31)));
    const RasterImage& cutter = model.Cutter();
    ASSERT_TRUE(cutter.HasAlpha());
    EXPECT_EQ(PictureAlpha(cutter, 2, 1), 20);  // 61 / 3, rounded down
    EXPECT_EQ(PictureColor(cutter, 2, 1), kWhite);
}

TEST(CutterModel, ReverseAlphaInvertsAndTwiceGivesTheCutterBack) {
    RasterImage source = testsupport::MakePatternImage(16, 8);
    testsupport::AddPatternAlpha(source);
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(40, 30, kGreen), source);
    ASSERT_TRUE(model.HasBackdrop());
    ASSERT_TRUE(testsupport::SamePixels(model.Cutter(), source));  // its own alpha and colours kept

    ASSERT_TRUE(model.ReverseAlpha());
    EXPECT_FALSE(model.HasBackdrop());  // rebuilt by the next paint
    EXPECT_EQ(PictureAlpha(model.Cutter(), 3, 5), 255 - PictureAlpha(source, 3, 5));
    ASSERT_TRUE(model.ReverseAlpha());
    EXPECT_TRUE(testsupport::SamePixels(model.Cutter(), source));

    CutterModel empty;
    EXPECT_FALSE(empty.ReverseAlpha());
}

TEST(CutterModel, LargePictureIsFittedAndPlacedAtFourFifths) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), RasterImage());
    EXPECT_EQ(model.Preview().GetWidth(), 500u);
    EXPECT_EQ(model.Preview().GetHeight(), 250u);
    EXPECT_TRUE(RectIs(model.Placement(), 50, 150, 450, 350));
}

TEST(CutterModel, SmallPictureKeepsItsSizeAndIsPlacedAtFourFifths) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(200, 100, kGreen), RasterImage());
    EXPECT_EQ(model.Preview().GetWidth(), 200u);
    EXPECT_EQ(model.Preview().GetHeight(), 100u);
    EXPECT_TRUE(RectIs(model.Placement(), 170, 210, 330, 290));
}

TEST(CutterModel, CutterIsCentredAtFourFifthsOfTheControl) {
    CutterModel model;
    model.SetCutter(testsupport::MakeSolidImage(300, 200, kBlack));
    model.BuildBackdrop(500, 400);
    // Box 400 x 320 is relatively taller than 3:2, so the width fills it: 400 x 266.67.
    EXPECT_TRUE(RectIs(model.CutterRect(), 50, 66, 450, 333));
    const RasterImage& backdrop = model.Backdrop();
    EXPECT_EQ(PictureAlpha(backdrop, 10, 10), 255);   // opaque black outside the cutter
    EXPECT_EQ(PictureColor(backdrop, 10, 10), kBlack);
    EXPECT_EQ(PictureAlpha(backdrop, 250, 200), 0);   // a black cutter lets everything through
    EXPECT_EQ(PictureColor(backdrop, 250, 200), kWhite);
}

TEST(CutterModel, FrameShowsThePictureThroughTheBackdropsAlpha) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 1000, kBlue), MakeSquareShapeCutter(100));
    RasterImage frame;
    ASSERT_TRUE(model.ComposeFrame(frame));
    EXPECT_FALSE(frame.HasAlpha());
    EXPECT_EQ(PictureColor(frame, 250, 250), kBlue);   // inside the shape
    EXPECT_EQ(PictureColor(frame, 70, 250), kWhite);   // the cutter around it
    EXPECT_EQ(PictureColor(frame, 20, 250), kBlack);   // outside the cutter

    // Without a cutter the whole picture shows where it is placed.
    CutterModel bare = BuiltModel(testsupport::MakeSolidImage(1000, 1000, kBlue), RasterImage());
    ASSERT_TRUE(bare.ComposeFrame(frame));
    EXPECT_EQ(PictureColor(frame, 60, 60), kBlue);
    EXPECT_EQ(PictureColor(frame, 20, 250), kBlack);
}

TEST(CutterModel, HitTestFindsHandlesThenTheBodyOnlyWithBothPictures) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
    ASSERT_TRUE(RectIs(model.Placement(), 50, 150, 450, 350));
    EXPECT_EQ(model.HitTestPlacement({50, 250}), DRAG_LEFT);
    EXPECT_EQ(model.HitTestPlacement({250, 147}), DRAG_TOP);
    EXPECT_EQ(model.HitTestPlacement({453, 253}), DRAG_RIGHT);
    EXPECT_EQ(model.HitTestPlacement({454, 250}), DRAG_NONE);  // handles exclude their right edge
    EXPECT_EQ(model.HitTestPlacement({246, 350}), DRAG_BOTTOM);
    EXPECT_EQ(model.HitTestPlacement({100, 200}), DRAG_MOVE);
    EXPECT_EQ(model.HitTestPlacement({449, 200}), DRAG_MOVE);
    EXPECT_EQ(model.HitTestPlacement({100, 350}), DRAG_NONE);  // the bottom edge is outside

    CutterModel withoutCutter = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), RasterImage());
    EXPECT_EQ(withoutCutter.HitTestPlacement({100, 200}), DRAG_NONE);
    EXPECT_FALSE(withoutCutter.BeginDrag({100, 200}));
}

TEST(CutterModel, RightHandleStopsWhileTheWidthWouldNotExceedSixteen) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
    ASSERT_TRUE(model.BeginDrag({450, 250}));
    EXPECT_EQ(model.CurrentDragMode(), DRAG_RIGHT);
    EXPECT_TRUE(model.DragTo({250, 260}));
    EXPECT_TRUE(RectIs(model.Placement(), 50, 150, 250, 250));  // height follows 2:1

    EXPECT_FALSE(model.DragTo({66, 250}));  // width 16: refused, the anchor stays at 250
    EXPECT_TRUE(RectIs(model.Placement(), 50, 150, 250, 250));
    EXPECT_EQ(model.LastMousePosition().x, 250);
    EXPECT_TRUE(model.DragTo({67, 250}));   // width 17, height 8.5 rounded away from zero
    EXPECT_TRUE(RectIs(model.Placement(), 50, 150, 67, 159));
    model.EndDrag();
    EXPECT_EQ(model.CurrentDragMode(), DRAG_NONE);
    EXPECT_FALSE(model.DragTo({300, 250}));
}

// The same limit on the other three handles: a side may shrink to 17 pixels, not to 16, and a
// refused step leaves the placement and the anchor as they were.
TEST(CutterModel, EveryHandleStopsWhileItsSideWouldNotExceedSixteen) {
    struct Case {
        const char* handle;
        Point grab;
        Point refused;
        Point accepted;
        RasterRect result;
    };
    // The placement is (50, 150) - (450, 350), 2:1.
    const Case cases[] = {
        {"left", {50, 250}, {434, 250}, {433, 250}, {433, 150, 450, 159}},
        {"top", {250, 150}, {250, 334}, {250, 333}, {50, 333, 84, 350}},
        {"bottom", {250, 350}, {250, 166}, {250, 167}, {50, 150, 84, 167}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handle);
        CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
        ASSERT_TRUE(RectIs(model.Placement(), 50, 150, 450, 350));
        ASSERT_TRUE(model.BeginDrag(c.grab));
        EXPECT_FALSE(model.DragTo(c.refused));
        EXPECT_TRUE(RectIs(model.Placement(), 50, 150, 450, 350));
        EXPECT_EQ(model.LastMousePosition().x, c.grab.x);
        EXPECT_EQ(model.LastMousePosition().y, c.grab.y);
        EXPECT_TRUE(model.DragTo(c.accepted));
        EXPECT_TRUE(RectIs(model.Placement(), c.result.left, c.result.top, c.result.right, c.result.bottom));
    }
}

TEST(CutterModel, OtherHandlesResizeAndTheBodyMoves) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
    Drag(model, {50, 250}, {150, 250});  // left: the top stays, the bottom follows
    EXPECT_TRUE(RectIs(model.Placement(), 150, 150, 450, 300));
    Drag(model, {300, 150}, {300, 100});  // top: the left stays, the right follows
    EXPECT_TRUE(RectIs(model.Placement(), 150, 100, 550, 300));
    Drag(model, {350, 300}, {350, 200});  // bottom
    EXPECT_TRUE(RectIs(model.Placement(), 150, 100, 350, 200));
    Drag(model, {200, 150}, {190, 170});  // move
    EXPECT_TRUE(RectIs(model.Placement(), 140, 120, 340, 220));
    Drag(model, {250, 170}, {250, 170});  // no change
    EXPECT_TRUE(RectIs(model.Placement(), 140, 120, 340, 220));
}

TEST(CutterModel, ResizeThatWouldLeaveAnEmptyPlacementIsRefused) {
    // At 100:1 a width of 20 gives a height of 0.2: the picture would vanish for good.
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(10000, 100, kGreen), MakeSquareShapeCutter(100));
    ASSERT_TRUE(RectIs(model.Placement(), 50, 248, 450, 252));
    ASSERT_TRUE(model.BeginDrag({450, 250}));
    EXPECT_FALSE(model.DragTo({70, 250}));
    EXPECT_TRUE(RectIs(model.Placement(), 50, 248, 450, 252));
    EXPECT_TRUE(model.DragTo({150, 250}));  // width 100, height 1
    EXPECT_TRUE(RectIs(model.Placement(), 50, 248, 150, 249));
}

TEST(CutterModel, CutIsRefusedFromTenThousandPixelsOn) {
    // A 4000 x 40 picture placed 400 wide: 10 picture pixels per control pixel.
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(4000, 40, kGreen), MakeSquareShapeCutter(100));
    ASSERT_TRUE(RectIs(model.Placement(), 50, 248, 450, 252));
    EXPECT_TRUE(model.CanCut());  // the 400-pixel cutter measures 4000
    ASSERT_TRUE(model.BeginDrag({450, 250}));
    ASSERT_TRUE(model.DragTo({210, 250}));  // 160 wide: 25 per pixel, the cutter measures 10000
    EXPECT_FALSE(model.CanCut());
    RasterImage untouched = testsupport::MakeSolidImage(3, 3, kRed);
    EXPECT_FALSE(model.GetResult(untouched));
    EXPECT_EQ(untouched.GetWidth(), 3u);
    EXPECT_EQ(PictureColor(untouched, 1, 1), kRed);
    ASSERT_TRUE(model.DragTo({211, 250}));  // 161 wide: 9938
    EXPECT_TRUE(model.CanCut());
}

TEST(CutterModel, NewCutterCannotCutBeforeItsBackdropIsBuilt) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
    ASSERT_TRUE(model.CanCut());
    model.SetCutter(testsupport::MakeSolidImage(300, 100, kBlack));
    EXPECT_FALSE(model.CanCut());
    RasterImage result;
    EXPECT_FALSE(model.GetResult(result));
    model.BuildBackdrop(kControl, kControl);
    EXPECT_TRUE(model.CanCut());
    ASSERT_TRUE(model.GetResult(result));
    // The new cutter's own shape, 3:1, not the old square one's.
    EXPECT_NEAR(double(result.GetWidth()) / result.GetHeight(), 3.0, 0.05);
}

TEST(CutterModel, CutIsRefusedWhenThePictureLiesBesideTheCutter) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 500, kGreen), MakeSquareShapeCutter(100));
    Drag(model, {100, 200}, {100 + 400, 200});  // placement 450..850, cutter 50..450: they only touch
    EXPECT_FALSE(model.CanCut());
    Drag(model, {460, 200}, {459, 200});
    EXPECT_TRUE(model.CanCut());
    EXPECT_FALSE(CutterModel().CanCut());
}

TEST(CutterModel, BlackShapeOnWhiteLetsThePictureThroughTheShapeOnly) {
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 1000, kBlue), MakeSquareShapeCutter(100));
    RasterImage result;
    ASSERT_TRUE(model.GetResult(result));
    ASSERT_EQ(result.GetWidth(), 1000u);
    ASSERT_EQ(result.GetHeight(), 1000u);
    EXPECT_EQ(PictureColor(result, 500, 500), kBlue);
    EXPECT_EQ(PictureAlpha(result, 500, 500), 0);
    EXPECT_EQ(PictureColor(result, 100, 100), kWhite);
    EXPECT_EQ(PictureColor(result, 900, 500), kWhite);
    EXPECT_EQ(PictureAlpha(result, 900, 500), 255);

    model.ReverseAlpha();
    model.BuildBackdrop(kControl, kControl);
    ASSERT_TRUE(model.GetResult(result));
    EXPECT_EQ(PictureColor(result, 500, 500), kWhite);
    EXPECT_EQ(PictureColor(result, 100, 100), kBlue);
    EXPECT_EQ(PictureColor(result, 900, 500), kBlue);
}

TEST(CutterModel, CutterWithItsOwnAlphaKeepsItsColoursWhereOpaque) {
    RasterImage cutter = testsupport::MakeSolidImage(100, 100, kRed);
    ASSERT_TRUE(cutter.CreateAlpha());
    for (uint32_t y = 0; y < 100; ++y) {
        for (uint32_t x = 50; x < 100; ++x) *cutter.AlphaPointer(x, y) = 0;
    }
    CutterModel model = BuiltModel(testsupport::MakeSolidImage(1000, 1000, kGreen), cutter);
    RasterImage result;
    ASSERT_TRUE(model.GetResult(result));
    EXPECT_EQ(PictureColor(result, 100, 500), kRed);
    EXPECT_EQ(PictureColor(result, 900, 500), kGreen);
}

TEST(CutterModel, ResultTakesThePicturesFullResolutionPixelsAndTheCuttersColoursBeyondIt) {
    const RasterImage picture = testsupport::MakePatternImage(1000, 1000);
    // A black cutter without alpha lets everything through and is white where nothing lies under it.
    CutterModel model = BuiltModel(picture, testsupport::MakeSolidImage(100, 100, kBlack));
    ASSERT_TRUE(RectIs(model.Placement(), 50, 50, 450, 450));
    ASSERT_TRUE(RectIs(model.CutterRect(), 50, 50, 450, 450));
    RasterImage result;
    ASSERT_TRUE(model.GetResult(result));
    result.DeleteAlpha();
    EXPECT_TRUE(testsupport::SamePixels(result, picture));

    // Moved by (20, 10) control pixels = (50, 25) picture pixels.
    Drag(model, {250, 250}, {270, 260});
    ASSERT_TRUE(model.GetResult(result));
    ASSERT_EQ(result.GetWidth(), 1000u);
    for (uint32_t y : {25u, 26u, 500u, 999u}) {
        for (uint32_t x : {50u, 51u, 700u, 999u}) {
            ASSERT_EQ(PictureColor(result, x, y), PictureColor(picture, x - 50, y - 25)) << x << ", " << y;
        }
    }
    EXPECT_EQ(PictureColor(result, 49, 500), kWhite);
    EXPECT_EQ(PictureColor(result, 500, 24), kWhite);
}

TEST(CutterModel, ResultIsTheCutterAtThePicturesScale) {
    CutterModel model;
    model.SetPicture(testsupport::MakeSolidImage(800, 600, kGreen));
    model.SetCutter(testsupport::MakeSolidImage(300, 200, kBlack));
    model.BuildBackdrop(500, 400);
    ASSERT_TRUE(RectIs(model.Placement(), 50, 50, 450, 350));  // preview 500 x 375 at 80 %
    ASSERT_TRUE(RectIs(model.CutterRect(), 50, 66, 450, 333));
    RasterImage result;
    ASSERT_TRUE(model.GetResult(result));  // two picture pixels per control pixel
    EXPECT_EQ(result.GetWidth(), 800u);
    EXPECT_EQ(result.GetHeight(), 534u);  // 2 x 333 - 2 x 66
    EXPECT_TRUE(result.HasAlpha());
}

// The preview shows a tagged picture's colours as its profile means them; the cut uses the
// picture's own numbers.
TEST(CutterModel, PreviewFollowsThePicturesColourProfile) {
    const RasterImage picture = testsupport::MakeSolidImage(800, 600, RasterRgb(120, 200, 90));
    CutterModel plain;
    CutterModel tagged;
    plain.SetPicture(picture);
    tagged.SetPicture(picture, testsupport::MakeDisplayP3Profile());
    for (CutterModel* model : {&plain, &tagged}) {
        model->SetCutter(testsupport::MakeSolidImage(300, 200, kBlack));
        model->BuildBackdrop(500, 400);
    }
    ASSERT_TRUE(plain.Preview().IsValid());
    ASSERT_TRUE(tagged.Preview().IsValid());
    EXPECT_NEAR(RasterRed(PictureColor(plain.Preview(), 10, 10)), 120, 2);
    EXPECT_LT(RasterRed(PictureColor(tagged.Preview(), 10, 10)), 110);
    RasterImage plainResult;
    RasterImage taggedResult;
    ASSERT_TRUE(plain.GetResult(plainResult));
    ASSERT_TRUE(tagged.GetResult(taggedResult));
    EXPECT_TRUE(testsupport::SamePixels(plainResult, taggedResult));
}
