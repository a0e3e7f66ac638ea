#include "image/formats/LosslessJpegGeometry.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr std::array<LayoutSteps, 8> kLayoutSteps = {{
    {false, false, false},  // 1 upright
    {false, true, false},   // 2 mirror
    {false, true, true},    // 3 half turn
    {false, false, true},   // 4 flip
    {true, false, false},   // 5 transpose
    {true, true, false},    // 6 quarter turn right
    {true, true, true},     // 7 transverse
    {true, false, true},    // 8 quarter turn left
}};

// The layout as a 2x2 matrix taking stored axes to shown axes (entries -1, 0, 1).
using AxisMatrix = std::array<int, 4>;

AxisMatrix MatrixOf(int layout) {
    const LayoutSteps steps = StepsOfLayout(layout);
    const int sx = steps.reverseX ? -1 : 1;
    const int sy = steps.reverseY ? -1 : 1;
    return steps.transpose ? AxisMatrix{0, sx, sy, 0} : AxisMatrix{sx, 0, 0, sy};
}

AxisMatrix Multiply(const AxisMatrix& a, const AxisMatrix& b) {
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3]};
}

int LayoutOf(const AxisMatrix& matrix) {
    for (int layout = 1; layout <= 8; ++layout) {
        if (MatrixOf(layout) == matrix) return layout;
    }
    return kLayoutUpright;
}

// A half-open interval of one axis.
struct Span {
    int64_t begin;
    int64_t end;
};

Span Reversed(Span span, int64_t size, bool reverse) { return reverse ? Span{size - span.end, size - span.begin} : span; }

RasterRect RectOf(Span x, Span y) { return {int32_t(x.begin), int32_t(y.begin), int32_t(x.end), int32_t(y.end)}; }

// One stored axis of a cut: where its written pixels lie and what stands in the way.
struct AxisCut {
    Span span;
    int64_t blockStart = 0;   // where the cut starts in TurboJPEG's transformed coordinates
    uint32_t trimmed = 0;
    bool offGrid = false;
};

AxisCut CutAxis(Span span, int64_t size, int64_t grid, bool reversed) {
    AxisCut cut{span};
    if (!reversed) {
        cut.offGrid = span.begin % grid != 0;
        cut.blockStart = span.begin;
        return cut;
    }
    const int64_t whole = size / grid * grid;   // the part made of whole blocks
    if (span.end % grid != 0) {
        if (span.end != size) {
            cut.offGrid = true;
            return cut;
        }
        cut.trimmed = uint32_t(size - whole);
        cut.span.end = whole;
    }
    cut.blockStart = whole - cut.span.end;
    return cut;
}

// The nearest place in [low, limit) where a corner may sit on one axis: the picture's edge
// (0) or offset + k * step; position itself when there is none.
int64_t SnapPosition(int64_t position, int64_t low, int64_t limit, uint32_t step, uint32_t offset) {
    if (step == 0) return position;
    const auto gridAtOrBelow = [&](int64_t at) { return at < offset ? int64_t(offset) - step : offset + (at - offset) / step * step; };
    const int64_t below = gridAtOrBelow(position);
    const int64_t firstAboveLow = gridAtOrBelow(low) < low ? gridAtOrBelow(low) + step : gridAtOrBelow(low);
    const std::array<int64_t, 4> candidates = {0, below, below + step, firstAboveLow};
    int64_t best = position;
    int64_t bestDistance = -1;
    for (const int64_t candidate : candidates) {
        if (candidate < low || candidate >= limit) continue;
        const int64_t distance = candidate > position ? candidate - position : position - candidate;
        if (bestDistance < 0 || distance < bestDistance || (distance == bestDistance && candidate < best)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace

LayoutSteps StepsOfLayout(int layout) {
    return layout >= 1 && layout <= 8 ? kLayoutSteps[size_t(layout - 1)] : kLayoutSteps[0];
}

int ComposeLayouts(int first, int then) { return LayoutOf(Multiply(MatrixOf(then), MatrixOf(first))); }

int InverseLayout(int layout) {
    for (int candidate = 1; candidate <= 8; ++candidate) {
        if (ComposeLayouts(layout, candidate) == kLayoutUpright) return candidate;
    }
    return kLayoutUpright;
}

bool LayoutSwapsSides(int layout) { return StepsOfLayout(layout).transpose; }

PixelSize ShownSize(PixelSize stored, int layout) {
    return LayoutSwapsSides(layout) ? PixelSize{stored.height, stored.width} : stored;
}

RasterRect StoredRectOf(const RasterRect& shown, PixelSize stored, int layout) {
    const LayoutSteps steps = StepsOfLayout(layout);
    const PixelSize size = ShownSize(stored, layout);
    const Span u = Reversed({shown.left, shown.right}, size.width, steps.reverseX);
    const Span v = Reversed({shown.top, shown.bottom}, size.height, steps.reverseY);
    return steps.transpose ? RectOf(v, u) : RectOf(u, v);
}

RasterRect ShownRectOf(const RasterRect& storedRect, PixelSize stored, int layout) {
    const LayoutSteps steps = StepsOfLayout(layout);
    const PixelSize size = ShownSize(stored, layout);
    const Span x{storedRect.left, storedRect.right};
    const Span y{storedRect.top, storedRect.bottom};
    const Span u = steps.transpose ? y : x;
    const Span v = steps.transpose ? x : y;
    return RectOf(Reversed(u, size.width, steps.reverseX), Reversed(v, size.height, steps.reverseY));
}

ShownGrid ShownGridOf(PixelSize stored, PixelSize grid, int layout) {
    const LayoutSteps steps = StepsOfLayout(layout);
    const PixelSize step = ShownSize(grid, layout);
    const PixelSize size = ShownSize(stored, layout);
    ShownGrid shown{step, {}};
    if (steps.reverseX && step.width) shown.offset.width = size.width % step.width;
    if (steps.reverseY && step.height) shown.offset.height = size.height % step.height;
    return shown;
}

RasterRect SnapCornerToGrid(const RasterRect& shown, const ShownGrid& grid, const RasterRect& within) {
    RasterRect snapped = shown;
    snapped.left = int32_t(SnapPosition(shown.left, within.left, shown.right, grid.step.width, grid.offset.width));
    snapped.top = int32_t(SnapPosition(shown.top, within.top, shown.bottom, grid.step.height, grid.offset.height));
    return snapped;
}

LayoutChain::LayoutChain(PixelSize stored, int layout)
    : m_stored(stored), m_layout(layout >= 1 && layout <= 8 ? layout : kLayoutUpright),
      m_storedCut{0, 0, int32_t(stored.width), int32_t(stored.height)} {}

void LayoutChain::Apply(int step) { m_layout = ComposeLayouts(m_layout, step); }

bool LayoutChain::Cut(const RasterRect& box) {
    const RasterRect place = ShownPlace();
    const int32_t width = place.right - place.left;
    const int32_t height = place.bottom - place.top;
    const int32_t left = std::clamp(std::min(box.left, box.right), 0, width);
    const int32_t right = std::clamp(std::max(box.left, box.right), 0, width);
    const int32_t top = std::clamp(std::min(box.top, box.bottom), 0, height);
    const int32_t bottom = std::clamp(std::max(box.top, box.bottom), 0, height);
    if (left == right || top == bottom) return false;
    const RasterRect shown{place.left + left, place.top + top, place.left + right, place.top + bottom};
    m_storedCut = StoredRectOf(shown, m_stored, m_layout);
    return true;
}

PixelSize LayoutChain::PictureSize() const {
    const RasterRect place = ShownPlace();
    return {uint32_t(place.right - place.left), uint32_t(place.bottom - place.top)};
}

LosslessLayout PlanLosslessCut(const RasterRect& shown, PixelSize stored, PixelSize grid, int layout) {
    LosslessLayout plan;
    plan.grid = grid;
    plan.shownGrid = ShownGridOf(stored, grid, layout);
    const PixelSize size = ShownSize(stored, layout);
    if (grid.width == 0 || grid.height == 0 || shown.left < 0 || shown.top < 0 || shown.left >= shown.right ||
        shown.top >= shown.bottom || uint32_t(shown.right) > size.width || uint32_t(shown.bottom) > size.height) {
        return plan;
    }
    const LayoutSteps steps = StepsOfLayout(layout);
    const RasterRect storedRect = StoredRectOf(shown, stored, layout);
    // A stored axis is reversed when the shown axis it becomes is.
    const bool reverseStoredX = steps.transpose ? steps.reverseY : steps.reverseX;
    const bool reverseStoredY = steps.transpose ? steps.reverseX : steps.reverseY;
    const AxisCut x = CutAxis({storedRect.left, storedRect.right}, stored.width, grid.width, reverseStoredX);
    const AxisCut y = CutAxis({storedRect.top, storedRect.bottom}, stored.height, grid.height, reverseStoredY);
    plan.stored = RectOf(x.span, y.span);
    if (x.offGrid || y.offGrid) {
        plan.verdict = LosslessVerdict::CornerOffGrid;
        plan.shown = shown;
        return plan;
    }
    if (x.span.begin >= x.span.end || y.span.begin >= y.span.end) return plan;
    plan.shown = ShownRectOf(plan.stored, stored, layout);
    plan.trim = steps.transpose ? PixelSize{y.trimmed, x.trimmed} : PixelSize{x.trimmed, y.trimmed};
    const Span blockX{x.blockStart, x.blockStart + (x.span.end - x.span.begin)};
    const Span blockY{y.blockStart, y.blockStart + (y.span.end - y.span.begin)};
    plan.blockCrop = steps.transpose ? RectOf(blockY, blockX) : RectOf(blockX, blockY);
    plan.verdict = x.trimmed || y.trimmed ? LosslessVerdict::NeedsTrim : LosslessVerdict::Lossless;
    return plan;
}

std::string LosslessVerdictText(const LosslessLayout& layout) {
    char text[256];
    switch (layout.verdict) {
        case LosslessVerdict::Lossless: return {};
        case LosslessVerdict::NeedsTrim:
            std::snprintf(text, sizeof text,
                          "the turn brings partial %ux%u blocks to the front: lossless only without %u column(s) "
                          "at the left and %u row(s) at the top",
                          layout.shownGrid.step.width, layout.shownGrid.step.height, layout.trim.width,
                          layout.trim.height);
            return text;
        case LosslessVerdict::CornerOffGrid:
            std::snprintf(text, sizeof text,
                          "the cut's top-left corner (%d, %d) is not on the picture's %ux%u block grid "
                          "(which starts at %u, %u)",
                          layout.shown.left, layout.shown.top, layout.shownGrid.step.width,
                          layout.shownGrid.step.height, layout.shownGrid.offset.width, layout.shownGrid.offset.height);
            return text;
        case LosslessVerdict::Empty: return "the cut holds no whole block of the picture";
    }
    return {};
}
