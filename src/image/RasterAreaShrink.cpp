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

// sum / nScale (truncated, at most 255) by a multiplication with a 64-bit reciprocal and
// one correction step: the hardware division would dominate the split rows.
class Divisor {
public:
    explicit Divisor(int64_t divisor)
        : m_divisor(uint64_t(divisor < 1 ? 1 : divisor)), m_reciprocal(UINT64_MAX / m_divisor) {}

    uint8_t Average(int64_t sum) const {
        const auto a = uint64_t(sum);  // sums are never negative
        if (a >= 255 * m_divisor) return 255;
        // q is a / divisor or one less (a < 2^63).
        auto q = uint64_t((static_cast<unsigned __int128>(a) * m_reciprocal) >> 64);
        if ((q + 1) * m_divisor <= a) ++q;
        return uint8_t(q);
    }

private:
    uint64_t m_divisor;
    uint64_t m_reciprocal;
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

// Pixels written + 1 .. width - 1 repeat the last written pixel (only when the float
// boundary lost splits).
template <int C>
void RepeatLastPixel(uint8_t* row, uint32_t written, uint32_t width) {
    if (written == 0) return;
    const uint8_t* last = row + size_t(written - 1) * C;
    for (uint32_t u = written; u < width; ++u) std::memcpy(row + size_t(u) * C, last, C);
}

// Source rows that lie wholly inside the current target row, given as one row or as the
// column sums of several (whole rows only add, so summing first changes nothing).
template <int C, typename T>
void AddWholeRows(const T* p, const ColumnPlan& plan, int64_t* accu) {
    int64_t sum[C];
    for (uint32_t u = 0; u < plan.count; ++u, accu += C) {
        const ColumnSplit split = plan.splits[u];
        p = SumRun<C, T>(p, split.run, sum);
        for (int j = 0; j < C; ++j) {
            accu[j] += kAccuracy * sum[j] + (kAccuracy - split.wx) * p[j];
            accu[C + j] += int64_t(split.wx) * p[j];
        }
        p += C;
    }
    SumRun<C, T>(p, plan.trailing, sum);
    for (int j = 0; j < C; ++j) accu[j] += kAccuracy * sum[j];
}

// A source row split between the current target row (share 1000 - wy, into accu) and the
// next one (share wy, into carry); completes and writes the current target row.
template <int C>
void AddSplitRow(const uint8_t* p, const ColumnPlan& plan, int32_t wy, int64_t* accu, int64_t* carry,
                 uint8_t* out, uint32_t newWidth, const Divisor& divisor) {
    const int64_t down = kAccuracy - wy;
    int64_t sum[C];
    for (uint32_t u = 0; u < plan.count; ++u, accu += C, carry += C, out += C) {
        const ColumnSplit split = plan.splits[u];
        p = SumRun<C, uint8_t>(p, split.run, sum);
        // The four shares of the corner pixel; times a byte they stay below 2^32.
        const auto left = uint32_t(kAccuracy - split.wx);
        const auto right = uint32_t(split.wx);
        const uint32_t downLeft = uint32_t(down) * left;
        const uint32_t upLeft = uint32_t(wy) * left;
        const uint32_t downRight = uint32_t(down) * right;
        const uint32_t upRight = uint32_t(wy) * right;
        constexpr auto accuracy = uint32_t(kAccuracy);
        for (int j = 0; j < C; ++j) {
            const uint32_t b = p[j];
            accu[j] += down * sum[j] + downLeft * b / accuracy;
            out[j] = divisor.Average(accu[j]);
            carry[j] += wy * sum[j] + upLeft * b / accuracy;
            accu[C + j] += downRight * b / accuracy;
            carry[C + j] = upRight * b / accuracy;
        }
        p += C;
    }
    if (plan.count >= newWidth) return;
    SumRun<C, uint8_t>(p, plan.trailing, sum);
    for (int j = 0; j < C; ++j) {
        accu[j] += down * sum[j];
        carry[j] += wy * sum[j];
        out[j] = divisor.Average(accu[j]);
    }
    RepeatLastPixel<C>(out - size_t(plan.count) * C, plan.count + 1, newWidth);
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
    void FoldInto(const ColumnPlan& plan, int64_t* accu) {
        if (m_rows == 0) return;
        AddWholeRows<C, uint16_t>(m_sums.get(), plan, accu);
        std::fill_n(m_sums.get(), m_count, uint16_t(0));
        m_rows = 0;
    }

private:
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    typedef uint16_t Words16 __attribute__((vector_size(32)));
    static constexpr uint32_t kMaxRows = 257;
    MallocArray<uint16_t> m_sums;
    size_t m_count = 0;
    uint32_t m_rows = 0;
};

template <int C>
Outcome Shrink(const SourcePlane& source, const TargetPlane& target, Scale scale, int64_t nScale, Stopper stop) {
    ColumnPlan plan;
    if (!PlanColumns(source.width, target.width, scale.x, plan)) return Outcome::NoMemory;
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

    float fEndY = scale.y - 1.0f;
    uint32_t v = 0;  // target row being filled
    // Rounding of the float boundary can add a split row past the last target row: those
    // source rows are left out, as are the columns past the last target pixel.
    for (uint32_t y = 0; y < source.height && v < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(y) * source.stride;
        if (float(y) < fEndY) {
            if (pending.Add(row)) pending.FoldInto<C>(plan, accu);
            continue;
        }
        pending.FoldInto<C>(plan, accu);
        AddSplitRow<C>(row, plan, SplitWeight(float(y), fEndY), accu, carry, target.bits + size_t(v) * target.stride,
                       target.width, divisor);
        std::swap(accu, carry);
        for (int j = 0; j < C; ++j) carry[j] = 0;
        ++v;
        fEndY += scale.y;
    }
    if (v < target.height) {
        pending.FoldInto<C>(plan, accu);
        uint8_t* out = target.bits + size_t(v) * target.stride;
        const uint32_t computed = std::min(target.width, plan.count + 1);
        for (size_t k = 0; k < size_t(computed) * C; ++k) out[k] = divisor.Average(accu[k]);
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
