// The history's bookkeeping: its budget, the order of its steps and the positions that mark a
// saved picture.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "doc/PictureHistory.h"

namespace {

using Change = PictureHistory::Change;

// A 24-bit picture of about `kilobytes` KiB.
RasterImage PictureOf(uint32_t kilobytes) { return testsupport::MakePatternImage(256, kilobytes * 4 / 3); }

}  // namespace

TEST(PictureHistory, HoldsNoMoreThanItsBudgetDroppingTheOldestStepsFirst) {
    const uint64_t budget = 3 * PictureOf(1024).GetBlockSize() + 1024;
    PictureHistory history(budget);
    for (uint32_t i = 0; i < 6; ++i) {
        RasterImage replaced = PictureOf(1024);
        PictureState state;
        state.path = QString::number(i);
        history.Record(Change::Replaced, replaced, state);
        EXPECT_LE(history.HeldBytes(), budget) << i;
    }
    // The three newest steps remain, newest first; then the history is at its oldest.
    for (const char* kept : {"5", "4", "3"}) {
        ASSERT_TRUE(history.CanUndo());
        PictureHistory::Step step = history.TakeUndo();
        EXPECT_EQ(step.state.path, QString::fromLatin1(kept));
        history.Undone(std::move(step));
    }
    EXPECT_FALSE(history.CanUndo());
    EXPECT_LE(history.HeldBytes(), budget);

    // Turns keep no pixels; a step larger than the whole budget is not kept at all.
    RasterImage none;
    history.Record(Change::RotateLeft, none, {});
    EXPECT_EQ(history.HeldBytes(), 0u) << "a new step drops the steps to redo";
    RasterImage huge = PictureOf(4096);
    history.Record(Change::Replaced, huge, {});
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.HeldBytes(), 0u);
    EXPECT_LE(PictureHistory::DefaultBudget(), uint64_t(1) << 30);
    EXPECT_GT(PictureHistory::DefaultBudget(), 0u);
}

TEST(PictureHistory, PositionsTellWhetherThePictureIsTheSavedOne) {
    PictureHistory history(uint64_t(4) << 20);
    const uint64_t opened = history.Position();
    RasterImage none;
    history.Record(Change::Mirror, none, {});
    const uint64_t mirrored = history.Position();
    EXPECT_NE(mirrored, opened);
    history.Undone(history.TakeUndo());
    EXPECT_EQ(history.Position(), opened);
    history.Redone(history.TakeRedo());
    EXPECT_EQ(history.Position(), mirrored);
    // Steps dropped for the budget, or forgotten, never bring the opened position back.
    RasterImage huge = PictureOf(8192);
    history.Record(Change::Replaced, huge, {});
    EXPECT_FALSE(history.CanUndo());
    EXPECT_NE(history.Position(), opened);
    EXPECT_NE(history.Position(), mirrored);
    const uint64_t beforeClear = history.Position();
    history.Clear();
    EXPECT_NE(history.Position(), beforeClear);
    EXPECT_NE(history.Position(), opened);
}

TEST(PictureHistory, EachTurnIsUndoneByItsInverse) {
    const RasterImage original = testsupport::MakePatternImage(37, 23);
    for (Change change : {Change::RotateLeft, Change::RotateRight, Change::Mirror, Change::Flip}) {
        RasterImage picture(original);
        ASSERT_TRUE(PictureHistory::Apply(change, picture));
        EXPECT_FALSE(testsupport::SamePixels(picture, original));
        ASSERT_TRUE(PictureHistory::Apply(PictureHistory::Inverse(change), picture));
        EXPECT_TRUE(testsupport::SamePixels(picture, original)) << int(change);
    }
}

TEST(PictureHistory, StepsHandTheirPicturesOverInsteadOfCopyingThem) {
    // A copy on the way in or out would double what a large picture's undo step takes.
    PictureHistory history(uint64_t(4) << 20);
    RasterImage replaced = PictureOf(64);
    const uint8_t* pixels = replaced.GetBits();
    history.Record(Change::Replaced, replaced, {});
    PictureHistory::Step step = history.TakeUndo();
    EXPECT_EQ(step.picture.GetBits(), pixels);
    history.Undone(std::move(step));
    step = history.TakeRedo();
    EXPECT_EQ(step.picture.GetBits(), pixels);
}
