// Area-average reduction in fixed point. Every source pixel adds its bytes times its share
// (in 1/1000 pixel) to the target pixels it overlaps; a source pixel on a target column
// boundary is split between two target pixels, a source row on a target row boundary between
// two accumulator rows (accu for the current target row, carry for the next), so the picture
// is read once, row by row, without floating point per channel.
#include <algorithm>
#include <cstring>

#include "RasterGeometrySupport.h"
#include "RasterResampleKernels.h"

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

constexpr int64_t kAccuracy = RASTER_RESCALE_ACCURACY;

// Where target pixel u ends: `run` whole source pixels, then one source pixel of which
// 1000 - wx goes to u and wx to u + 1.
struct ColumnSplit {
    uint32_t run;
    int32_t wx;
};

// The split pattern is the same for every source row, so it is worked out once.
struct ColumnPlan {
    MallocArray<ColumnSplit> splits;
    uint32_t count = 0;     // at most the target width
    uint32_t trailing = 0;  // whole pixels after the last split (count < target width only)
};

// trunc((position - end) * 1000), kept within 0..1000.
int32_t SplitWeight(float position, float end) {
    const auto w = int32_t((position - end) * float(kAccuracy));
    return w < 0 ? 0 : w > int32_t(kAccuracy) ? int32_t(kAccuracy) : w;
}

// The running boundary (xScale - 1, then + xScale per split) is a float: over very wide rows
// its rounding can add a split past the last target pixel (dropped here) or lose the last
// one (the rows are completed by repeating the last computed pixel).
bool PlanColumns(uint32_t width, uint32_t newWidth, float xScale, ColumnPlan& plan) {
    plan.splits = AllocateArray<ColumnSplit>(newWidth);
    if (!plan.splits) return false;
    float fEndX = xScale - 1.0f;
    uint32_t run = 0;
    uint32_t count = 0;
    for (uint32_t x = 0; x < width && count < newWidth; ++x) {
        if (float(x) < fEndX) {
            ++run;
            continue;
        }
        plan.splits[count++] = ColumnSplit{run, SplitWeight(float(x), fEndX)};
        run = 0;
        fEndX += xScale;
    }
    plan.count = count;
    plan.trailing = count < newWidth ? run : 0;
    return true;
}

uint8_t Average(int64_t sum, int64_t nScale) {
    const int64_t v = sum / nScale;
    return uint8_t(v > 255 ? 255 : v);
}

template <int C>
const uint8_t* SumRun(const uint8_t* p, uint32_t run, int64_t (&sum)[C]) {
    for (int j = 0; j < C; ++j) sum[j] = 0;
    for (uint32_t k = 0; k < run; ++k, p += C) {
        for (int j = 0; j < C; ++j) sum[j] += p[j];
    }
    return p;
}

// Pixels written + 1 .. width - 1 repeat the last written pixel (only when the float
// boundary lost splits).
template <int C>
void RepeatLastPixel(uint8_t* row, uint32_t written, uint32_t width) {
    if (written == 0) return;
    const uint8_t* last = row + size_t(written - 1) * C;
    for (uint32_t u = written; u < width; ++u) std::memcpy(row + size_t(u) * C, last, C);
}

// A source row that lies wholly inside the current target row.
template <int C>
void AddWholeRow(const uint8_t* p, const ColumnPlan& plan, int64_t* accu) {
    int64_t sum[C];
    for (uint32_t u = 0; u < plan.count; ++u, accu += C) {
        const ColumnSplit split = plan.splits[u];
        p = SumRun<C>(p, split.run, sum);
        for (int j = 0; j < C; ++j) {
            accu[j] += kAccuracy * sum[j] + (kAccuracy - split.wx) * p[j];
            accu[C + j] += int64_t(split.wx) * p[j];
        }
        p += C;
    }
    SumRun<C>(p, plan.trailing, sum);
    for (int j = 0; j < C; ++j) accu[j] += kAccuracy * sum[j];
}

// A source row split between the current target row (share 1000 - wy, into accu) and the
// next one (share wy, into carry); completes and writes the current target row.
template <int C>
void AddSplitRow(const uint8_t* p, const ColumnPlan& plan, int32_t wy, int64_t* accu, int64_t* carry,
                 uint8_t* out, uint32_t newWidth, int64_t nScale) {
    const int64_t down = kAccuracy - wy;
    int64_t sum[C];
    for (uint32_t u = 0; u < plan.count; ++u, accu += C, carry += C, out += C) {
        const ColumnSplit split = plan.splits[u];
        p = SumRun<C>(p, split.run, sum);
        const int64_t left = kAccuracy - split.wx;
        const int64_t right = split.wx;
        for (int j = 0; j < C; ++j) {
            const int64_t b = p[j];
            accu[j] += down * sum[j] + down * left * b / kAccuracy;
            out[j] = Average(accu[j], nScale);
            carry[j] += wy * sum[j] + wy * left * b / kAccuracy;
            accu[C + j] += down * right * b / kAccuracy;
            carry[C + j] = wy * right * b / kAccuracy;
        }
        p += C;
    }
    if (plan.count >= newWidth) return;
    SumRun<C>(p, plan.trailing, sum);
    for (int j = 0; j < C; ++j) {
        accu[j] += down * sum[j];
        carry[j] += wy * sum[j];
        out[j] = Average(accu[j], nScale);
    }
    RepeatLastPixel<C>(out - size_t(plan.count) * C, plan.count + 1, newWidth);
}

template <int C>
Outcome Shrink(const SourcePlane& source, const TargetPlane& target, Scale scale, int64_t nScale, Stopper stop) {
    ColumnPlan plan;
    if (!PlanColumns(source.width, target.width, scale.x, plan)) return Outcome::NoMemory;
    const size_t entries = size_t(target.width) * C + C;
    MallocArray<int64_t> first = AllocateArray<int64_t>(entries);
    MallocArray<int64_t> second = AllocateArray<int64_t>(entries);
    if (!first || !second) return Outcome::NoMemory;
    std::fill_n(first.get(), entries, 0);
    std::fill_n(second.get(), entries, 0);
    int64_t* accu = first.get();
    int64_t* carry = second.get();
    if (nScale < 1) nScale = 1;

    float fEndY = scale.y - 1.0f;
    uint32_t v = 0;  // target row being filled
    // Rounding of the float boundary can add a split row past the last target row: those
    // source rows are left out, as are the columns past the last target pixel.
    for (uint32_t y = 0; y < source.height && v < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(y) * source.stride;
        if (float(y) < fEndY) {
            AddWholeRow<C>(row, plan, accu);
            continue;
        }
        AddSplitRow<C>(row, plan, SplitWeight(float(y), fEndY), accu, carry, target.bits + size_t(v) * target.stride,
                       target.width, nScale);
        std::swap(accu, carry);
        for (int j = 0; j < C; ++j) carry[j] = 0;
        ++v;
        fEndY += scale.y;
    }
    if (v < target.height) {
        uint8_t* out = target.bits + size_t(v) * target.stride;
        const uint32_t computed = std::min(target.width, plan.count + 1);
        for (size_t k = 0; k < size_t(computed) * C; ++k) out[k] = Average(accu[k], nScale);
        RepeatLastPixel<C>(out, computed, target.width);
        for (uint32_t rest = v + 1; rest < target.height; ++rest) {
            std::memcpy(target.bits + size_t(rest) * target.stride, out, size_t(target.width) * C);
        }
    }
    return Outcome::Done;
}

}  // namespace

Outcome AreaShrink(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, int64_t nScale,
                   Stopper stop) {
    return channels == 3 ? Shrink<3>(source, target, scale, nScale, stop) : Shrink<1>(source, target, scale, nScale, stop);
}

}  // namespace raster_resample
