// The document's edits: the commands that change the whole picture, Cut, the Ext Cutter's and
// the clipboard's replacements, and their undo and redo.
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

}  // namespace

void PictureDocument::RunPictureCommand(uint32_t id) {
    const PictureState before = CaptureState();
    m_box.m_crop = {};
    if (!m_working.IsValid()) {
        emit laidOut(true);
        return;
    }
    if (const std::optional<PictureHistory::Change> change = GeometricChange(id)) {
        RasterImage none;
        if (PictureHistory::Apply(*change, m_working)) m_history.Record(*change, none, before);
    } else if (IsTone(id)) {
        RasterImage kept(m_working);
        if (ApplyTone(m_working, id)) {
            if (kept.IsValid()) {
                m_history.Record(PictureHistory::Change::Replaced, kept, before);
            } else {
                m_history.Clear();  // no memory for the old picture: the steps before cannot return
            }
        }
    }
    // A quarter turn swaps the picture's orientation: the box follows it, as on load.
    if (id == cmd::ID_ROTATE_LEFT || id == cmd::ID_ROTATE_RIGHT) {
        m_box.MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    }
    LayOut();
    // The preview starts from fresh view copies every time, so it never accumulates.
    emit laidOut(true);
}

// ---- replacements ---------------------------------------------------------------------------------

bool PictureDocument::CutToCropBox() {
    if (!m_box.m_showCropBox || !PicturesValid()) return false;
    const cropbox::Rect box = m_box.m_crop;
    if (box.Width() < kMinimumCutSpan || box.Height() < kMinimumCutSpan) return false;
    const PictureState before = CaptureState();
    RasterImage result;
    // A cut that cannot be made leaves the picture and the box as they were.
    if (!CutPicture(m_working, CurrentCutRequest(), result) || !result.IsValid()) return false;
    TakeCut(result, true, before);
    return true;
}

void PictureDocument::TakeExternalCut(RasterImage& result) {
    if (!PicturesValid() || !result.IsValid()) return;
    TakeCut(result, false, CaptureState());
}

void PictureDocument::TakeCut(RasterImage& result, bool byPreset, const PictureState& before) {
    SetCutDpi(result, byPreset);
    if (m_box.m_autoHide) m_box.m_showCropBox = false;
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
    const PictureState before = CaptureState();
    m_box.m_crop = {};
    m_contrast = 0;
    m_brightness = 0;
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();  // a pasted picture carries none
    m_metadataDropped = false;
    m_extrasLostBySave = 0;
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
    return PictureState{m_path, m_box.m_crop, m_viewSize, m_box.m_rotated, m_box.m_showCropBox, m_metadata};
}

void PictureDocument::RestoreState(const PictureState& state) {
    m_path = state.path;
    m_metadata = state.metadata;
    m_box.m_rotated = state.rotated;
    m_box.m_showCropBox = state.shown;
    LayOut();
    // The box returns where it was, unless the view area changed size since.
    if (!state.crop.IsEmpty() && m_viewSize == state.viewSize) m_box.m_crop = state.crop;
    emit laidOut(true);
}

bool PictureDocument::SwapStep(PictureHistory::Step& step, PictureHistory::Change change) {
    const PictureState current = CaptureState();
    if (change == PictureHistory::Change::Replaced) {
        RasterImage other;
        if (m_working.IsValid()) other.TakeOver(m_working);
        if (step.picture.IsValid()) m_working.TakeOver(step.picture);
        if (other.IsValid()) step.picture.TakeOver(other);
    } else if (!PictureHistory::Apply(change, m_working)) {
        return false;
    }
    RestoreState(step.state);
    step.state = current;
    return true;
}

bool PictureDocument::UndoPicture() {
    if (!m_history.CanUndo()) return false;
    PictureHistory::Step step = m_history.TakeUndo();
    if (!SwapStep(step, PictureHistory::Inverse(step.change))) {
        m_history.Clear();  // the turn back failed for lack of memory: the picture stays as it is
        return false;
    }
    m_history.Undone(std::move(step));
    return true;
}

bool PictureDocument::RedoPicture() {
    if (!m_history.CanRedo()) return false;
    PictureHistory::Step step = m_history.TakeRedo();
    if (!SwapStep(step, step.change)) {
        m_history.Clear();
        return false;
    }
    m_history.Redone(std::move(step));
    return true;
}
