// The commands that change the whole picture, and the contrast and brightness preview.
#include "view/PictureView.h"

#include <algorithm>
#include <optional>

#include "commands/CommandIds.h"
#include "platform/WaitCursor.h"

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

int PictureView::LightValueOfPosition(int position) {
    constexpr int kLightSliderMax = 2 * kLightSliderNeutral;
    return std::clamp(position, 0, kLightSliderMax) - kLightSliderNeutral;
}

void PictureView::GetLightValues(int& contrast, int& brightness) const {
    contrast = m_contrast;
    brightness = m_brightness;
}

void PictureView::ResetLightSliders() {
    m_contrast = 0;
    m_brightness = 0;
}

void PictureView::ApplyLightValues(RasterImage& picture, int contrast, int brightness) {
    if (contrast != 0 || brightness != 0) picture.AdjustLight(brightness, contrast);
}

bool PictureView::MakeLitCopy(RasterImage& copy) const {
    if (!copy.Copy(m_working)) return false;
    return (m_contrast == 0 && m_brightness == 0) || copy.AdjustLight(m_brightness, m_contrast);
}

void PictureView::ApplyLightPreview() {
    int contrast = 0;
    int brightness = 0;
    GetLightValues(contrast, brightness);
    ApplyLightValues(m_viewCopy, contrast, brightness);
    ForgetShownCopy();
}

void PictureView::RunPictureCommand(uint32_t id) {
    WaitCursor wait;
    const PictureState before = CaptureState();
    m_viewCopy.Destroy();
    ForgetShownCopy();
    m_box.m_crop = {};
    update();
    if (!m_working.IsValid()) return;
    if (const std::optional<PictureHistory::Change> change = GeometricChange(id)) {
        RasterImage none;
        if (PictureHistory::Apply(*change, m_working)) m_history.Record(*change, none, before);
    } else if (IsTone(id)) {
        RasterImage kept(m_working);
        if (ApplyTone(m_working, id)) {
            if (kept.IsValid()) {
                m_history.Record(PictureHistory::Change::Replaced, kept, before);
            } else {
                ForgetHistory();   // no memory for the old picture: the steps before cannot return
            }
        }
    }
    // A quarter turn swaps the picture's orientation: the box follows it, as on load.
    if (id == cmd::ID_ROTATE_LEFT || id == cmd::ID_ROTATE_RIGHT) {
        MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    }
    LayoutPicture();
    // The preview starts from the fresh view copy every time, so it never accumulates.
    ApplyLightPreview();
}

// ---- history ------------------------------------------------------------------------------------

PictureState PictureView::CaptureState() const {
    return PictureState{m_path,          m_box.m_crop, {int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight())},
                        m_box.m_rotated, m_box.m_showCropBox, m_metadata};
}

void PictureView::RestoreState(const PictureState& state) {
    m_path = state.path;
    m_metadata = state.metadata;
    m_box.m_rotated = state.rotated;
    m_box.m_showCropBox = state.shown;
    LayoutPicture();
    // The box returns where it was, unless the window changed size since.
    const cropbox::Size viewSize{int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight())};
    if (!state.crop.IsEmpty() && viewSize == state.viewSize) m_box.m_crop = state.crop;
    ApplyLightPreview();
    Repaint();
}

void PictureView::ReplaceWorkingPicture(RasterImage& replacement, const PictureState& before) {
    RasterImage replaced;
    if (m_working.IsValid()) replaced.TakeOver(m_working);
    m_working.TakeOver(replacement);
    m_history.Record(PictureHistory::Change::Replaced, replaced, before);
}

void PictureView::ForgetHistory() {
    m_history.Clear();
}

bool PictureView::SwapStep(PictureHistory::Step& step, PictureHistory::Change change) {
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

bool PictureView::UndoPicture() {
    if (!m_history.CanUndo()) return false;
    WaitCursor wait;
    PictureHistory::Step step = m_history.TakeUndo();
    if (!SwapStep(step, PictureHistory::Inverse(step.change))) {
        ForgetHistory();   // the turn back failed for lack of memory: the picture stays as it is
        return false;
    }
    m_history.Undone(std::move(step));
    return true;
}

bool PictureView::RedoPicture() {
    if (!m_history.CanRedo()) return false;
    WaitCursor wait;
    PictureHistory::Step step = m_history.TakeRedo();
    if (!SwapStep(step, step.change)) {
        ForgetHistory();
        return false;
    }
    m_history.Redone(std::move(step));
    return true;
}

bool PictureView::IsModified() const { return m_working.IsValid() && m_history.Position() != m_savedPosition; }

QString PictureView::PictureName() const {
    const qsizetype slash = m_path.lastIndexOf(QLatin1Char('/'));
    return m_path.isEmpty() ? QStringLiteral("Untitled") : m_path.mid(slash + 1);
}
