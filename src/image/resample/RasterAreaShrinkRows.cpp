#include "image/resample/RasterAreaShrinkRows.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "image/resample/RasterAreaShrinkAvx2.h"

namespace raster_area {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;
using raster_resample::Outcome;
using raster_resample::SourcePlane;
using raster_resample::Stopper;
using raster_resample::TargetPlane;

// trunc(share * value / 1000) for the products of two shares and a byte (below 2^28).
inline uint32_t Corner(uint32_t share, uint32_t value) {
    return share * value / kAccuracy;
}

// The sums of each target column: the shares of its boundary pixels (near, and far of the
// column before) and the combined values of its run of whole source pixels, given by start
// pixel and length. Runs of at most K pixels are summed over a fixed window of K, keeping the
// first `length`, without a branch per pixel: the combined values are padded so that the
// last window stays inside them.
template <int C, uint32_t K>
void SumColumns(const ColumnRuns& runs, const uint32_t* vertical, const uint32_t* near, const uint32_t* far,
                uint32_t* sums) {
    const uint32_t* start = runs.start;
    const uint32_t* length = runs.length;
    const uint32_t columns = runs.columns;
    for (uint32_t u = 0; u < columns; ++u) {
        const uint32_t* p = vertical + size_t(start[u]) * C;
        const uint32_t n = length[u];
        const size_t at = size_t(u) * C;
        uint32_t s[C];
        for (int j = 0; j < C; ++j) s[j] = near[at + j] + far[at + j];
#pragma GCC unroll 8
        for (uint32_t k = 0; k < K; ++k) {
            const uint32_t keep = 0u - uint32_t(k < n);
            for (int j = 0; j < C; ++j) s[j] += p[k * C + j] & keep;
        }
        for (int j = 0; j < C; ++j) sums[at + j] = s[j];
    }
}

// Runs of any length, one branch per pixel.
template <int C>
void SumLongColumns(const ColumnRuns& runs, const uint32_t* vertical, const uint32_t* near, const uint32_t* far,
                    uint32_t* sums) {
    for (uint32_t u = 0; u < runs.columns; ++u) {
        const uint32_t* p = vertical + size_t(runs.start[u]) * C;
        const size_t at = size_t(u) * C;
        uint32_t s[C];
        for (int j = 0; j < C; ++j) s[j] = near[at + j] + far[at + j];
        for (uint32_t k = 0; k < runs.length[u]; ++k, p += C) {
            for (int j = 0; j < C; ++j) s[j] += p[j];
        }
        for (int j = 0; j < C; ++j) sums[at + j] = s[j];
    }
}

template <int C>
ColumnSummer ChooseColumnSummer(uint32_t longest) {
#if defined(RASTER_BLEND_AVX2)
    if constexpr (C == 3) {
        if (const ColumnSummer summer = rasteravx2::PixelColumnSummer(longest)) return summer;
    }
#endif
    switch (longest) {
        case 0:
        case 1: return SumColumns<C, 1>;
        case 2: return SumColumns<C, 2>;
        case 3: return SumColumns<C, 3>;
        case 4: return SumColumns<C, 4>;
        default: return SumLongColumns<C>;
    }
}

// Makes the target rows of one plane of C channels, top to bottom. Keeps the closing row of
// each target row (and its boundary values) for the next one.
template <int C>
class TargetRowComposer {
public:
    bool Prepare(const AxisPlan& columns, uint32_t width, uint32_t newWidth) {
        m_columns = newWidth;
        m_values = size_t(columns.count) * C;
        m_elements = size_t(width) * C;
        m_sumColumns = ChooseColumnSummer<C>(LongestRun(columns, width));
        const size_t entries = size_t(newWidth) * C + C + kPad;
        const size_t verticalEntries = m_elements + (size_t(kMaxWindow) + 1) * C + kPad;
        m_vertical = AllocateArray<uint32_t>(verticalEntries);
        m_start = AllocateArray<uint32_t>(newWidth);
        m_length = AllocateArray<uint32_t>(newWidth);
        m_index = AllocateArray<uint32_t>(m_values + 1);
        m_left = AllocateArray<uint32_t>(m_values + 1);
        m_whole = AllocateArray<uint32_t>(m_values + 1);
        m_closing = AllocateArray<uint32_t>(m_values + 1);
        m_previous = AllocateArray<uint32_t>(m_values + 1);
        m_near = AllocateArray<uint32_t>(entries);
        m_far = AllocateArray<uint32_t>(entries);
        m_sums = AllocateArray<uint32_t>(entries);
        m_zeroRow = AllocateArray<uint8_t>(m_elements);
        m_zeroWhole = AllocateArray<uint16_t>(m_elements + PendingRows::kPad);
        if (!m_vertical || !m_start || !m_length || !m_index || !m_left || !m_whole || !m_closing || !m_previous ||
            !m_near || !m_far || !m_sums || !m_zeroRow || !m_zeroWhole) {
            return false;
        }
        std::fill_n(m_vertical.get(), verticalEntries, 0u);
        std::fill_n(m_previous.get(), m_values + 1, 0u);
        std::fill_n(m_near.get(), entries, 0u);
        std::fill_n(m_far.get(), entries, 0u);
        std::fill_n(m_sums.get(), entries, 0u);
        std::fill_n(m_zeroRow.get(), m_elements, uint8_t(0));
        std::fill_n(m_zeroWhole.get(), m_elements + PendingRows::kPad, uint16_t(0));
        uint32_t start = 0;
        for (uint32_t u = 0; u < newWidth; ++u) {
            // The last column runs to the end of the row when it has no split of its own.
            const uint32_t end = u < columns.count ? columns.splits[u].at : width;
            m_start[u] = start;
            m_length[u] = end - start;
            start = end + 1;
            if (u >= columns.count) continue;
            for (int j = 0; j < C; ++j) {
                m_index[size_t(u) * C + j] = end * C + uint32_t(j);
                m_left[size_t(u) * C + j] = kAccuracy - uint32_t(columns.splits[u].weight);
            }
        }
        m_previousRow = m_zeroRow.get();
        return true;
    }

    // Completes a target row: the column sums of its whole rows (null for none), the row on
    // its lower boundary with its share wy for the row below (null for none), out the target
    // row.
    void Compose(const uint16_t* whole, const uint8_t* closing, uint32_t wy, const Divisor& divisor, uint8_t* out) {
        if (!whole) whole = m_zeroWhole.get();
        if (!closing) {
            closing = m_zeroRow.get();
            wy = kAccuracy;
        }
        const RowShares shares{closing, kAccuracy - wy, m_previousRow, m_up};
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        done = rasteravx2::CombineRows(whole, shares, m_elements, m_vertical.get());
#endif
        CombineRows(whole, shares, done, m_elements, m_vertical.get());
        ShareSplits(whole, shares);
        const ColumnRuns runs{m_start.get(), m_length.get(), m_columns};
        m_sumColumns(runs, m_vertical.get(), m_near.get(), m_far.get(), m_sums.get());
        Average(divisor, out);
        std::swap(m_closing, m_previous);
        m_previousRow = closing;
        m_up = wy;
    }

private:
    // Reads past the ends of the arrays by the AVX2 kernels (one lane).
    static constexpr size_t kPad = 4;

    // The shares of the boundary pixels: what they give the column ending on them goes to
    // m_near of that column, what they give the next one to m_far of the next one.
    void ShareSplits(const uint16_t* whole, const RowShares& shares) {
        const uint32_t* index = m_index.get();
        uint32_t* wholeValues = m_whole.get();
        uint32_t* closingValues = m_closing.get();
        size_t gathered = 0;
#if defined(RASTER_BLEND_AVX2)
        if constexpr (C == 3) {
            gathered = rasteravx2::GatherPixels(whole, shares.closing, m_elements, index, m_values, wholeValues,
                                                closingValues);
        }
#endif
        for (size_t i = gathered; i < m_values; ++i) {
            wholeValues[i] = whole[index[i]];
            closingValues[i] = shares.closing[index[i]];
        }
        const SplitValues values{wholeValues, closingValues, m_previous.get(), m_left.get()};
        uint32_t* near = m_near.get();
        uint32_t* far = m_far.get() + C;
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        done = rasteravx2::ShareSplitValues(values, shares.down, shares.up, m_values, near, far);
#endif
        ShareSplitValues(values, shares.down, shares.up, done, m_values, near, far);
    }

    void Average(const Divisor& divisor, uint8_t* out) const {
        const size_t count = size_t(m_columns) * C;
        size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
        done = rasteravx2::AverageRow(m_sums.get(), count, divisor, out);
#endif
        divisor.AverageRow(m_sums.get() + done, count - done, out + done);
    }

    uint32_t m_columns = 0;
    size_t m_values = 0;    // boundary values: splits times channels
    size_t m_elements = 0;  // source values per row
    ColumnSummer m_sumColumns = nullptr;
    MallocArray<uint32_t> m_vertical;  // the combined rows, per source value
    MallocArray<uint32_t> m_start;     // per target column
    MallocArray<uint32_t> m_length;
    MallocArray<uint32_t> m_index;     // per boundary value: its source value
    MallocArray<uint32_t> m_left;
    MallocArray<uint32_t> m_whole;     // per boundary value, this target row
    MallocArray<uint32_t> m_closing;
    MallocArray<uint32_t> m_previous;  // the closing values of the row above
    MallocArray<uint32_t> m_near;      // per target value
    MallocArray<uint32_t> m_far;       // per target value, one column on
    MallocArray<uint32_t> m_sums;
    MallocArray<uint8_t> m_zeroRow;
    MallocArray<uint16_t> m_zeroWhole;
    const uint8_t* m_previousRow = nullptr;
    uint32_t m_up = 0;
};

template <int C>
Outcome Shrink(const SourcePlane& source, const TargetPlane& target, const AxisPlan& columns, const AxisPlan& rows,
               int64_t nScale, Stopper stop) {
    TargetRowComposer<C> composer;
    PendingRows pending;
    if (!composer.Prepare(columns, source.width, target.width) || !pending.Allocate(size_t(source.width) * C, true)) {
        return Outcome::NoMemory;
    }
    const Divisor divisor(nScale);
    uint32_t v = 0;  // target row being made = number of split rows seen
    for (uint32_t y = 0; y < source.height && v < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(y) * source.stride;
        if (v == rows.count || y != rows.splits[v].at) {
            pending.Add(row);  // never more than kMaxRun rows
            continue;
        }
        composer.Compose(pending.Rows() ? pending.Sums() : nullptr, row, uint32_t(rows.splits[v].weight), divisor,
                         target.bits + size_t(v) * target.stride);
        pending.Clear();
        ++v;
    }
    // The remainder rows make up the last target row.
    if (v < target.height) {
        composer.Compose(pending.Rows() ? pending.Sums() : nullptr, nullptr, 0, divisor,
                         target.bits + size_t(v) * target.stride);
    }
    return Outcome::Done;
}

}  // namespace

void CombineRows(const uint16_t* whole, const RowShares& rows, size_t first, size_t count, uint32_t* out) {
    for (size_t e = first; e < count; ++e) {
        out[e] = kAccuracy * whole[e] + rows.down * rows.closing[e] + rows.up * rows.previous[e];
    }
}

void ShareSplitValues(const SplitValues& values, uint32_t down, uint32_t up, size_t first, size_t count,
                      uint32_t* near, uint32_t* far) {
    for (size_t i = first; i < count; ++i) {
        const uint32_t left = values.left[i];
        const uint32_t right = kAccuracy - left;
        const uint32_t whole = values.whole[i];
        const uint32_t closing = values.closing[i];
        const uint32_t previous = values.previous[i];
        near[i] = left * whole + Corner(down * left, closing) + Corner(up * left, previous);
        far[i] = right * whole + Corner(down * right, closing) + Corner(up * right, previous);
    }
}

Outcome ShrinkByRows(const SourcePlane& source, const TargetPlane& target, int channels, const AxisPlan& columns,
                     const AxisPlan& rows, int64_t nScale, Stopper stop) {
    return channels == 3 ? Shrink<3>(source, target, columns, rows, nScale, stop)
                         : Shrink<1>(source, target, columns, rows, nScale, stop);
}

}  // namespace raster_area
