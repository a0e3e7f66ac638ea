// The document's edits: the commands that change the whole picture, Cut, the Ext Cutter's and
// the clipboard's replacements, and their undo and redo.
#include <memory>
#include <optional>

#include "commands/CommandIds.h"
#include "doc/CutOperation.h"
#include "doc/PictureDocument.h"

namespace {

constexpr int kWarmShift = 25;   // light brown
constexpr int kSepiaShift = 50;  // brown

// The geometric change of a command, which the history undoes by its inverse.
std::optional<PictureHistory::Change> GeometricChange(uint32_t id) {
    switch (id) {
    case cmd::ID_ROTATE_LEFT:
        return PictureHistory::Change::RotateLeft;
    case cmd::ID_ROTATE_RIGHT:
        return PictureHistory::Change::RotateRight;
    case cmd::ID_MIRROR:
        return PictureHistory::Change::Mirror;
    case cmd::ID_FLIP:
        return PictureHistory::Change::Flip;
    default:
        return std::nullopt;
    }
}

// The tones; false for other ids and when the picture could not be changed.
bool ApplyTone(RasterImage& picture, uint32_t id) {
    switch (id) {
    case cmd::ID_COOL_TONE:
        return picture.GrayAverage();
    case cmd::ID_WARM_TONE:
        return picture.GrayAverage() && picture.ShiftChannels(kWarmShift, 0, -kWarmShift);
    case cmd::ID_SEPIA:
        return picture.GrayAverage() && picture.ShiftChannels(kSepiaShift, 0, -kSepiaShift);
    default:  // the sliders only refresh the preview
        return false;
    }
}

bool IsTone(uint32_t id) { return id == cmd::ID_COOL_TONE || id == cmd::ID_WARM_TONE || id == cmd::ID_SEPIA; }

QString TurningText() { return QStringLiteral("Turning\u2026"); }

// The busy text of a command that changes the whole picture.
QString BusyTextOf(uint32_t id) { return GeometricChange(id) ? TurningText() : QStringLiteral("Toning\u2026"); }

}  // namespace

void PictureDocument::RunPictureCommand(uint32_t id) {
    FinishJob();
    const PictureState before = CaptureState();
    const std::optional<PictureHistory::Change> change = GeometricChange(id);
    if (!m_working.IsValid() || (!change && !IsTone(id))) {
        m_box.m_crop = {};
        LayOut();
        // The preview starts from fresh view copies every time, so it never accumulates.
        emit laidOut(true);
        return;
    }
    struct CommandJob {
        RasterImage picture;
        RasterImage kept;  // a tone's undo copy
        bool changed = false;
    };
    auto job = std::make_shared<CommandJob>();
    LendWorkingPicture(job->picture);
    RunJob(
        BusyTextOf(id),
        [job, change, id] {
            if (change) {
                job->changed = PictureHistory::Apply(*change, job->picture);
                return;
            }
            job->kept.Copy(job->picture);
            job->changed = ApplyTone(job->picture, id);
        },
        [this, job, change, before, id] {
            ReturnWorkingPicture(job->picture);
            if (job->changed) {
                RecordCommand(change, job->kept, before);
                FollowInLosslessPlan(change);
            }
            m_box.m_crop = {};
            // A quarter turn swaps the picture's orientation: the box follows it, as on load.
            if (id == cmd::ID_ROTATE_LEFT || id == cmd::ID_ROTATE_RIGHT) {
                m_box.MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
            }
            LayOut();
            emit laidOut(true);
        });
}

void PictureDocument::RecordCommand(std::optional<PictureHistory::Change> change, RasterImage& kept,
                                    const PictureState& before) {
    if (change) {
        RasterImage none;
        m_history.Record(*change, none, before);
    } else if (kept.IsValid()) {
        m_history.Record(PictureHistory::Change::Replaced, kept, before);
    } else {
        m_history.Clear();  // no memory for the old picture: the steps before cannot return
    }
}

// ---- replacements ---------------------------------------------------------------------------------

bool PictureDocument::CutToCropBox() {
    FinishJob();
    if (!m_box.m_showCropBox || !PicturesValid()) return false;
    const cropbox::Rect box = m_box.m_crop;
    if (box.Width() < kMinimumCutSpan || box.Height() < kMinimumCutSpan) return false;
    struct CutJob {
        RasterImage source;
        RasterImage result;
        bool made = false;
    };
    auto job = std::make_shared<CutJob>();
    const PictureState before = CaptureState();
    const CutRequest request = CurrentCutRequest();
    LendWorkingPicture(job->source);
    RunJob(
        QStringLiteral("Cutting\u2026"),
        [job, request] { job->made = CutPicture(job->source, request, job->result) && job->result.IsValid(); },
        [this, job, before, request] {
            ReturnWorkingPicture(job->source);
            // A cut that cannot be made leaves the picture and the box as they were.
            if (!job->made) return;
            FollowCutInLosslessPlan(request);
            TakeCut(job->result, true, before);
        });
    return job->made;
}

void PictureDocument::TakeExternalCut(RasterImage& result) {
    FinishJob();
    if (!PicturesValid() || !result.IsValid()) return;
    const PictureState before = CaptureState();
    m_lossless.Spoil();
    TakeCut(result, false, before);
}

void PictureDocument::TakeCut(RasterImage& result, bool byPreset, const PictureState& before) {
    SetCutDpi(result, byPreset);
    if (m_box.m_autoHide) m_box.m_showCropBox = false;
    m_straighten = 0.0;   // the cut holds the turn in its pixels
    ReplaceWorkingPicture(result, before);
    LayOut();
    // The fresh view copies show the cut as it will be saved less the light values; the next
    // picture command brings their preview back.
    emit laidOut(false);
}

void PictureDocument::SetCutDpi(RasterImage& result, bool byPreset) const {
    // A print size's dpi makes the saved file print at exactly that size at 100 %.
    const int printDpi = byPreset ? m_box.PrintDpi({int(result.GetWidth()), int(result.GetHeight())}) : 0;
    result.SetXDpi(printDpi > 0 ? printDpi : m_working.GetXDpi());
    result.SetYDpi(printDpi > 0 ? printDpi : m_working.GetYDpi());
}

void PictureDocument::TakePasted(RasterImage& pasted) {
    StopLoading();
    FinishJob();
    const PictureState before = CaptureState();
    m_box.m_crop = {};
    m_contrast = 0;
    m_brightness = 0;
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();  // a pasted picture carries none
    m_metadataDropped = false;
    m_extrasLostBySave = 0;
    m_lossless = LosslessPlan();
    ReplaceWorkingPicture(pasted, before);
    m_box.MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    LayOut();
    emit laidOut(true);
}

void PictureDocument::ReplaceWorkingPicture(RasterImage& replacement, const PictureState& before) {
    RasterImage replaced;
    if (m_working.IsValid()) replaced.TakeOver(m_working);
    m_working.TakeOver(replacement);
    m_history.Record(PictureHistory::Change::Replaced, replaced, before);
}

// ---- history --------------------------------------------------------------------------------------

PictureState PictureDocument::CaptureState() const {
    return PictureState{m_path,           m_box.m_crop, m_viewSize, m_box.m_rotated, m_box.m_showCropBox,
                        m_straighten, m_metadata, m_lossless};
}

void PictureDocument::RestoreState(const PictureState& state) {
    m_path = state.path;
    m_metadata = state.metadata;
    m_box.m_rotated = state.rotated;
    m_box.m_showCropBox = state.shown;
    m_straighten = state.straighten;
    m_lossless = state.lossless;
    LayOut();
    // The box returns where it was, unless the view area changed size since.
    if (!state.crop.IsEmpty() && m_viewSize == state.viewSize) m_box.m_crop = state.crop;
    emit laidOut(true);
}

bool PictureDocument::SwapStep(PictureHistory::Step taken, PictureHistory::Change change, bool undo) {
    auto step = std::make_shared<PictureHistory::Step>(std::move(taken));
    const PictureState current = CaptureState();
    // The step goes back on the other stack with the state it leaves.
    const auto keep = [this, step, current, undo] {
        RestoreState(step->state);
        step->state = current;
        if (undo) {
            m_history.Undone(std::move(*step));
        } else {
            m_history.Redone(std::move(*step));
        }
    };
    if (change == PictureHistory::Change::Replaced) {
        RasterImage other;
        if (m_working.IsValid()) other.TakeOver(m_working);
        if (step->picture.IsValid()) m_working.TakeOver(step->picture);
        if (other.IsValid()) step->picture.TakeOver(other);
        keep();
        return true;
    }
    struct TurnJob {
        RasterImage picture;
        bool applied = false;
    };
    auto job = std::make_shared<TurnJob>();
    LendWorkingPicture(job->picture);
    RunJob(
        TurningText(), [job, change] { job->applied = PictureHistory::Apply(change, job->picture); },
        [this, job, keep] {
            ReturnWorkingPicture(job->picture);
            if (job->applied) {
                keep();
            } else {
                m_history.Clear();  // the turn back failed for lack of memory: the picture stays as it is
            }
        });
    return job->applied;
}

bool PictureDocument::UndoPicture() {
    FinishJob();
    if (!m_history.CanUndo()) return false;
    PictureHistory::Step step = m_history.TakeUndo();
    const PictureHistory::Change change = PictureHistory::Inverse(step.change);
    return SwapStep(std::move(step), change, true);
}

bool PictureDocument::RedoPicture() {
    FinishJob();
    if (!m_history.CanRedo()) return false;
    PictureHistory::Step step = m_history.TakeRedo();
    const PictureHistory::Change change = step.change;
    return SwapStep(std::move(step), change, false);
}
