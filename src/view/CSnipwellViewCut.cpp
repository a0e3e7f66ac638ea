// The Cut command on the view's side: the refusals, the wait cursor and the auto hide; the
// pixels are computed by CutPicture.
#include "view/CSnipwellView.h"

#include "view/CutOperation.h"
#include "cutter/ExtCutterCommand.h"
#include "platform/WaitCursor.h"

CutRequest CSnipwellView::CurrentCutRequest() const {
    return CutRequest{width(), height(), int(m_imgView.GetWidth()), int(m_imgView.GetHeight()),
                      m_box.m_rcCrop, m_box.m_nShape, m_box.BorderFraction()};
}

cropbox::Rect CSnipwellView::BoxInPicture() const {
    if (!PicturesValid() || m_box.m_rcCrop.IsEmpty()) return {};
    return MapBoxToPicture(m_imgWork, CurrentCutRequest());
}

bool CSnipwellView::CutToCropBox() {
    if (!m_box.m_bShowCropBox || !PicturesValid()) return false;
    const cropbox::Rect box = m_box.m_rcCrop;
    if (box.Width() < kMinimumCutSpan || box.Height() < kMinimumCutSpan) return false;

    WaitCursor wait;
    const PictureState before = CaptureState();
    const CutRequest request = CurrentCutRequest();
    RasterImage result;
    // A cut that cannot be made leaves the picture and the box as they were.
    if (!CutPicture(m_imgWork, request, result) || !result.IsValid()) return false;
    SetCutDpi(result, true);
    if (m_box.m_bAutoHide) m_box.m_bShowCropBox = false;
    ReplaceWorkingPicture(result, before);
    LayoutPicture();
    Repaint();
    return true;
}

void CSnipwellView::RunExternalCutter() {
    if (!PicturesValid()) return;
    const PictureState before = CaptureState();
    RasterImage result;
    // Cancel, or a cut that cannot be made, leaves everything as it was.
    if (!RunExtCutter(this, m_imgWork, result, Metadata().icc) || !result.IsValid()) return;
    SetCutDpi(result, false);
    WaitCursor wait;  // the new layout and its first paint are part of the wait
    if (m_box.m_bAutoHide) m_box.m_bShowCropBox = false;
    ReplaceWorkingPicture(result, before);
    LayoutPicture();
    Repaint();
}

void CSnipwellView::SetCutDpi(RasterImage& result, bool byPreset) const {
    // A print size's dpi makes the saved file print at exactly that size at 100 %.
    const int printDpi =
        byPreset ? m_box.PrintDpi({int(result.GetWidth()), int(result.GetHeight())}) : 0;
    result.SetXDpi(printDpi > 0 ? printDpi : m_imgWork.GetXDpi());
    result.SetYDpi(printDpi > 0 ? printDpi : m_imgWork.GetYDpi());
}
