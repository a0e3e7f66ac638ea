// Area-average reduction in fixed point. Every source pixel adds its bytes times its share
// (in 1/1000 pixel) to the target pixels it overlaps; a source pixel on a target column
// boundary is split between two target pixels, a source row on a target row boundary between
// two accumulator rows (accu for the current target row, carry for the next), so the picture
// is read once, row by row, without floating point per channel.
//
// This file keeps 64-bit sums and streams every split row into them, which serves any ratio on
// any processor. With AVX2, reductions whose runs are short enough for 32-bit sums take
// RasterAreaShrinkRows instead, which gives the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/resample/RasterAreaShrinkPlan.h"
#include "image/resample/RasterAreaShrinkRows.h"
#include "image/RasterGeometrySupport.h"
#include "image/resample/RasterResampleKernels.h"

namespace raster_resample {

namespace {

using raster_area::AxisPlan;
using raster_area::Divisor;
using raster_area::PendingRows;
using raster_area::Split;
using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

constexpr int64_t kAccuracy = raster_area::kAccuracy;

// Channel sums of run pixels from p; returns the pixel after them. The sums live in
// registers: accumulating into the array itself would chain every add through memory.
template <int C, typename T>
const T* SumRun(const T* p, uint32_t run, int64_t (&sum)[C]) {
    static_assert(C == 1 || C == 3, "one or three channels");
    int64_t s0 = 0;
    int64_t s1 = 0;
    int64_t s2 = 0;
    for (uint32_t k = 0; k < run; ++k, p += C) {
        s0 += p[0];
        if constexpr (C == 3) {
            s1 += p[1];
            s2 += p[2];
        }
    }
    sum[0] = s0;
    if constexpr (C == 3) {
        sum[1] = s1;
        sum[2] = s2;
    }
    return p;
}

// Source rows that lie wholly inside the current target row, given as one row or as the
// column sums of several (whole rows only add, so summing first changes nothing).
template <int C, typename T>
void AddWholeRows(const T* p, const AxisPlan& columns, uint32_t width, int64_t* accu) {
    int64_t sum[C];
    uint32_t x = 0;
    for (uint32_t u = 0; u < columns.count; ++u, accu += C) {
        const Split split = columns.splits[u];
        p = SumRun<C, T>(p, split.at - x, sum);
        for (int j = 0; j < C; ++j) {
            accu[j] += kAccuracy * sum[j] + (kAccuracy - split.weight) * p[j];
            accu[C + j] += int64_t(split.weight) * p[j];
        }
        p += C;
        x = split.at + 1;
    }
    SumRun<C, T>(p, width - x, sum);
    for (int j = 0; j < C; ++j) accu[j] += kAccuracy * sum[j];
}

// The whole rows summed in `whole` (column sums, or none when W is false) and a source row p
// split between the current target row (share 1000 - wy, into accu) and the next one (share
// wy, into carry), in one pass over the columns; completes the current target row in accu.
template <int C, bool W>
void AddSplitRow(const uint16_t* whole, const uint8_t* p, const AxisPlan& columns, uint32_t width, int32_t wy,
                 int64_t* accu, int64_t* carry, uint32_t newWidth) {
    const int64_t down = kAccuracy - wy;
    int64_t sum[C];
    int64_t wholeSum[C] = {};
    uint32_t x = 0;
    for (uint32_t u = 0; u < columns.count; ++u, accu += C, carry += C) {
        const Split split = columns.splits[u];
        const uint32_t run = split.at - x;
        x = split.at + 1;
        if (split.weight == 0) {
            // A boundary on a pixel edge: the pixel on it belongs wholly to this column, its
            // corner shares are exact products, and it simply joins the run.
            p = SumRun<C, uint8_t>(p, run + 1, sum);
            if constexpr (W) whole = SumRun<C, uint16_t>(whole, run + 1, wholeSum);
            for (int j = 0; j < C; ++j) {
                const int64_t up = wy * sum[j];
                accu[j] += kAccuracy * (sum[j] + wholeSum[j]) - up;
                carry[j] += up;
                carry[C + j] = 0;
            }
            continue;
        }
        p = SumRun<C, uint8_t>(p, run, sum);
        if constexpr (W) whole = SumRun<C, uint16_t>(whole, run, wholeSum);
        // The four shares of the corner pixel; times a byte they stay below 2^32.
        const auto left = uint32_t(kAccuracy - split.weight);
        const auto right = uint32_t(split.weight);
        const uint32_t downLeft = uint32_t(down) * left;
        const uint32_t upLeft = uint32_t(wy) * left;
        const uint32_t downRight = uint32_t(down) * right;
        const uint32_t upRight = uint32_t(wy) * right;
        constexpr auto accuracy = uint32_t(kAccuracy);
        for (int j = 0; j < C; ++j) {
            const uint32_t b = p[j];
            // The row's whole pixels give 1000 - wy of their sum here and wy to carry.
            const int64_t up = wy * sum[j];
            int64_t toAccu = kAccuracy * (sum[j] + wholeSum[j]) - up + downLeft * b / accuracy;
            int64_t toNext = downRight * b / accuracy;
            if constexpr (W) {
                toAccu += int64_t(left) * whole[j];
                toNext += int64_t(right) * whole[j];
            }
            accu[j] += toAccu;
            carry[j] += up + upLeft * b / accuracy;
            accu[C + j] += toNext;
            carry[C + j] = upRight * b / accuracy;
        }
        p += C;
        if constexpr (W) whole += C;
    }
    if (columns.count == newWidth) return;
    // The remainder of the row belongs to the last target pixel.
    SumRun<C, uint8_t>(p, width - x, sum);
    if constexpr (W) SumRun<C, uint16_t>(whole, width - x, wholeSum);
    for (int j = 0; j < C; ++j) {
        accu[j] += down * sum[j] + kAccuracy * wholeSum[j];
        carry[j] += wy * sum[j];
    }
}

// Adds the whole rows summed in pending to accu.
template <int C>
void FoldInto(PendingRows& pending, const AxisPlan& columns, uint32_t width, int64_t* accu) {
    if (pending.Rows() == 0) return;
    AddWholeRows<C, uint16_t>(pending.Sums(), columns, width, accu);
    pending.Clear();
}

// Folds the pending sums together with the split row that completes a target row.
template <int C>
void FoldWithSplitRow(PendingRows& pending, const uint8_t* row, const AxisPlan& columns, uint32_t width, int32_t wy,
                      int64_t* accu, int64_t* carry, uint32_t newWidth) {
    if (pending.Rows() == 0) {
        AddSplitRow<C, false>(nullptr, row, columns, width, wy, accu, carry, newWidth);
        return;
    }
    AddSplitRow<C, true>(pending.Sums(), row, columns, width, wy, accu, carry, newWidth);
    pending.Clear();
}

template <int C>
Outcome Shrink(const SourcePlane& source, const TargetPlane& target, const AxisPlan& columns, const AxisPlan& rows,
               int64_t nScale, Stopper stop, bool avx2) {
    const size_t entries = size_t(target.width) * C + C;
    MallocArray<int64_t> first = AllocateArray<int64_t>(entries);
    MallocArray<int64_t> second = AllocateArray<int64_t>(entries);
    PendingRows pending;
    if (!first || !second || !pending.Allocate(size_t(source.width) * C, avx2)) return Outcome::NoMemory;
    std::fill_n(first.get(), entries, 0);
    std::fill_n(second.get(), entries, 0);
    int64_t* accu = first.get();
    int64_t* carry = second.get();
    const Divisor divisor(nScale);

    uint32_t v = 0;  // target row being filled = number of split rows seen
    for (uint32_t y = 0; y < source.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(y) * source.stride;
        if (v == rows.count || y != rows.splits[v].at) {
            if (pending.Add(row)) FoldInto<C>(pending, columns, source.width, accu);
            continue;
        }
        FoldWithSplitRow<C>(pending, row, columns, source.width, rows.splits[v].weight, accu, carry, target.width);
        divisor.AverageRow(accu, size_t(target.width) * C, target.bits + size_t(v) * target.stride);
        std::swap(accu, carry);
        for (int j = 0; j < C; ++j) carry[j] = 0;
        ++v;
    }
    if (v < target.height) {
        // The remainder rows make up the last target row.
        FoldInto<C>(pending, columns, source.width, accu);
        divisor.AverageRow(accu, size_t(target.width) * C, target.bits + size_t(v) * target.stride);
    }
    return Outcome::Done;
}

}  // namespace

Outcome AreaShrink(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, int64_t nScale,
                   Stopper stop, BlendPath path) {
    AxisPlan columns;
    AxisPlan rows;
    if (!raster_area::PlanAxis(source.width, target.width, scale.x, columns) ||
        !raster_area::PlanAxis(source.height, target.height, scale.y, rows)) {
        return Outcome::NoMemory;
    }
    const bool avx2 = UsesAvx2(path);
    if (avx2 && raster_area::LongestRun(columns, source.width) <= raster_area::kMaxRun &&
        raster_area::LongestRun(rows, source.height) <= raster_area::kMaxRun) {
        return raster_area::ShrinkByRows(source, target, channels, columns, rows, nScale, stop);
    }
    return channels == 3 ? Shrink<3>(source, target, columns, rows, nScale, stop, avx2)
                         : Shrink<1>(source, target, columns, rows, nScale, stop, avx2);
}

}  // namespace raster_resample
