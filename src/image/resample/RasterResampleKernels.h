// The resampling kernels behind Rescale and RescalePlane. They work on planes of 1- or
// 3-byte pixels (an alpha plane, 8-bit indices or 24-bit blue-green-red rows) in stored row
// order, with the scale factors as 32-bit floats: xScale = width / newWidth.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendRow.h"
#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

namespace raster_resample {

struct SourcePlane {
    const uint8_t* bits;
    size_t stride;    // bytes per row
    uint32_t width;
    uint32_t height;
};

struct TargetPlane {
    uint8_t* bits;
    size_t stride;
    uint32_t width;
    uint32_t height;
};

struct Scale {
    float x;
    float y;
};

enum class Outcome { Done, NoMemory, Stopped };

// Optional stop request: the kernels check it once per row.
using StopCheck = bool (*)(RasterImage& owner);
struct Stopper {
    RasterImage* owner = nullptr;
    StopCheck check = nullptr;
    bool operator()() const { return owner && check(*owner); }
};

// Fixed-point area average (weights of 1/1000 pixel, two rolling accumulator rows).
// nScale is the weight sum of one target pixel: trunc(1000 * xScale * yScale). path picks
// the vector kernels of moderate reductions; every path gives the same bytes.
Outcome AreaShrink(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale,
                   int64_t nScale, Stopper stop, BlendPath path = FastestBlendPath());

// Bilinear sampling anchored at the first row and column, last row and column clamped.
Outcome Bilinear(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, Stopper stop);

// Nearest sampling: target (x, y) = source (trunc(x * xScale), trunc(y * yScale)).
Outcome Nearest(const SourcePlane& source, const TargetPlane& target, int bytesPerPixel, Scale scale, Stopper stop);

// Source index trunc(i * scale), kept inside the source even where float rounding of
// huge sizes would step past it.
inline uint32_t ScaledIndex(uint32_t i, float scale, uint32_t sourceSize) {
    const auto index = uint32_t(float(i) * scale);
    return index < sourceSize ? index : sourceSize - 1;
}

// A bilinear sample position along one axis: the two neighbouring source indices (the
// second clamped to the last row or column) and the fraction between them.
struct SamplePosition {
    uint32_t index;
    uint32_t next;
    float fraction;
};

inline SamplePosition BilinearPosition(uint32_t i, float scale, uint32_t sourceSize) {
    const float position = float(i) * scale;
    auto index = uint32_t(position);
    const float fraction = position - float(index);
    const uint32_t last = sourceSize - 1;
    if (index > last) index = last;
    return SamplePosition{index, index < last ? index + 1 : last, fraction};
}

// The bilinear blend of one channel, in two steps: between two rows (c1 in row iy, c3 in
// row iy1), then between the blends of two columns; float intermediates, truncated result.
inline float RowBlend(int c1, int c3, float dy) {
    return float(c1) + float(c3 - c1) * dy;
}

inline uint8_t ColumnBlend(float a, float b, float dx) {
    const auto v = int32_t(a + (b - a) * dx);
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// c1 (ix, iy), c2 (ix1, iy), c3 (ix, iy1), c4 (ix1, iy1).
inline uint8_t BilinearChannel(int c1, int c2, int c3, int c4, float dx, float dy) {
    return ColumnBlend(RowBlend(c1, c3, dy), RowBlend(c2, c4, dy), dx);
}

// Bilinear sampling one target row at a time, in any order, with the bytes of Bilinear: for
// callers that use each row while it is still in cache. A target row blends its two source
// rows once for all columns (low), takes the differences of neighbouring columns (step), and
// then every target byte is low + step * dx of its column. Where the two source rows hold one
// value over all the columns a stretch of target bytes reads, every row between them has that
// value there: such stretches are found once per pair of source rows and written at once.
class BilinearRows {
public:
    // Sampling of source to targetWidth columns of `channels` bytes. False when memory runs
    // out. The source pixels must stay where they are while the sampler is used.
    bool Prepare(const SourcePlane& source, uint32_t targetWidth, int channels, Scale scale,
                 BlendPath path = FastestBlendPath());
    // Target row y (stored order): targetWidth x channels bytes to out.
    void Sample(uint32_t y, uint8_t* out);
    // The same in two steps, for callers that need only parts of a row: SelectRow makes y the
    // current row, SampleRange writes its target bytes first .. last - 1 to out[first .. last - 1]
    // (out is the start of the row), blending the source rows only where those bytes read them.
    void SelectRow(uint32_t y);
    void SampleRange(size_t first, size_t last, uint8_t* out);
    // True when the current row has every byte of the row selected before it: both lie between
    // the same two source rows, and those are equal (row blends of equal values do not depend
    // on the place between them). Callers may then copy that row instead of sampling.
    bool RowRepeats() const { return m_repeats; }
    // True when the current row's two source rows are equal: every row between them is the same.
    bool PairIsStill() const { return m_pairStill; }
    // Target bytes per row.
    size_t RowBytes() const { return m_count; }

private:
    void PairSourceRows(const SamplePosition& row);
    // low and step of the current row for source values first .. end - 1.
    void BlendSourceRows(size_t first, size_t end);

    SourcePlane m_source{};
    float m_scaleY = 0;
    int m_channels = 1;
    BlendPath m_path = BlendPath::Table;
    size_t m_rowFloats = 0;   // source values per row (width x channels)
    size_t m_count = 0;       // target bytes per row
    raster_geometry::MallocArray<uint32_t> m_index;  // per target byte: its source value
    raster_geometry::MallocArray<float> m_dx;        // per target byte: its column's fraction
    raster_geometry::MallocArray<uint64_t> m_groups; // per eight target bytes, for the AVX2 path
    raster_geometry::MallocArray<uint32_t> m_wideBases;   // per sixteen target bytes, for the
    raster_geometry::MallocArray<uint64_t> m_wideOffsets; // 512-bit path (PackWideOffsets)
    raster_geometry::MallocArray<uint64_t> m_still;  // 512-bit path: bitmaps of the source pair
    raster_geometry::MallocArray<uint64_t> m_level;  // (rasteravx512::PairRows)
    raster_geometry::MallocArray<int16_t> m_flat;    // per block of the AVX2 path: its one value, or -1
    raster_geometry::MallocArray<uint64_t> m_blockSpan; // per block: lowest | highest source value << 32
    raster_geometry::MallocArray<float> m_low;       // the blended source row, padded
    raster_geometry::MallocArray<float> m_step;      // next column minus this one, padded
    raster_geometry::MallocArray<float> m_top;       // the source rows of m_pair as floats:
    raster_geometry::MallocArray<float> m_rise;      // the first, and the second minus the first
    SamplePosition m_pair{};
    float m_dy = 0;           // the current row's place between the two source rows
    bool m_havePair = false;
    bool m_pairStill = false;  // the two source rows of m_pair are equal
    bool m_repeats = false;    // see RowRepeats
    bool m_useAvx2 = false;
    bool m_useAvx512 = false;
};

}  // namespace raster_resample
