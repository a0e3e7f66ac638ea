#include "doc/KeptBox.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/formats/RasterExifOrientation.h"

namespace keptbox {

namespace {

struct FractionPoint {
    double x;
    double y;
};

// Where a point of the stored picture (fractions) lies in the upright one: the same turn the
// decoder makes when it applies the orientation.
FractionPoint StoredToUpright(FractionPoint p, int orientation) {
    switch (orientation) {
    case 2: return {1.0 - p.x, p.y};
    case 3: return {1.0 - p.x, 1.0 - p.y};
    case 4: return {p.x, 1.0 - p.y};
    case 5: return {p.y, p.x};
    case 6: return {1.0 - p.y, p.x};
    case 7: return {1.0 - p.y, 1.0 - p.x};
    case 8: return {p.y, 1.0 - p.x};
    default: return p;
    }
}

// The inverse turn.
FractionPoint UprightToStored(FractionPoint p, int orientation) {
    switch (orientation) {
    case 6: return StoredToUpright(p, 8);
    case 8: return StoredToUpright(p, 6);
    default: return StoredToUpright(p, orientation);  // the others are their own inverse
    }
}

}  // namespace

cropbox::Size StoredSize(cropbox::Size upright, int orientation) {
    if (ExifOrientationSwapsSides(orientation)) std::swap(upright.width, upright.height);
    return upright;
}

cropbox::Rect UprightRect(const KeptCrop& crop, int orientation, cropbox::Size upright) {
    if (upright.width <= 0 || upright.height <= 0) return {};
    const FractionPoint a = StoredToUpright({crop.left, crop.top}, orientation);
    const FractionPoint b = StoredToUpright({crop.right, crop.bottom}, orientation);
    const auto at = [](double fraction, int side) { return int(std::lround(fraction * side)); };
    return cropbox::Rect{at(std::min(a.x, b.x), upright.width), at(std::min(a.y, b.y), upright.height),
                         at(std::max(a.x, b.x), upright.width), at(std::max(a.y, b.y), upright.height)};
}

void SetUprightRect(KeptCrop& crop, const cropbox::Rect& rect, int orientation, cropbox::Size upright) {
    if (upright.width <= 0 || upright.height <= 0) return;
    const auto fraction = [](int at, int side) { return std::clamp(double(at) / side, 0.0, 1.0); };
    const FractionPoint a =
        UprightToStored({fraction(rect.left, upright.width), fraction(rect.top, upright.height)}, orientation);
    const FractionPoint b =
        UprightToStored({fraction(rect.right, upright.width), fraction(rect.bottom, upright.height)}, orientation);
    crop.left = std::min(a.x, b.x);
    crop.top = std::min(a.y, b.y);
    crop.right = std::max(a.x, b.x);
    crop.bottom = std::max(a.y, b.y);
    const cropbox::Size stored = StoredSize(upright, orientation);
    crop.placedWidth = uint32_t(stored.width);
    crop.placedHeight = uint32_t(stored.height);
}

bool PlacedOn(const KeptCrop& crop, cropbox::Size stored) {
    if (!crop.ownFields || (crop.placedWidth == 0 && crop.placedHeight == 0)) return true;
    return crop.placedWidth == uint32_t(stored.width) && crop.placedHeight == uint32_t(stored.height);
}

}  // namespace keptbox
