#include "cutter/CutterGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cutter {

int32_t RoundHalfAway(double value) {
    const double rounded = std::round(value);  // halves away from zero
    if (!(rounded > double(std::numeric_limits<int32_t>::min()))) return std::numeric_limits<int32_t>::min();
    if (rounded >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return int32_t(rounded);
}

RasterRect Intersection(const RasterRect& a, const RasterRect& b) {
    const RasterRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                       std::min(a.bottom, b.bottom)};
    return IsEmpty(r) ? kEmptyRect : r;
}

RasterRect Union(const RasterRect& a, const RasterRect& b) {
    return RasterRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom)};
}

RasterRect Offset(const RasterRect& r, int32_t dx, int32_t dy) {
    return RasterRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

RasterRect Scaled(const RasterRect& r, double scale) {
    return RasterRect{RoundHalfAway(scale * r.left), RoundHalfAway(scale * r.top), RoundHalfAway(scale * r.right),
                      RoundHalfAway(scale * r.bottom)};
}

RasterRect Centred(int32_t clientWidth, int32_t clientHeight, int32_t width, int32_t height) {
    const int32_t x = (clientWidth - width) / 2;
    const int32_t y = (clientHeight - height) / 2;
    return RasterRect{x, y, x + width, y + height};
}

void FitAspect(int32_t boxWidth, int32_t boxHeight, double aspect, int32_t& width, int32_t& height) {
    if (double(boxWidth) / double(boxHeight) < aspect) {
        width = boxWidth;
        height = std::max(1, RoundHalfAway(double(boxWidth) / aspect));
    } else {
        height = boxHeight;
        width = std::max(1, RoundHalfAway(aspect * double(boxHeight)));
    }
}

RasterRect HandleRect(const RasterRect& placement, DragMode handle, int32_t half) {
    const int32_t cx = placement.left + Width(placement) / 2;
    const int32_t cy = placement.top + Height(placement) / 2;
    Point centre{cx, cy};
    switch (handle) {
        case DRAG_LEFT: centre = {placement.left, cy}; break;
        case DRAG_TOP: centre = {cx, placement.top}; break;
        case DRAG_RIGHT: centre = {placement.right, cy}; break;
        case DRAG_BOTTOM: centre = {cx, placement.bottom}; break;
        default: return kEmptyRect;
    }
    return RasterRect{centre.x - half, centre.y - half, centre.x + half, centre.y + half};
}

DragMode HitTest(const RasterRect& placement, Point p, int32_t handleHalf) {
    if (IsEmpty(placement)) return DRAG_NONE;
    for (DragMode handle : {DRAG_LEFT, DRAG_TOP, DRAG_RIGHT, DRAG_BOTTOM}) {
        if (Contains(HandleRect(placement, handle, handleHalf), p)) return handle;
    }
    return Contains(placement, p) ? DRAG_MOVE : DRAG_NONE;
}

namespace {

// The side that follows the dragged one, by the aspect ratio, as a 64-bit value.
int64_t Follow(double side) {
    const double rounded = std::round(side);
    return std::isfinite(rounded) && std::fabs(rounded) <= double(kMaxPlacementSide) * 2 ? int64_t(rounded)
                                                                                           : kMaxPlacementSide * 4;
}

std::optional<RasterRect> Checked(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    constexpr int64_t kLimit = std::numeric_limits<int32_t>::max() / 4;
    if (right <= left || bottom <= top) return std::nullopt;
    if (right - left > kMaxPlacementSide || bottom - top > kMaxPlacementSide) return std::nullopt;
    if (left < -kLimit || top < -kLimit || right > kLimit || bottom > kLimit) return std::nullopt;
    return RasterRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

}  // namespace

std::optional<RasterRect> DragStep(const RasterRect& placement, DragMode mode, int64_t dx, int64_t dy, double aspect) {
    const int64_t l = placement.left;
    const int64_t t = placement.top;
    const int64_t r = placement.right;
    const int64_t b = placement.bottom;
    switch (mode) {
        case DRAG_LEFT:
            if (!(l + dx + kMinDragSide < r)) return std::nullopt;
            return Checked(l + dx, t, r, t + Follow(double(r - (l + dx)) / aspect));
        case DRAG_TOP:
            if (!(t + dy + kMinDragSide < b)) return std::nullopt;
            return Checked(l, t + dy, l + Follow(aspect * double(b - (t + dy))), b);
        case DRAG_RIGHT:
            if (!(l < r + dx - kMinDragSide)) return std::nullopt;
            return Checked(l, t, r + dx, t + Follow(double(r + dx - l) / aspect));
        case DRAG_BOTTOM:
            if (!(t < b + dy - kMinDragSide)) return std::nullopt;
            return Checked(l, t, l + Follow(aspect * double(b + dy - t)), b + dy);
        case DRAG_MOVE: return Checked(l + dx, t + dy, r + dx, b + dy);
        default: return std::nullopt;
    }
}

}  // namespace cutter
