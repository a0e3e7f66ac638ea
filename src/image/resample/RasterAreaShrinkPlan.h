// The parts of the area-average reduction that do not depend on how the sums are kept: where
// the target pixel boundaries cut the source axes, the final division, and the column sums of
// the source rows that lie wholly inside a target row.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/RasterGeometrySupport.h"

namespace raster_area {

// Shares are counted in 1/1000 pixel.
constexpr uint32_t kAccuracy = RASTER_RESCALE_ACCURACY;

// A source pixel (or row) on a target boundary: kAccuracy - weight of it goes to the target
// pixel ending there, weight to the next one.
struct Split {
    uint32_t at;
    int32_t weight;
};

// The boundaries along one axis; the same for every row (columns) or worked out once (rows).
struct AxisPlan {
    raster_geometry::MallocArray<Split> splits;
    uint32_t count = 0;  // the new size, or one less when the last target pixel has a remainder
};

// Plans the boundaries of size source pixels over newSize target pixels (size > newSize),
// scale being size / newSize as a float. False when memory runs out.
bool PlanAxis(uint32_t size, uint32_t newSize, float scale, AxisPlan& plan);

// The most source pixels (rows) that lie wholly inside one target pixel: between two splits,
// before the first, or after the last when that remainder belongs to the last target pixel.
uint32_t LongestRun(const AxisPlan& plan, uint32_t size);

// sum / divisor (truncated, at most 255) without the hardware division, which would dominate
// the split rows. For the usual divisors the clamped sum times a rounded-up 2^s / divisor,
// shifted by s, is the exact quotient (below 2^23 the product stays within 64 bits); larger
// divisors take a 64-bit reciprocal and one correction step.
class Divisor {
public:
    explicit Divisor(int64_t divisor);

    // The averages of a completed target row. Sums are never negative.
    template <typename Sum>
    void AverageRow(const Sum* sums, size_t count, uint8_t* out) const {
        const uint64_t top = m_top;
        const uint64_t multiplier = m_multiplier;
        if (m_divisor < kMagicLimit) {
            const unsigned shift = m_shift;
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

    // True when the quotients are the clamped sums times Multiplier(), shifted by Shift().
    bool ByMultiplier() const { return m_divisor < kMagicLimit; }
    uint64_t Top() const { return m_top; }
    uint64_t Multiplier() const { return m_multiplier; }
    unsigned Shift() const { return m_shift; }

private:
    static constexpr uint64_t kMagicLimit = uint64_t(1) << 23;
    uint64_t m_divisor;
    uint64_t m_top;
    uint64_t m_multiplier = 0;
    unsigned m_shift = 0;
};

// Column sums of the whole source rows not yet added to the target row. 16 bits hold 257
// rows of 255; Add says when they must be folded in before the next row.
class PendingRows {
public:
    static constexpr uint32_t kMaxRows = 257;
    // Sums readable past the count, zero.
    static constexpr size_t kPad = 4;

    // count sums; avx2 when the processor runs the AVX2 kernel.
    bool Allocate(size_t count, bool avx2);
    // Returns true when the sums must be folded before the next row.
    bool Add(const uint8_t* row);
    void Clear() { m_rows = 0; }
    // The sums, valid while Rows() is not 0.
    const uint16_t* Sums() const { return m_sums.get(); }
    uint32_t Rows() const { return m_rows; }

private:
    raster_geometry::MallocArray<uint16_t> m_sums;
    size_t m_count = 0;
    uint32_t m_rows = 0;
    bool m_avx2 = false;
};

}  // namespace raster_area
