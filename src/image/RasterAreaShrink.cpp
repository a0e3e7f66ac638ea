// Area-average reduction in fixed point. Every source pixel adds its bytes times its share
// (in 1/1000 pixel) to the target pixels it overlaps; a source pixel on a target column
// boundary is split between two target pixels, a source row on a target row boundary between
// two accumulator rows (accu for the current target row, carry for the next), so the picture
// is read once, row by row, without floating point per channel.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "RasterGeometrySupport.h"
#include "RasterResampleKernels.h"

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

constexpr int64_t kAccuracy = RASTER_RESCALE_ACCURACY;

// A source pixel (or row) on a target boundary: 1000 - weight of it goes to the target
// pixel ending there, weight to the next one.
struct Split {
    uint32_t at;
    int32_t weight;
};

// The boundaries along one axis; the same for every row (columns) or worked out once (rows).
struct AxisPlan {
    MallocArray<Split> splits;
    uint32_t count = 0;  // the new size, or one less when the last target pixel has a remainder
};

// trunc((position - end) * 1000), kept within 0..1000.
int32_t SplitWeight(float position, float end) {
    const auto w = int32_t((position - end) * float(kAccuracy));
    return w < 0 ? 0 : w > int32_t(kAccuracy) ? int32_t(kAccuracy) : w;
}

// The boundary starts at scale - 1 and moves on by scale after every split. Returns the
// number of splits, or newSize + 1 when there are more than newSize.
uint32_t FindSplits(uint32_t size, uint32_t newSize, float scale, Split* splits) {
    float end = scale - 1.0f;
    uint32_t count = 0;
    for (uint32_t i = 0; i < size; ++i) {
        if (float(i) < end) continue;
        if (count == newSize) return newSize + 1;
        splits[count++] = Split{i, SplitWeight(float(i), end)};
        end += scale;
    }
    return count;
}

// The same boundaries in exact arithmetic: boundary k lies at (k + 1) * size / newSize - 1.
uint32_t FindSplitsExactly(uint32_t size, uint32_t newSize, Split* splits) {
    const uint64_t n = newSize;
    for (uint32_t k = 0; k < newSize; ++k) {
        const uint64_t boundary = (uint64_t(k) + 1) * size - n;  // times newSize; size > newSize
        const uint64_t at = (boundary + n - 1) / n;
        const uint64_t past = at * n - boundary;  // (at - boundary) times newSize, below newSize
        splits[k] = Split{uint32_t(at), int32_t(past * uint64_t(kAccuracy) / n)};
    }
    return newSize;
}

// With the float boundary the last split falls on the last source pixel, or the remainder
// after it goes to the last target pixel. Over very long axes (tens of thousands of pixels)
// float rounding drifts by whole pixels: the boundary would write past the target or leave
// its end unwritten, so such sizes take their boundaries in exact arithmetic.
bool PlanAxis(uint32_t size, uint32_t newSize, float scale, AxisPlan& plan) {
    plan.splits = AllocateArray<Split>(newSize);
    if (!plan.splits) return false;
    plan.count = FindSplits(size, newSize, scale, plan.splits.get());
    if (plan.count > newSize || plan.count + 1 < newSize) plan.count = FindSplitsExactly(size, newSize, plan.splits.get());
    return true;
}

// sum / nScale (truncated, at most 255) without the hardware division, which would dominate
// the split rows. For the usual divisors the clamped sum times a rounded-up 2^s / divisor,
// shifted by s, is the exact quotient (below 2^23 the product stays within 64 bits); larger
// divisors take a 64-bit reciprocal and one correction step.
class Divisor {
public:
    explicit Divisor(int64_t divisor) : m_divisor(uint64_t(divisor < 1 ? 1 : divisor)), m_top(255 * m_divisor) {
        if (m_divisor < kMagicLimit) {
            // 2^shift >= 256 * divisor^2 keeps the rounding error of the multiplier below one
            // step for every sum under 256 * divisor.
            while ((uint64_t(1) << m_shift) < 256 * m_divisor * m_divisor) ++m_shift;
            m_multiplier = ((uint64_t(1) << m_shift) + m_divisor - 1) / m_divisor;
        } else {
            m_multiplier = UINT64_MAX / m_divisor;
        }
    }

    // The averages of a completed target row, in a pass of its own: inside the column loop
    // they would compete with the sums for registers.
    void AverageRow(const int64_t* sums, size_t count, uint8_t* out) const {
        const uint64_t top = m_top;
        const uint64_t multiplier = m_multiplier;
        if (m_divisor < kMagicLimit) {
            const unsigned shift = m_shift;
            // Sums are never negative.
            for (size_t k = 0; k < count; ++k) out[k] = uint8_t((std::min(uint64_t(sums[k]), top) * multiplier) >> shift);
            return;
        }
        for (size_t k = 0; k < count; ++k) {
            const uint64_t a = std::min(uint64_t(sums[k]), top);
            // q is a / divisor or one less (a < 2^63).
            auto q = uint64_t((static_cast<unsigned __int128>(a) * multiplier) >> 64);
            if ((q + 1) * m_divisor <= a) ++q;
            out[k] = uint8_t(q);
        }
    }

private:
    static constexpr uint64_t kMagicLimit = uint64_t(1) << 23;
    uint64_t m_divisor;
    uint64_t m_top;
    uint64_t m_multiplier = 0;
    unsigned m_shift = 0;
};

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

// Column sums of the whole source rows not yet added to accu. 16 bits hold 257 rows of
// 255; they are folded in before that, and before every split row.
class PendingRows {
public:
    bool Allocate(size_t count) {
        m_count = count;
        m_sums = AllocateArray<uint16_t>(count);
        if (m_sums) std::fill_n(m_sums.get(), count, uint16_t(0));
        return bool(m_sums);
    }
    // Returns true when the sums must be folded before the next row.
    bool Add(const uint8_t* row) {
        uint16_t* sums = m_sums.get();
        size_t k = 0;
        // 16 bytes at a time: this add is most of the work when shrinking a lot.
        for (; k + 16 <= m_count; k += 16) {
            Bytes16 bytes;
            Words16 words;
            std::memcpy(&bytes, row + k, sizeof(bytes));
            std::memcpy(&words, sums + k, sizeof(words));
            words += __builtin_convertvector(bytes, Words16);
            std::memcpy(sums + k, &words, sizeof(words));
        }
        for (; k < m_count; ++k) sums[k] = uint16_t(sums[k] + row[k]);
        return ++m_rows == kMaxRows;
    }
    template <int C>
    void FoldInto(const AxisPlan& columns, uint32_t width, int64_t* accu) {
        if (m_rows == 0) return;
        AddWholeRows<C, uint16_t>(m_sums.get(), columns, width, accu);
        Clear();
    }
    // Folds the sums together with the split row that completes a target row.
    template <int C>
    void FoldWithSplitRow(const uint8_t* row, const AxisPlan& columns, uint32_t width, int32_t wy, int64_t* accu,
                          int64_t* carry, uint32_t newWidth) {
        if (m_rows == 0) {
            AddSplitRow<C, false>(nullptr, row, columns, width, wy, accu, carry, newWidth);
            return;
        }
        AddSplitRow<C, true>(m_sums.get(), row, columns, width, wy, accu, carry, newWidth);
        Clear();
    }

private:
    void Clear() {
        std::fill_n(m_sums.get(), m_count, uint16_t(0));
        m_rows = 0;
    }
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    typedef uint16_t Words16 __attribute__((vector_size(32)));
    static constexpr uint32_t kMaxRows = 257;
    MallocArray<uint16_t> m_sums;
    size_t m_count = 0;
    uint32_t m_rows = 0;
};

template <int C>
Outcome Shrink(const SourcePlane& source, const TargetPlane& target, Scale scale, int64_t nScale, Stopper stop) {
    AxisPlan columns;
    AxisPlan rows;
    if (!PlanAxis(source.width, target.width, scale.x, columns) || !PlanAxis(source.height, target.height, scale.y, rows)) {
        return Outcome::NoMemory;
    }
    const size_t entries = size_t(target.width) * C + C;
    MallocArray<int64_t> first = AllocateArray<int64_t>(entries);
    MallocArray<int64_t> second = AllocateArray<int64_t>(entries);
    PendingRows pending;
    if (!first || !second || !pending.Allocate(size_t(source.width) * C)) return Outcome::NoMemory;
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
            if (pending.Add(row)) pending.FoldInto<C>(columns, source.width, accu);
            continue;
        }
        pending.FoldWithSplitRow<C>(row, columns, source.width, rows.splits[v].weight, accu, carry, target.width);
        divisor.AverageRow(accu, size_t(target.width) * C, target.bits + size_t(v) * target.stride);
        std::swap(accu, carry);
        for (int j = 0; j < C; ++j) carry[j] = 0;
        ++v;
    }
    if (v < target.height) {
        // The remainder rows make up the last target row.
        pending.FoldInto<C>(columns, source.width, accu);
        divisor.AverageRow(accu, size_t(target.width) * C, target.bits + size_t(v) * target.stride);
    }
    return Outcome::Done;
}

}  // namespace

Outcome AreaShrink(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, int64_t nScale,
                   Stopper stop) {
    return channels == 3 ? Shrink<3>(source, target, scale, nScale, stop) : Shrink<1>(source, target, scale, nScale, stop);
}

}  // namespace raster_resample
