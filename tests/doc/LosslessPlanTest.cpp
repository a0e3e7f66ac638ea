// The document's lossless plan: chains of turns, mirrors, flips and cuts composed into one cut
// of the stored JPEG and one layout, and what Save can do with them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "doc/LosslessPlan.h"

namespace {

// A 203 x 141 JPEG with 16 x 16 blocks: 11 columns and 13 rows past the last whole block.
JpegFrameFacts Facts(int orientation) {
    JpegFrameFacts facts;
    facts.size = {203, 141};
    facts.grid = {16, 16};
    facts.components = 3;
    facts.precision = 8;
    facts.frameMarker = 0xC0;
    facts.orientation = orientation;
    return facts;
}

using Step = std::function<void(LosslessPlan&)>;

Step CutTo(RasterRect box) {
    return [box](LosslessPlan& plan) { plan.Cut(box); };
}
const Step kRight = [](LosslessPlan& plan) { plan.TurnRight(); };
const Step kLeft = [](LosslessPlan& plan) { plan.TurnLeft(); };
const Step kMirror = [](LosslessPlan& plan) { plan.Mirror(); };
const Step kFlip = [](LosslessPlan& plan) { plan.Flip(); };
const Step kSpoil = [](LosslessPlan& plan) { plan.Spoil(); };

void ExpectRect(const RasterRect& actual, const RasterRect& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

TEST(LosslessPlan, ChainsComposeIntoOneCutAndLayout) {
    using State = LosslessPlan::State;
    struct Case {
        const char* name;
        int orientation;
        std::vector<Step> steps;
        State state;
        int layout;
        RasterRect storedCut;
        PixelSize size;
        PixelSize trim;
    };
    const Case cases[] = {
        {"as opened", 1, {}, State::Lossless, 1, {0, 0, 203, 141}, {203, 141}, {}},
        {"turned right: the bottom's partial rows lead", 1, {kRight}, State::NeedsTrim, 6, {0, 0, 203, 141}, {141, 203}, {13, 0}},
        {"cut on the grid, then turned", 1, {CutTo({16, 32, 112, 96}), kRight}, State::Lossless, 6, {16, 32, 112, 96}, {64, 96}, {}},
        {"turned, then cut", 1, {kRight, CutTo({45, 16, 109, 112})}, State::Lossless, 6, {16, 32, 112, 96}, {64, 96}, {}},
        {"camera photo shown upright", 6, {}, State::NeedsTrim, 6, {0, 0, 203, 141}, {141, 203}, {13, 0}},
        {"camera photo turned back to its stored rows", 6, {kLeft}, State::Lossless, 1, {0, 0, 203, 141}, {203, 141}, {}},
        {"corner off the grid", 1, {CutTo({8, 0, 100, 100})}, State::OffGrid, 1, {8, 0, 100, 100}, {92, 100}, {}},
        {"two cuts whose sum is on the grid", 1, {CutTo({20, 20, 120, 120}), CutTo({12, 12, 50, 50})}, State::Lossless, 1,
         {32, 32, 70, 70}, {38, 38}, {}},
        {"mirrored: the grid starts after the partial columns", 1, {kMirror, CutTo({27, 0, 100, 141})}, State::Lossless, 2,
         {103, 0, 176, 141}, {73, 141}, {}},
        {"mirror and flip make a half turn", 1, {kMirror, kFlip}, State::NeedsTrim, 3, {0, 0, 203, 141}, {203, 141}, {11, 13}},
        {"four quarter turns", 1, {kRight, kRight, kRight, kRight}, State::Lossless, 1, {0, 0, 203, 141}, {203, 141}, {}},
        {"a cut clipped to the picture", 1, {CutTo({-5, -5, 500, 64})}, State::Lossless, 1, {0, 0, 203, 64}, {203, 64}, {}},
        {"tones after a cut", 1, {CutTo({16, 16, 64, 64}), kSpoil}, State::Spoiled, 1, {16, 16, 64, 64}, {48, 48}, {}},
        {"a cut outside the picture", 1, {CutTo({300, 300, 400, 400})}, State::Spoiled, 1, {0, 0, 203, 141}, {203, 141}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LosslessPlan plan(Facts(c.orientation));
        for (const Step& step : c.steps) step(plan);
        EXPECT_EQ(plan.GetState(), c.state);
        EXPECT_EQ(plan.Layout(), c.layout);
        ExpectRect(plan.StoredCut(), c.storedCut);
        EXPECT_EQ(plan.PictureSize(), c.size);
        EXPECT_EQ(plan.Trim(), c.trim);
        EXPECT_EQ(plan.CanSaveLossless(), c.state == State::Lossless || c.state == State::NeedsTrim);
        EXPECT_FALSE(plan.Explanation().empty());
        const LosslessJpegRequest request = plan.Request(true);
        EXPECT_EQ(request.layout, c.layout);
        ExpectRect(request.storedCut, c.storedCut);
        EXPECT_TRUE(request.allowTrim);
    }
}

// A picture from elsewhere, or a JPEG the block transform cannot keep, is never lossless.
TEST(LosslessPlan, OnlyJpegsTheTransformKeepsAreLossless) {
    LosslessPlan none;
    none.TurnRight();
    EXPECT_EQ(none.GetState(), LosslessPlan::State::NotJpeg);
    JpegFrameFacts arithmetic = Facts(1);
    arithmetic.frameMarker = 0xC9;
    EXPECT_EQ(LosslessPlan(arithmetic).GetState(), LosslessPlan::State::NotJpeg);
    EXPECT_EQ(LosslessPlan::FromJpegFile("/nonexistent/picture.jpg").GetState(), LosslessPlan::State::NotJpeg);
}

// Each history state keeps its own copy: changing one leaves the others as they were.
TEST(LosslessPlan, CopiesStandForHistoryStates) {
    LosslessPlan before(Facts(1));
    LosslessPlan after = before;
    after.Cut({8, 8, 64, 64});
    after.Spoil();
    EXPECT_EQ(before.GetState(), LosslessPlan::State::Lossless);
    ExpectRect(before.StoredCut(), {0, 0, 203, 141});
    EXPECT_EQ(after.GetState(), LosslessPlan::State::Spoiled);
}

// The box snaps to the grid in the current picture's pixels, inside the current picture.
TEST(LosslessPlan, BoxCornerSnapsInPicturePixels) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        RasterRect box;
        RasterRect snapped;
        PixelSize gridOffset;
    };
    const Case cases[] = {
        {"upright", {}, {5, 30, 100, 100}, {0, 32, 100, 100}, {0, 0}},
        {"after an off-grid cut: only places inside it", {CutTo({20, 20, 120, 120})}, {5, 5, 50, 50}, {12, 12, 50, 50}, {12, 12}},
        {"turned right: the partial rows come first", {kRight}, {8, 7, 100, 100}, {13, 0, 100, 100}, {13, 0}},
        {"too small a box for any grid place", {}, {17, 17, 20, 20}, {16, 16, 20, 20}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LosslessPlan plan(Facts(1));
        for (const Step& step : c.steps) step(plan);
        ExpectRect(plan.SnapBoxCorner(c.box), c.snapped);
        EXPECT_EQ(plan.GridInPicture().offset, c.gridOffset);
        EXPECT_EQ(plan.GridInPicture().step, (PixelSize{16, 16}));
    }
    LosslessPlan spoiled(Facts(1));
    spoiled.Spoil();
    ExpectRect(spoiled.SnapBoxCorner({5, 5, 50, 50}), {5, 5, 50, 50});
}

}  // namespace
