// Rectangles, handles and drag steps of the cutter's preview control. Coordinates are the
// control's client pixels; rectangles contain their left and top edges, not their right and
// bottom edges. Rounding is to the nearest integer, halves away from zero.
#pragma once

#include <cstdint>
#include <optional>

#include "image/RasterImage.h"

namespace cutter {

// What a point over the placed picture grabs; also the drag mode while the button is down.
enum DragMode : int32_t {
    DRAG_NONE = 0,
    DRAG_LEFT = 1,
    DRAG_TOP = 2,
    DRAG_RIGHT = 3,
    DRAG_BOTTOM = 4,
    DRAG_MOVE = 5,
};

// Half the side of a handle square.
inline constexpr int32_t kHandleHalf = 4;
// A resized placement must stay wider (left and right handles) or taller (top and bottom)
// than this.
inline constexpr int32_t kMinDragSide = 16;
// Largest side a resized placement may take. A paint samples only the part of the placement
// the control shows, but its sampling tables span the placement's whole width, so an extreme
// aspect ratio must not let a drag ask for tables of gigabytes.
inline constexpr int64_t kMaxPlacementSide = 16384;

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

inline constexpr RasterRect kEmptyRect{0, 0, 0, 0};

inline int32_t Width(const RasterRect& r) { return r.right - r.left; }
inline int32_t Height(const RasterRect& r) { return r.bottom - r.top; }
inline bool IsEmpty(const RasterRect& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool SameRect(const RasterRect& a, const RasterRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool Contains(const RasterRect& r, Point p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Nearest integer, halves away from zero; saturates at the 32-bit range.
int32_t RoundHalfAway(double value);
// Empty when the two do not overlap.
RasterRect Intersection(const RasterRect& a, const RasterRect& b);
// The smallest rectangle containing both.
RasterRect Union(const RasterRect& a, const RasterRect& b);
RasterRect Offset(const RasterRect& r, int32_t dx, int32_t dy);
// Every coordinate multiplied by scale and rounded.
RasterRect Scaled(const RasterRect& r, double scale);
// A width x height rectangle centred in a clientWidth x clientHeight area (integer halves).
RasterRect Centred(int32_t clientWidth, int32_t clientHeight, int32_t width, int32_t height);

// The largest size of the given aspect (width / height) inside boxWidth x boxHeight, the
// computed side rounded and kept at least 1.
void FitAspect(int32_t boxWidth, int32_t boxHeight, double aspect, int32_t& width, int32_t& height);

// The square of a handle (DRAG_LEFT .. DRAG_BOTTOM) of a non-empty placement, 2 * half pixels
// on a side (8 x 8 on a screen of one device pixel per logical one).
RasterRect HandleRect(const RasterRect& placement, DragMode handle, int32_t half = kHandleHalf);
// Which handle, or the body, of a placement a point hits; DRAG_NONE for an empty placement.
DragMode HitTest(const RasterRect& placement, Point p, int32_t handleHalf = kHandleHalf);

// The placement after one drag step of (dx, dy) in the given mode; the height follows the
// width (or the width the height) by the picture's aspect ratio (width / height). Nothing
// when the step is refused: a resize that would leave the side at kMinDragSide or below, or
// that would make the rectangle empty or larger than kMaxPlacementSide.
std::optional<RasterRect> DragStep(const RasterRect& placement, DragMode mode, int64_t dx, int64_t dy, double aspect);

}  // namespace cutter
