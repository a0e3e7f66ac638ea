// The Cut command on the view's side: the refusals, the wait cursor and the auto hide; the
// pixels are computed by CutPicture.
#include "view/PictureView.h"

#include "view/CutOperation.h"
#include "cutter/ExtCutterCommand.h"
#include "platform/WaitCursor.h"

CutRequest PictureView::CurrentCutRequest() const {
    return CutRequest{width(), height(), int(m_viewCopy.GetWidth()), int(m_viewCopy.GetHeight()),
                      m_box.m_crop, m_box.m_shape, m_box.BorderFraction()};
}

cropbox::Rect PictureView::BoxInPicture() const {
    if (!PicturesValid() || m_box.m_crop.IsEmpty()) return {};
    return MapBoxToPicture(m_working, CurrentCutRequest());
}

bool PictureView::CutToCropBox() {
    if (!m_box.m_showCropBox || !PicturesValid()) return false;
    const cropbox::Rect box = m_box.m_crop;
    if (box.Width() < kMinimumCutSpan || box.Height() < kMinimumCutSpan) return false;

    WaitCursor wait;
    const PictureState before = CaptureState();
    const CutRequest request = CurrentCutRequest();
    RasterImage result;
    // A cut that cannot be made leaves the picture and the box as they were.
    if (!CutPicture(m_working, request, result) || !result.IsValid()) return false;
    SetCutDpi(result, true);
    if (m_box.m_autoHide) m_box.m_showCropBox = false;
    ReplaceWorkingPicture(result, before);
    LayoutPicture();
    Repaint();
    return true;
}

void PictureView::RunExternalCutter() {
    if (!PicturesValid()) return;
    const PictureState before = CaptureState();
    RasterImage result;
    // Cancel, or a cut that cannot be made, leaves everything as it was.
    if (!RunExtCutter(this, m_working, result, Metadata().icc) || !result.IsValid()) return;
    SetCutDpi(result, false);
    WaitCursor wait;  // the new layout and its first paint are part of the wait
    if (m_box.m_autoHide) m_box.m_showCropBox = false;
    ReplaceWorkingPicture(result, before);
    LayoutPicture();
    Repaint();
}

void PictureView::SetCutDpi(RasterImage& result, bool byPreset) const {
    // A print size's dpi makes the saved file print at exactly that size at 100 %.
    const int printDpi =
        byPreset ? m_box.PrintDpi({int(result.GetWidth()), int(result.GetHeight())}) : 0;
    result.SetXDpi(printDpi > 0 ? printDpi : m_working.GetXDpi());
    result.SetYDpi(printDpi > 0 ? printDpi : m_working.GetYDpi());
}
