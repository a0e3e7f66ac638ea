// Bilinear and nearest sampling of byte planes (24-bit rows, alpha planes, 8-bit indices).
// Per-column sample positions are worked out once, so the row loops only read and blend.
#include "RasterGeometrySupport.h"
#include "RasterResampleKernels.h"

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

struct ColumnSample {
    size_t left;   // byte offset of column ix in a row
    size_t right;  // byte offset of column ix1
    float dx;
};

// Each target row blends two source rows once for all columns; the target pixels then
// blend two of those column values (the same arithmetic as blending four pixels each).
template <int C>
Outcome Interpolate(const SourcePlane& source, const TargetPlane& target, Scale scale, Stopper stop) {
    MallocArray<ColumnSample> columns = AllocateArray<ColumnSample>(target.width);
    const size_t rowBytes = size_t(source.width) * C;
    MallocArray<float> blended = AllocateArray<float>(rowBytes);
    if (!columns || !blended) return Outcome::NoMemory;
    for (uint32_t x = 0; x < target.width; ++x) {
        const SamplePosition p = BilinearPosition(x, scale.x, source.width);
        columns[x] = ColumnSample{size_t(p.index) * C, size_t(p.next) * C, p.fraction};
    }
    float* rowBlend = blended.get();
    for (uint32_t y = 0; y < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const SamplePosition row = BilinearPosition(y, scale.y, source.height);
        const uint8_t* r0 = source.bits + size_t(row.index) * source.stride;
        const uint8_t* r1 = source.bits + size_t(row.next) * source.stride;
        for (size_t k = 0; k < rowBytes; ++k) rowBlend[k] = RowBlend(r0[k], r1[k], row.fraction);
        uint8_t* out = target.bits + size_t(y) * target.stride;
        for (uint32_t x = 0; x < target.width; ++x, out += C) {
            const ColumnSample c = columns[x];
            for (int j = 0; j < C; ++j) out[j] = ColumnBlend(rowBlend[c.left + j], rowBlend[c.right + j], c.dx);
        }
    }
    return Outcome::Done;
}

template <int B>
Outcome Pick(const SourcePlane& source, const TargetPlane& target, Scale scale, Stopper stop) {
    MallocArray<size_t> columns = AllocateArray<size_t>(target.width);
    if (!columns) return Outcome::NoMemory;
    for (uint32_t x = 0; x < target.width; ++x) columns[x] = size_t(ScaledIndex(x, scale.x, source.width)) * B;
    for (uint32_t y = 0; y < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const uint8_t* row = source.bits + size_t(ScaledIndex(y, scale.y, source.height)) * source.stride;
        uint8_t* out = target.bits + size_t(y) * target.stride;
        for (uint32_t x = 0; x < target.width; ++x, out += B) {
            const uint8_t* p = row + columns[x];
            for (int j = 0; j < B; ++j) out[j] = p[j];
        }
    }
    return Outcome::Done;
}

}  // namespace

Outcome Bilinear(const SourcePlane& source, const TargetPlane& target, int channels, Scale scale, Stopper stop) {
    return channels == 3 ? Interpolate<3>(source, target, scale, stop) : Interpolate<1>(source, target, scale, stop);
}

Outcome Nearest(const SourcePlane& source, const TargetPlane& target, int bytesPerPixel, Scale scale, Stopper stop) {
    return bytesPerPixel == 3 ? Pick<3>(source, target, scale, stop) : Pick<1>(source, target, scale, stop);
}

}  // namespace raster_resample
