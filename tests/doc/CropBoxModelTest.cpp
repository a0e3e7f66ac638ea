#include <gtest/gtest.h>

#include <cmath>

#include "commands/CommandIds.h"
#include "doc/CropBoxModel.h"

using namespace cropbox;

namespace {

CropBoxModel ModelWithBox(Rect box, uint32_t preset = cmd::ID_PRESET_FREE) {
    CropBoxModel model;
    model.m_presetId = preset;
    model.m_crop = box;
    return model;
}

}  // namespace

TEST(CropBoxRounding, HalvesGoAwayFromZeroAndHalvingTruncates) {
    EXPECT_EQ(Round(2.5), 3);
    EXPECT_EQ(Round(2.4999), 2);
    EXPECT_EQ(Round(-2.5), -3);
    EXPECT_EQ(Round(-2.4), -2);
    EXPECT_EQ(Halve(7), 3);
    EXPECT_EQ(Halve(-7), -3);
    // Out of the int range the result saturates (a plain conversion would be undefined).
    EXPECT_EQ(Round(2147483646.6), 2147483647);
    EXPECT_EQ(Round(4e12), 2147483647);
    EXPECT_EQ(Round(-4e12), -2147483647 - 1);
    EXPECT_EQ(Round(std::nan("")), 0);
}

TEST(CropBoxTables, PresetsBordersAndLabels) {
    CropBoxModel model;
    EXPECT_EQ(model.m_shape, kShapeRoundCorner);
    EXPECT_EQ(model.m_presetId, 32792u);
    EXPECT_EQ(model.m_borderId, 32806u);
    EXPECT_TRUE(model.m_showCropBox);
    EXPECT_DOUBLE_EQ(model.CropBoxRatio(), 1.5);
    model.m_rotated = true;
    EXPECT_DOUBLE_EQ(model.CropBoxRatio(), 4.0 / 6.0);
    model.m_presetId = cmd::ID_PRESET_FREE;
    EXPECT_EQ(model.CropBoxRatio(), 0);
    model.m_presetId = 12345;
    EXPECT_EQ(model.CropBoxRatio(), 0);
    ASSERT_NE(FindPreset(32788), nullptr);
    EXPECT_STREQ(FindPreset(32788)->name, "4.67x3.5");
    EXPECT_STREQ(FindPreset(32788)->menuLabel, "4.67x3.5 (LD,DSC)");
    EXPECT_EQ(kPresetMenuOrder[0], cmd::ID_PRESET_FREE);
    EXPECT_EQ(kPresetMenuOrder[13], 32798u);

    for (uint32_t id : {32800u, 32827u, 0u}) {
        model.m_borderId = id;
        EXPECT_EQ(model.BorderFraction(), 0) << id;
    }
    model.m_borderId = cmd::ID_BORDER_NONE;
    EXPECT_EQ(model.BorderFraction(), 0);
    model.m_borderId = cmd::ID_BORDER_LAST;
    EXPECT_DOUBLE_EQ(model.BorderFraction(), 0.25);
    model.m_borderId = cmd::ID_BORDER_5;
    EXPECT_EQ(model.BorderInset(1200, 800), 50);
    EXPECT_EQ(model.BorderInset(15, 16), 1);  // 0.05 x 15 = 0.75

    EXPECT_EQ(BorderLabel(32801), "No");
    EXPECT_EQ(BorderLabel(32802), "1%");
    EXPECT_EQ(BorderLabel(32826), "25%");
}

TEST(CropBoxLayout, ViewCopyFitsFourFifthsAndIsNeverEnlarged) {
    EXPECT_EQ(FitViewSize(1000, 800, 400, 300), (Size{400, 300}));
    EXPECT_EQ(FitViewSize(1000, 800, 4000, 3000), (Size{800, 600}));
    EXPECT_EQ(FitViewSize(1000, 800, 3000, 1000), (Size{800, 267}));
    EXPECT_EQ(FitViewSize(1000, 800, 2000, 3000), (Size{427, 640}));
    EXPECT_EQ(FitViewSize(750, 375, 1200, 600), (Size{600, 300}));
    // A sliver keeps one pixel; a client without a fit area shows nothing.
    EXPECT_EQ(FitViewSize(1000, 800, 100000, 1), (Size{800, 1}));
    EXPECT_EQ(FitViewSize(4, 800, 400, 300), (Size{4, 3}));
    EXPECT_EQ(FitViewSize(0, 800, 400, 300), (Size{}));
    EXPECT_EQ(FitViewSize(0, 0, 400, 300), (Size{}));
}

TEST(CropBoxPlacement, LargestBoxOfThePresetRatioCentredOnThePicture) {
    CropBoxModel model;
    // 6x4 over a 600 x 300 view of a 1200 x 600 picture: the full height is kept.
    model.PlaceCropBox({750, 375}, {600, 300}, {1200, 600});
    EXPECT_EQ(model.m_crop, (Rect{150, 37, 600, 337}));

    // 400 x 300 centred at (300, 250) in 1000 x 800: the box keeps the width.
    model.PlaceCropBox({1000, 800}, {400, 300}, {400, 300});
    EXPECT_EQ(model.m_crop, (Rect{300, 267, 700, 534}));

    model.m_presetId = cmd::ID_PRESET_FREE;
    model.PlaceCropBox({1000, 800}, {400, 300}, {400, 300});
    EXPECT_EQ(model.m_crop, (Rect{300, 250, 700, 550}));

    model.PlaceCropBox({1000, 800}, {}, {400, 300});
    EXPECT_TRUE(model.m_crop.IsEmpty());
}

TEST(CropBoxPlacement, TheWorkingPictureRatioDecidesWhichSideIsKept) {
    CropBoxModel model;
    model.m_presetId = 32786;  // 3.5x2.5 = 1.4
    // The view copy is 100 x 71 (1.408) but the picture is 1000 x 714 (1.4006 > 1.4): full height.
    model.PlaceCropBox({200, 200}, {100, 71}, {1000, 714});
    EXPECT_EQ(model.m_crop.Height(), 71);
    EXPECT_EQ(model.m_crop.Width(), 99);  // rounded(1.4 x 71) = 99
    EXPECT_EQ(model.m_crop.left, 50 + 50 - 49);

    // 6x4 over a 733 x 489 view of a 1800 x 1200 picture: rounded(1.5 x 489) = 734 would put the
    // box one pixel beyond the view copy, and Cut would add white columns.
    model.m_presetId = cmd::ID_PRESET_6X4;
    model.PlaceCropBox({1000, 800}, {733, 489}, {1800, 1200});
    EXPECT_EQ(model.m_crop, (Rect{133, 155, 866, 644}));
    model.m_rotated = true;
    model.PlaceCropBox({1000, 800}, {489, 733}, {1199, 1800});  // just taller than 4 x 6: full width
    EXPECT_EQ(model.m_crop, (Rect{255, 33, 744, 766}));
}

TEST(CropBoxOrientation, FollowsLandscapeOrPortraitPictures) {
    CropBoxModel model;
    model.MatchOrientation(3000, 2000);
    EXPECT_FALSE(model.m_rotated);
    model.MatchOrientation(2000, 3000);
    EXPECT_TRUE(model.m_rotated);
    model.MatchOrientation(2000, 2000);
    EXPECT_TRUE(model.m_rotated);
    model.MatchOrientation(2000, 3000);
    EXPECT_TRUE(model.m_rotated);

    // Under Free every landscape picture inverts the flag.
    model.m_presetId = cmd::ID_PRESET_FREE;
    model.MatchOrientation(3000, 2000);
    EXPECT_FALSE(model.m_rotated);
    model.MatchOrientation(3000, 2000);
    EXPECT_TRUE(model.m_rotated);
    model.MatchOrientation(2000, 3000);
    EXPECT_TRUE(model.m_rotated);
}

TEST(CropBoxHandles, EightPixelSquaresOnTheEdgeMiddlesAndHitOrder) {
    CropBoxModel model = ModelWithBox({100, 100, 301, 201});
    const auto handles = model.GetHandleRects();
    EXPECT_EQ(handles[0], (Rect{96, 146, 104, 154}));
    EXPECT_EQ(handles[1], (Rect{196, 96, 204, 104}));
    EXPECT_EQ(handles[2], (Rect{297, 146, 305, 154}));
    EXPECT_EQ(handles[3], (Rect{196, 197, 204, 205}));

    EXPECT_EQ(model.HitTest({96, 150}, true), kDragLeft);     // outside the box, on the handle
    EXPECT_EQ(model.HitTest({103, 150}, true), kDragLeft);    // handle wins over the box
    EXPECT_EQ(model.HitTest({104, 150}, true), kDragMove);
    EXPECT_EQ(model.HitTest({200, 96}, true), kDragTop);
    EXPECT_EQ(model.HitTest({304, 153}, true), kDragRight);
    EXPECT_EQ(model.HitTest({305, 153}, true), 0);
    EXPECT_EQ(model.HitTest({200, 204}, true), kDragBottom);
    EXPECT_EQ(model.HitTest({300, 200}, true), kDragMove);
    EXPECT_EQ(model.HitTest({301, 120}, true), 0);
    EXPECT_EQ(model.HitTest({200, 150}, false), 0);
    model.m_showCropBox = false;
    EXPECT_EQ(model.HitTest({200, 150}, true), 0);

    // On a tiny box the left handle comes before the top one.
    CropBoxModel tiny = ModelWithBox({100, 100, 104, 104});
    EXPECT_EQ(tiny.HitTest({100, 100}, true), kDragLeft);
    EXPECT_EQ(tiny.HitTest({101, 96}, true), kDragTop);

    EXPECT_TRUE(CropBoxModel().GetHandleRects()[0].IsEmpty());
    EXPECT_EQ(CropBoxModel().HitTest({0, 0}, true), 0);
}

TEST(CropBoxDrag, RefusedStepKeepsItsAnchor) {
    CropBoxModel model = ModelWithBox({100, 100, 300, 200});
    model.BeginDrag(kDragLeft, {100, 150});
    EXPECT_FALSE(model.DragStep({268, 150}));  // 268 + 32 >= 300
    EXPECT_EQ(model.m_crop, (Rect{100, 100, 300, 200}));
    EXPECT_EQ(model.m_lastPoint.x, 100);
    EXPECT_TRUE(model.DragStep({150, 160}));  // measured from the old anchor
    EXPECT_EQ(model.m_crop, (Rect{150, 100, 300, 200}));
    EXPECT_EQ(model.m_lastPoint.x, 150);
    EXPECT_TRUE(model.DragStep({267, 150}));  // 267 + 32 < 300: 33 pixels remain
    EXPECT_EQ(model.m_crop.Width(), 33);

    model.BeginDrag(kDragBottom, {200, 200});
    EXPECT_FALSE(model.DragStep({200, 132}));  // 100 >= 132 - 32
    EXPECT_TRUE(model.DragStep({200, 133}));
    EXPECT_EQ(model.m_crop.bottom, 133);

    model.BeginDrag(kDragNone, {0, 0});
    EXPECT_FALSE(model.DragStep({50, 50}));
}

TEST(CropBoxDrag, FixedRatioEdgesDriveTheOppositeSideAndTopLeftStays) {
    CropBoxModel model = ModelWithBox({100, 100, 250, 200}, cmd::ID_PRESET_6X4);
    model.BeginDrag(kDragLeft, {100, 150});
    ASSERT_TRUE(model.DragStep({130, 150}));
    EXPECT_EQ(model.m_crop, (Rect{130, 100, 250, 180}));  // (250 - 130) / 1.5 = 80
    model.BeginDrag(kDragRight, {250, 150});
    ASSERT_TRUE(model.DragStep({261, 140}));
    EXPECT_EQ(model.m_crop, (Rect{130, 100, 261, 187}));  // 131 / 1.5 = 87.33
    model.BeginDrag(kDragTop, {190, 100});
    ASSERT_TRUE(model.DragStep({190, 90}));
    EXPECT_EQ(model.m_crop, (Rect{130, 90, 276, 187}));  // 1.5 x 97 = 145.5 -> 146
    model.BeginDrag(kDragBottom, {190, 187});
    ASSERT_TRUE(model.DragStep({190, 191}));
    EXPECT_EQ(model.m_crop, (Rect{130, 90, 282, 191}));  // 1.5 x 101 = 151.5 -> 152
    model.BeginDrag(kDragMove, {0, 0});
    ASSERT_TRUE(model.DragStep({-200, 5}));
    EXPECT_EQ(model.m_crop, (Rect{-70, 95, 82, 196}));  // not clamped to anything
    EXPECT_FALSE(model.DragStep({-200, 5}));
}

TEST(CropBoxWheel, OnePixelPerMessageAroundTheCentreAboveThirtyTwo) {
    CropBoxModel model = ModelWithBox({100, 100, 250, 200}, cmd::ID_PRESET_6X4);
    ASSERT_TRUE(model.WheelStep(120));
    EXPECT_EQ(model.m_crop, (Rect{100, 100, 251, 201}));
    ASSERT_TRUE(model.WheelStep(-2400));
    EXPECT_EQ(model.m_crop, (Rect{100, 100, 250, 200}));
    ASSERT_TRUE(model.WheelStep(-1));
    EXPECT_EQ(model.m_crop, (Rect{101, 101, 250, 200}));  // 149 x 99

    CropBoxModel small = ModelWithBox({0, 0, 49, 33}, cmd::ID_PRESET_6X4);
    EXPECT_FALSE(small.WheelStep(-120));  // 48 x 32 is too small
    EXPECT_EQ(small.m_crop, (Rect{0, 0, 49, 33}));
    EXPECT_TRUE(small.WheelStep(120));

    CropBoxModel free = ModelWithBox({100, 100, 250, 200});
    EXPECT_FALSE(free.WheelStep(120));
    model.m_showCropBox = false;
    EXPECT_FALSE(model.WheelStep(120));
    EXPECT_FALSE(CropBoxModel().WheelStep(120));
}

TEST(CropBoxNudge, ArrowsMoveAVisibleBoxByOnePixel) {
    CropBoxModel model = ModelWithBox({10, 10, 50, 50});
    EXPECT_TRUE(model.NudgeStep(-1, 0));
    EXPECT_TRUE(model.NudgeStep(0, 1));
    EXPECT_EQ(model.m_crop, (Rect{9, 11, 49, 51}));
    model.m_showCropBox = false;
    EXPECT_FALSE(model.NudgeStep(1, 0));
    EXPECT_FALSE(CropBoxModel().NudgeStep(1, 0));
}

TEST(CropBoxCut, EnabledWhenTheInnerAreaExceedsThirtyTwoPixels) {
    CropBoxModel model = ModelWithBox({0, 0, 40, 40});
    model.m_borderId = cmd::ID_BORDER_NONE;
    EXPECT_TRUE(model.CutEnabled(true));
    EXPECT_FALSE(model.CutEnabled(false));
    model.m_crop = {0, 0, 33, 100};
    EXPECT_TRUE(model.CutEnabled(true));
    model.m_crop = {0, 0, 32, 100};
    EXPECT_FALSE(model.CutEnabled(true));
    model.m_borderId = cmd::ID_BORDER_LAST;  // 25% of (50 + 50) halved = 12.5 -> 13
    model.m_crop = {0, 0, 50, 50};
    EXPECT_FALSE(model.CutEnabled(true));
    model.m_crop = {0, 0, 100, 100};
    EXPECT_TRUE(model.CutEnabled(true));
    model.m_showCropBox = false;
    EXPECT_FALSE(model.CutEnabled(true));
}

TEST(CropBoxStatus, TextsCharacterForCharacter) {
    EXPECT_EQ(CropBoxModel::ImageStatusText(false, 0, 0), "Image:");
    EXPECT_EQ(CropBoxModel::ImageStatusText(true, 3000, 2000), "Image: W=3000, H=2000, W/H=1.50");
    EXPECT_EQ(CropBoxModel::ImageStatusText(true, 1000, 3000), "Image: W=1000, H=3000, W/H=0.33");

    CropBoxModel model = ModelWithBox({150, 37, 600, 337}, cmd::ID_PRESET_6X4);
    EXPECT_EQ(model.CropStatusText(true, {900, 600}),
              "Cropbox: W=900, H=600, W/H=1.50, Printing Size=6x4, DPI=150");
    model.m_presetId = 32786;
    EXPECT_EQ(model.CropStatusText(true, {1000, 667}),
              "Cropbox: W=1000, H=667, W/H=1.50, Printing Size=3.5x2.5, DPI=286");
    model.m_presetId = cmd::ID_PRESET_FREE;
    EXPECT_EQ(model.CropStatusText(true, {152, 50}), "Cropbox: W=152, H=50, W/H=3.04");

    EXPECT_EQ(model.CropStatusText(false, {152, 50}), "Crop Box:");
    EXPECT_EQ(model.CropStatusText(true, {0, 0}), "Crop Box:");
    model.m_showCropBox = false;
    EXPECT_EQ(model.CropStatusText(true, {152, 50}), "Crop Box:");
    EXPECT_EQ(CropBoxModel().CropStatusText(true, {152, 50}), "Crop Box:");
}

// The box's long side over the print's long side, whichever way the box is turned; under 150
// dots per inch a note says how many pixels the crop has and a sharp (300 dpi) print takes.
TEST(CropBoxStatus, PrintResolutionUsesTheLongSidesAndNotesTooFewPixels) {
    const struct {
        uint32_t preset;
        bool rotated;
        cropbox::Size crop;
        int dpi;
        const char* note;
    } cases[] = {
        {cmd::ID_PRESET_6X4, true, {1080, 1620}, 270, ""},
        {cmd::ID_PRESET_6X4, false, {1620, 1080}, 270, ""},
        {cmd::ID_PRESET_6X4, false, {900, 600}, 150, ""},
        {cmd::ID_PRESET_6X4, false, {894, 596}, 149, "Too few pixels for a sharp 6x4 print: 894 x 596 of 1800 x 1200"},
        {cmd::ID_PRESET_6X4, true, {400, 600}, 100, "Too few pixels for a sharp 6x4 print: 400 x 600 of 1200 x 1800"},
        {32786, false, {350, 250}, 100, "Too few pixels for a sharp 3.5x2.5 print: 350 x 250 of 1050 x 750"},
        {cmd::ID_PRESET_FREE, false, {100, 50}, 0, ""},
    };
    for (const auto& c : cases) {
        CropBoxModel model = ModelWithBox({0, 0, 300, 200}, c.preset);
        model.m_rotated = c.rotated;
        EXPECT_EQ(model.PrintDpi(c.crop), c.dpi) << c.crop.width << " x " << c.crop.height;
        EXPECT_EQ(model.LowPrintResolutionNote(c.crop), c.note) << c.crop.width << " x " << c.crop.height;
    }
    CropBoxModel portrait = ModelWithBox({0, 0, 200, 300}, cmd::ID_PRESET_6X4);
    portrait.m_rotated = true;
    EXPECT_EQ(portrait.CropStatusText(true, {1080, 1620}),
              "Cropbox: W=1080, H=1620, W/H=0.67, Printing Size=6x4, DPI=270");
}
