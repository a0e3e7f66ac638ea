#include "browser/ThumbnailGeometry.h"

#include <algorithm>
#include <cmath>

namespace thumbs {

namespace {
uint32_t RoundedSide(double value) {
    return uint32_t(std::max(1L, std::lround(value)));   // lround: halves away from zero
}
}  // namespace

Size FitIntoSquare(uint32_t width, uint32_t height, int side) {
    if (width == 0 || height == 0) return {};
    const double ratio = double(width) / double(height);
    if (ratio > 1.0) return {uint32_t(side), RoundedSide(side / ratio)};
    return {RoundedSide(side * ratio), uint32_t(side)};
}

int DeviceThumbSide(double devicePixelRatio) {
    return std::max(kThumbSide, int(std::lround(kThumbSide * devicePixelRatio)));
}

}  // namespace thumbs
