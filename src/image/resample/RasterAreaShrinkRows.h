// The area-average reduction one target row at a time, with 32-bit sums, for reductions whose
// target pixels cover at most kMaxRun whole source pixels (rows) each, as resizing a photo
// for the screen does.
//
// A target row is made of the whole source rows inside it (their column sums), the source row
// on its lower boundary (share 1000 - wy) and the one on its upper boundary (the share wy that
// row left over from the target row above). Per source column these add up to
// 1000 * whole + (1000 - wy) * closing + wyPrevious * previous, and the target pixel sums that
// over its whole columns. The pixels on a column boundary are the exception: their corner
// shares are truncated products per source row, so they are worked out on their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/resample/RasterAreaShrinkPlan.h"
#include "image/compose/RasterBlendRow.h"
#include "image/resample/RasterResampleKernels.h"

namespace raster_area {

// The longest run either axis may have on this path. The sum of a target pixel is then at
// most 255 * 1000 * (kMaxRun + 2)^2, the source pixels it touches at full share, and the whole
// rows of a target row sum to at most kMaxRun * 255 per column.
constexpr uint32_t kMaxRun = 64;
static_assert(uint64_t(255) * kAccuracy * (kMaxRun + 2) * (kMaxRun + 2) < (uint64_t(1) << 31), "sums fit 32 bits");
static_assert(kMaxRun * 255 < 32768, "whole-row sums fit 15 bits");

// Runs up to this length are summed over a fixed window, without a branch per pixel.
constexpr uint32_t kMaxWindow = 4;

// The rows of one target row and their shares (of kAccuracy).
struct RowShares {
    const uint8_t* closing;   // on the lower boundary
    uint32_t down;            // its share here
    const uint8_t* previous;  // on the upper boundary
    uint32_t up;              // its share here
};

// out[e] = 1000 * whole[e] + down * closing[e] + up * previous[e] for e in first..count.
void CombineRows(const uint16_t* whole, const RowShares& rows, size_t first, size_t count, uint32_t* out);

// The source values of the pixels on column boundaries (one per boundary and channel), and the
// share of them (of kAccuracy) that stays with the column ending there.
struct SplitValues {
    const uint32_t* whole;
    const uint32_t* closing;
    const uint32_t* previous;
    const uint32_t* left;
};

// Sums of the boundary pixels for i in first..count: near[i] for the column ending on them,
// far[i] for the next one; each row's part of a corner is truncated on its own.
void ShareSplitValues(const SplitValues& values, uint32_t down, uint32_t up, size_t first, size_t count,
                      uint32_t* near, uint32_t* far);

// The whole source pixels of each target column: the first one and how many.
struct ColumnRuns {
    const uint32_t* start;
    const uint32_t* length;
    uint32_t columns;
};

// Sums of a target row: per target value near + far + the combined values of its run.
using ColumnSummer = void (*)(const ColumnRuns& runs, const uint32_t* vertical, const uint32_t* near,
                              const uint32_t* far, uint32_t* sums);

// Shrinks with the splits planned for both axes; LongestRun of each must be at most kMaxRun.
// Only for processors that run AVX2 (Avx2BlendAvailable): the portable parts are there for
// the ends of rows, and would be slower on their own than the streaming reduction.
raster_resample::Outcome ShrinkByRows(const raster_resample::SourcePlane& source,
                                      const raster_resample::TargetPlane& target, int channels,
                                      const AxisPlan& columns, const AxisPlan& rows, int64_t nScale,
                                      raster_resample::Stopper stop);

}  // namespace raster_area
