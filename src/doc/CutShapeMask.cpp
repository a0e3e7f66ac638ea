#include "doc/CutShapeMask.h"

#include <cstring>
#include <memory>
#include <new>

#include "doc/CropBoxModel.h"
#include "doc/RoundCornerPath.h"
#include "image/RasterBlockPool.h"

namespace {

constexpr uint8_t kKept = 255;

struct PoolRelease {
    void operator()(uint8_t* block) const { RasterBlockPool::Shared().Release(block); }
};
using PoolPlane = std::unique_ptr<uint8_t, PoolRelease>;

// Turns a plane drawn top row first into stored (bottom-up) order, one row held aside at a time.
bool TurnRowsUpsideDown(uint8_t* plane, size_t rowBytes, size_t rows) {
    std::unique_ptr<uint8_t[]> held(new (std::nothrow) uint8_t[rowBytes]);
    if (!held) return false;
    for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
        uint8_t* upper = plane + top * rowBytes;
        uint8_t* lower = plane + bottom * rowBytes;
        std::memcpy(held.get(), upper, rowBytes);
        std::memcpy(upper, lower, rowBytes);
        std::memcpy(lower, held.get(), rowBytes);
    }
    return true;
}

}  // namespace

bool DrawKeptShape(GreySurface& surface, int shape, int inset) {
    const int width = surface.Width();
    const int height = surface.Height();
    const int innerWidth = width - 2 * inset;
    const int innerHeight = height - 2 * inset;
    const bool hasInner = innerWidth > 0 && innerHeight > 0;
    switch (shape) {
        case cropbox::kShapeRectangle:
            if (hasInner) surface.FillRect(inset, inset, innerWidth, innerHeight, kKept);
            return true;
        case cropbox::kShapeRoundCorner:
            if (hasInner) surface.FillPath(RoundCornerFigureCovering(inset, inset, width - inset, height - inset), kKept);
            return true;
        case cropbox::kShapeOval:
            if (hasInner) surface.FillEllipse(inset, inset, innerWidth, innerHeight, kKept);
            return true;
        default:
            return false;
    }
}

uint8_t* MakeShapeMask(int width, int height, int shape, int inset, int tileSide) {
    if (width <= 0 || height <= 0) return nullptr;
    const size_t rowBytes = size_t(width);
    const size_t bytes = rowBytes * size_t(height);
    PoolPlane plane(RasterBlockPool::Shared().Allocate(bytes));
    if (!plane) return nullptr;
    // Pool blocks keep what they held before.
    std::memset(plane.get(), 0, bytes);
    GreySurface surface(plane.get(), width, height, tileSide);
    if (!surface.IsValid() || !DrawKeptShape(surface, shape, inset)) return nullptr;
    if (!TurnRowsUpsideDown(plane.get(), rowBytes, size_t(height))) return nullptr;
    return plane.release();
}
