// Undo and redo of the commands that change the working picture.
//
// A quarter turn, Mirror and Flip are undone by their inverse and keep no pixels; every other
// step (Cut, Ext Cutter, the tones, Paste) keeps the picture it replaced. Undoing a step swaps
// the kept picture with the working one, so the same step redoes it. The pixels held are
// bounded by a budget: the oldest steps go first, and a step larger than the whole budget is
// not kept at all.
#pragma once

#include <QString>

#include <cstdint>
#include <deque>
#include <memory>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "doc/CropBoxModel.h"
#include "doc/LosslessPlan.h"

// What returns with a picture besides its pixels.
struct PictureState {
    QString path;
    cropbox::Rect crop;
    cropbox::Size viewSize;   // the view copy's size the crop box was laid over
    bool rotated = false;
    bool shown = true;
    double straighten = 0.0;   // the turn the picture was shown with
    // The metadata the picture came with (none for a pasted one); shared, never changed.
    std::shared_ptr<const PictureMetadata> metadata;
    // Whether the picture can still be saved by moving its JPEG file's blocks, and how.
    LosslessPlan lossless;
};

class PictureHistory {
public:
    // How a step changed the picture.
    enum class Change { RotateLeft, RotateRight, Mirror, Flip, Replaced };

    struct Step {
        Change change = Change::Replaced;
        RasterImage picture;   // Replaced: the picture on the other side of the step
        PictureState state;    // the state on the other side of the step
        uint64_t serial = 0;   // the state after the step, for the saved mark

        Step() = default;
        // A step moves with its picture handed over: a copy of its pixels could double the
        // memory a large picture's history takes.
        Step(Step&& other) noexcept;
        Step& operator=(Step&& other) noexcept;
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;
    };

    // At most 1 GiB or a quarter of the machine's memory, whichever is smaller.
    static uint64_t DefaultBudget();
    explicit PictureHistory(uint64_t budgetBytes = DefaultBudget());

    // A new step; replaced is taken over (empty for the inverse-undone changes). Drops the
    // redo steps and, past the budget, the oldest steps.
    void Record(Change change, RasterImage& replaced, PictureState state);
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // The step to undo, taken off its stack; give it back with Undone once applied.
    Step TakeUndo();
    void Undone(Step step);
    Step TakeRedo();
    void Redone(Step step);
    // Forgets every step (another picture was opened).
    void Clear();
    // The file at path was written again: the steps' pictures that came from it can no longer
    // be saved by moving its blocks, which now hold another picture.
    void FileRewritten(const QString& path);

    // Which state the working picture is in, in the history's numbering; equal numbers mean
    // equal pictures.
    uint64_t Position() const;
    // Bytes of pixels the history holds.
    uint64_t HeldBytes() const { return m_held; }
    uint64_t Budget() const { return m_budget; }

    // The change that undoes change.
    static Change Inverse(Change change);
    // Applies change to picture (false when it could not, for lack of memory).
    static bool Apply(Change change, RasterImage& picture);

private:
    static uint64_t BytesOf(const Step& step);
    void Push(std::deque<Step>& stack, Step step);
    void DropOldestPastBudget();

    uint64_t m_budget;
    uint64_t m_held = 0;
    uint64_t m_nextSerial = 0;
    uint64_t m_base = 0;   // the position below the oldest kept step
    std::deque<Step> m_undo;   // oldest first
    std::deque<Step> m_redo;   // next to redo last
};
