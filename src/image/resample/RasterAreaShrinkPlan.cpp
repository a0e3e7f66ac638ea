#include "image/resample/RasterAreaShrinkPlan.h"

#include <cstring>

#include "image/resample/RasterAreaShrinkAvx2.h"

namespace raster_area {

namespace {

using raster_geometry::AllocateArray;

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

}  // namespace

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

uint32_t LongestRun(const AxisPlan& plan, uint32_t size) {
    uint32_t longest = 0;
    uint32_t start = 0;
    for (uint32_t u = 0; u < plan.count; ++u) {
        longest = std::max(longest, plan.splits[u].at - start);
        start = plan.splits[u].at + 1;
    }
    return std::max(longest, size - start);
}

Divisor::Divisor(int64_t divisor) : m_divisor(uint64_t(divisor < 1 ? 1 : divisor)), m_top(255 * m_divisor) {
    if (m_divisor < kMagicLimit) {
        // 2^shift >= 256 * divisor^2 keeps the rounding error of the multiplier below one
        // step for every sum under 256 * divisor.
        while ((uint64_t(1) << m_shift) < 256 * m_divisor * m_divisor) ++m_shift;
        m_multiplier = ((uint64_t(1) << m_shift) + m_divisor - 1) / m_divisor;
    } else {
        m_multiplier = UINT64_MAX / m_divisor;
    }
}

bool PendingRows::Allocate(size_t count, bool avx2) {
    m_count = count;
    m_avx2 = avx2;
    m_sums = AllocateArray<uint16_t>(count + kPad);
    if (m_sums) std::fill_n(m_sums.get(), count + kPad, uint16_t(0));
    return bool(m_sums);
}

// The first row of a batch is stored, the others added.
bool PendingRows::Add(const uint8_t* row) {
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    typedef uint16_t Words16 __attribute__((vector_size(32)));
    uint16_t* sums = m_sums.get();
    const bool first = m_rows == 0;
    size_t k = 0;
#if defined(RASTER_BLEND_AVX2)
    if (m_avx2) k = rasteravx2::AddRow(row, m_count, first, sums);
#endif
    // 16 bytes at a time: this add is most of the work when shrinking a lot.
    for (; k + 16 <= m_count; k += 16) {
        Bytes16 bytes;
        Words16 words = {};
        std::memcpy(&bytes, row + k, sizeof(bytes));
        if (!first) std::memcpy(&words, sums + k, sizeof(words));
        words += __builtin_convertvector(bytes, Words16);
        std::memcpy(sums + k, &words, sizeof(words));
    }
    for (; k < m_count; ++k) sums[k] = uint16_t((first ? 0 : sums[k]) + row[k]);
    return ++m_rows == kMaxRows;
}

}  // namespace raster_area
