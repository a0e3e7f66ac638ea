// The state and pixel work of the cutter's preview control, without a window: the picture and
// its fitted preview, the cutter and the control-sized backdrop built from it, where the
// picture lies (the placement) and where the cutter lies, the drag in progress, and the cut
// result at the picture's full resolution.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cutter/CutterGeometry.h"
#include "image/RasterImage.h"

namespace cutter {

// Share of the fitted size at which a new picture and a cutter are first shown.
inline constexpr double kPlacementShare = 0.8;
// The cut result must stay below this many pixels on each side.
inline constexpr int32_t kMaxResultSide = 10000;

class CutterModel {
public:
    // Takes a copy of the picture to cut as 24 bits without alpha (transparent parts white);
    // the preview and the placement are made again by the next BuildBackdrop.
    // icc: the picture's colour profile, which the preview's colours follow (empty: sRGB).
    void SetPicture(const RasterImage& source, const std::vector<uint8_t>& icc = {});
    // Takes a copy of a cutter as 24 bits with alpha. A cutter without its own alpha gets the
    // average of its grey levels as alpha and turns white; one with alpha keeps both.
    void SetCutter(const RasterImage& source);
    // Inverts the cutter's alpha; the backdrop is dropped. False when there is no cutter.
    bool ReverseAlpha();

    bool HasBackdrop() const { return m_backdrop.IsValid(); }
    // Drops the backdrop so that the next paint rebuilds it (the control changed its size).
    void DropBackdrop() { m_backdrop.Destroy(); }
    // Builds what is missing for a width x height client area: the backdrop (black, opaque,
    // the scaled cutter centred in it) and, once per picture, the preview and the placement.
    void BuildBackdrop(int32_t width, int32_t height);

    // The backdrop with the placed picture showing through its alpha, without alpha: what a
    // paint shows before the frame. False when there is no backdrop or memory ran out.
    bool ComposeFrame(RasterImage& frame);
    // Whether the placement frame and its handles are drawn.
    bool HasHandles() const { return m_cutter.IsValid() && !IsEmpty(m_placement); }

    // The control's pixels per handle pixel: on a screen of two device pixels per logical one
    // the model works in device pixels, and the handles keep their size on the screen.
    void SetHandleScale(double scale);
    int32_t HandleHalf() const { return m_handleHalf; }

    DragMode HitTestPlacement(Point p) const;
    // Button down: starts a drag when the point grabs the placement; true when it does.
    bool BeginDrag(Point p);
    // Mouse move: true when the placement changed (the control repaints).
    bool DragTo(Point p);
    // Button up.
    void EndDrag() { m_dragMode = DRAG_NONE; }

    bool CanCut() const;
    // The cut picture: as large as the cutter at the picture's scale, with the cutter's alpha.
    // When CanCut is false returns false and leaves result as it was.
    bool GetResult(RasterImage& result);

    const RasterImage& Picture() const { return m_picture; }
    const RasterImage& Preview() const { return m_preview; }
    const RasterImage& Backdrop() const { return m_backdrop; }
    const RasterImage& Cutter() const { return m_cutter; }
    const RasterRect& Placement() const { return m_placement; }
    const RasterRect& CutterRect() const { return m_cutterRect; }
    DragMode CurrentDragMode() const { return m_dragMode; }
    Point LastMousePosition() const { return m_lastPoint; }

private:
    // Picture pixels per control pixel of the placement.
    double PictureScale() const;
    void BuildCutterBackdrop(int32_t width, int32_t height);
    void BuildPreview(int32_t width, int32_t height);
    // The part of the preview at the placement's size that lies within `visible` (control
    // pixels), and where it goes; made again only when the placement's size or that part
    // changed. Null when nothing of it is seen or memory runs out.
    const RasterImage* PlacedPreview(const RasterRect& visible, RasterRect& at);

    RasterImage m_picture;
    RasterImage m_preview;
    std::vector<uint8_t> m_icc;   // the picture's colour profile
    RasterImage m_backdrop;
    RasterImage m_cutter;
    std::optional<uint32_t> m_cutterColour;  // the cutter's colour when all its pixels share one
    RasterRect m_placement = kEmptyRect;
    RasterRect m_cutterRect = kEmptyRect;
    DragMode m_dragMode = DRAG_NONE;
    Point m_lastPoint;
    int32_t m_handleHalf = kHandleHalf;
    RasterImage m_placedPreview;  // cache of PlacedPreview: the preview at
    RasterRect m_placedSize = kEmptyRect;  // the placement's size (0, 0, width, height),
    RasterRect m_placedPart = kEmptyRect;  // the part of it made
};

}  // namespace cutter
