// The commands that change the whole picture, and the contrast and brightness preview.
#include "view/CSnipwellView.h"

#include "commands/CommandIds.h"
#include "platform/WaitCursor.h"

namespace {

constexpr int kSliderNeutral = 100;
constexpr int kWarmShift = 25;   // light brown
constexpr int kSepiaShift = 50;  // brown

// Position - 100 of a visible slider; 0 when the ribbon lacks it or hides it.
int SliderValue(uint32_t id) {
    const CommandRouter* router = CommandRouter::Instance();
    const RibbonSliderElement* slider = router != nullptr ? router->FindSlider(id) : nullptr;
    if (slider == nullptr || !slider->IsElementVisible()) return 0;
    return slider->Position() - kSliderNeutral;
}

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

void CSnipwellView::GetLightValues(int& contrast, int& brightness) const {
    contrast = SliderValue(cmd::ID_CONTRAST);
    brightness = SliderValue(cmd::ID_BRIGHTNESS);
}

void CSnipwellView::ResetLightSliders() {
    CommandRouter* router = CommandRouter::Instance();
    if (router == nullptr) return;
    for (uint32_t id : {cmd::ID_CONTRAST, cmd::ID_BRIGHTNESS}) {
        if (RibbonSliderElement* slider = router->FindSlider(id)) slider->SetPosition(kSliderNeutral, true);
    }
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
    LayoutPicture();
    // The preview starts from the fresh view copy every time, so it never accumulates.
    ApplyLightPreview();
}
