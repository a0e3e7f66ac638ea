// The commands that change the whole picture, and the contrast and brightness preview.
#include "view/CSnipwellView.h"

#include <algorithm>

#include "commands/CommandIds.h"
#include "platform/WaitCursor.h"

namespace {

constexpr int kWarmShift = 25;   // light brown
constexpr int kSepiaShift = 50;  // brown

void ApplyPictureOperation(RasterImage& picture, uint32_t id) {
    switch (id) {
    case cmd::ID_ROTATE_LEFT:
        picture.RotateLeft();
        break;
    case cmd::ID_ROTATE_RIGHT:
        picture.RotateRight();
        break;
    case cmd::ID_MIRROR:
        picture.Mirror(false, true);
        break;
    case cmd::ID_FLIP:
        picture.Flip(false, true);
        break;
    case cmd::ID_COOL_TONE:
        picture.GrayAverage();
        break;
    case cmd::ID_WARM_TONE:
        if (picture.GrayAverage()) picture.ShiftChannels(kWarmShift, 0, -kWarmShift);
        break;
    case cmd::ID_SEPIA:
        if (picture.GrayAverage()) picture.ShiftChannels(kSepiaShift, 0, -kSepiaShift);
        break;
    default:  // the sliders only refresh the preview
        break;
    }
}

}  // namespace

int CSnipwellView::LightValueOfPosition(int position) {
    constexpr int kLightSliderMax = 2 * kLightSliderNeutral;
    return std::clamp(position, 0, kLightSliderMax) - kLightSliderNeutral;
}

void CSnipwellView::GetLightValues(int& contrast, int& brightness) const {
    contrast = m_nContrast;
    brightness = m_nBrightness;
}

void CSnipwellView::ResetLightSliders() {
    m_nContrast = 0;
    m_nBrightness = 0;
}

void CSnipwellView::ApplyLightValues(RasterImage& picture, int contrast, int brightness) {
    if (contrast != 0 || brightness != 0) picture.AdjustLight(brightness, contrast);
}

void CSnipwellView::ApplyLightPreview() {
    int contrast = 0;
    int brightness = 0;
    GetLightValues(contrast, brightness);
    ApplyLightValues(m_imgView, contrast, brightness);
}

void CSnipwellView::RunPictureCommand(uint32_t id) {
    WaitCursor wait;
    m_imgView.Destroy();
    m_box.m_rcCrop = {};
    update();
    if (!m_imgWork.IsValid()) return;
    ApplyPictureOperation(m_imgWork, id);
    // A quarter turn swaps the picture's orientation: the box follows it, as on load.
    if (id == cmd::ID_ROTATE_LEFT || id == cmd::ID_ROTATE_RIGHT) {
        MatchOrientation(int(m_imgWork.GetWidth()), int(m_imgWork.GetHeight()));
    }
    LayoutPicture();
    // The preview starts from the fresh view copy every time, so it never accumulates.
    ApplyLightPreview();
}
