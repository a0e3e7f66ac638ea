// Bilinear and nearest sampling of byte planes (24-bit rows, alpha planes, 8-bit indices).
// Per-column sample positions are worked out once, so the row loops only read and blend.
#include "RasterGeometrySupport.h"
#include "RasterResampleKernels.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace raster_resample {

namespace {

using raster_geometry::AllocateArray;
using raster_geometry::MallocArray;

// Per-target-column sample positions: byte offsets of columns ix and ix1 in a row, and dx.
struct ColumnTable {
    MallocArray<size_t> left;
    MallocArray<size_t> right;
    MallocArray<float> dx;

    bool Build(uint32_t count, float scale, uint32_t sourceSize, int channels) {
        left = AllocateArray<size_t>(count);
        right = AllocateArray<size_t>(count);
        dx = AllocateArray<float>(count);
        if (!left || !right || !dx) return false;
        for (uint32_t x = 0; x < count; ++x) {
            const SamplePosition p = BilinearPosition(x, scale, sourceSize);
            left[x] = size_t(p.index) * size_t(channels);
            right[x] = size_t(p.next) * size_t(channels);
            dx[x] = p.fraction;
        }
        return true;
    }
};

// The vector paths below do per lane exactly the float operations of RowBlend and
// ColumnBlend, in the same order (IEEE single precision, no fused multiply-add), so they
// give the same bytes as the scalar code that finishes each row.
#ifdef __SSE2__
// float(c1) + float(c3 - c1) * dy for four zero-extended 32-bit lanes.
inline __m128 RowBlend4(__m128i c1, __m128i c3, __m128 dy) {
    return _mm_add_ps(_mm_cvtepi32_ps(c1), _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(c3, c1)), dy));
}

// trunc(a + (b - a) * dx) per lane, saturated to 0..255 (the clamp of ColumnBlend); the
// four bytes end up in the low 32 bits.
inline uint32_t ColumnBlend4(__m128 a, __m128 b, __m128 dx) {
    const __m128i v = _mm_cvttps_epi32(_mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), dx)));
    const __m128i words = _mm_packs_epi32(v, v);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}
#endif

// out[k] = RowBlend(r0[k], r1[k], dy) for k < count.
void BlendRows(const uint8_t* r0, const uint8_t* r1, float dy, float* out, size_t count) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128 vdy = _mm_set1_ps(dy);
    const __m128i zero = _mm_setzero_si128();
    for (; k + 16 <= count; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + k));
        const __m128i aLow = _mm_unpacklo_epi8(a, zero);
        const __m128i aHigh = _mm_unpackhi_epi8(a, zero);
        const __m128i bLow = _mm_unpacklo_epi8(b, zero);
        const __m128i bHigh = _mm_unpackhi_epi8(b, zero);
        _mm_storeu_ps(out + k, RowBlend4(_mm_unpacklo_epi16(aLow, zero), _mm_unpacklo_epi16(bLow, zero), vdy));
        _mm_storeu_ps(out + k + 4, RowBlend4(_mm_unpackhi_epi16(aLow, zero), _mm_unpackhi_epi16(bLow, zero), vdy));
        _mm_storeu_ps(out + k + 8, RowBlend4(_mm_unpacklo_epi16(aHigh, zero), _mm_unpacklo_epi16(bHigh, zero), vdy));
        _mm_storeu_ps(out + k + 12, RowBlend4(_mm_unpackhi_epi16(aHigh, zero), _mm_unpackhi_epi16(bHigh, zero), vdy));
    }
#endif
    for (; k < count; ++k) out[k] = RowBlend(r0[k], r1[k], dy);
}

// One target row of 3-byte pixels from a blended source row (which has one spare float
// after its last channel, so that four floats can be read at every pixel).
void BlendColumns3(const float* blended, const ColumnTable& columns, uint32_t width, uint8_t* out) {
    uint32_t x = 0;
#ifdef __SSE2__
    // Every pixel but the last is stored as four bytes; the fourth is overwritten next.
    for (; x + 1 < width; ++x, out += 3) {
        const __m128 a = _mm_loadu_ps(blended + columns.left[x]);
        const __m128 b = _mm_loadu_ps(blended + columns.right[x]);
        const uint32_t pixel = ColumnBlend4(a, b, _mm_set1_ps(columns.dx[x]));
        std::memcpy(out, &pixel, 4);
    }
#endif
    for (; x < width; ++x, out += 3) {
        for (int j = 0; j < 3; ++j) out[j] = ColumnBlend(blended[columns.left[x] + j], blended[columns.right[x] + j], columns.dx[x]);
    }
}

// One target row of 1-byte pixels, four target pixels at a time.
void BlendColumns1(const float* blended, const ColumnTable& columns, uint32_t width, uint8_t* out) {
    uint32_t x = 0;
#ifdef __SSE2__
    const size_t* left = columns.left.get();
    const size_t* right = columns.right.get();
    for (; x + 4 <= width; x += 4) {
        const __m128 a = _mm_setr_ps(blended[left[x]], blended[left[x + 1]], blended[left[x + 2]], blended[left[x + 3]]);
        const __m128 b =
            _mm_setr_ps(blended[right[x]], blended[right[x + 1]], blended[right[x + 2]], blended[right[x + 3]]);
        const uint32_t pixels = ColumnBlend4(a, b, _mm_loadu_ps(columns.dx.get() + x));
        std::memcpy(out + x, &pixels, 4);
    }
#endif
    for (; x < width; ++x) out[x] = ColumnBlend(blended[columns.left[x]], blended[columns.right[x]], columns.dx[x]);
}

// Each target row blends two source rows once for all columns; the target pixels then
// blend two of those column values (the same arithmetic as blending four pixels each).
template <int C>
Outcome Interpolate(const SourcePlane& source, const TargetPlane& target, Scale scale, Stopper stop) {
    ColumnTable columns;
    const size_t rowBytes = size_t(source.width) * C;
    MallocArray<float> blended = AllocateArray<float>(rowBytes + 1);
    if (!columns.Build(target.width, scale.x, source.width, C) || !blended) return Outcome::NoMemory;
    blended[rowBytes] = 0.0f;  // the spare float read with the last 3-byte pixel
    for (uint32_t y = 0; y < target.height; ++y) {
        if (stop()) return Outcome::Stopped;
        const SamplePosition row = BilinearPosition(y, scale.y, source.height);
        const uint8_t* r0 = source.bits + size_t(row.index) * source.stride;
        const uint8_t* r1 = source.bits + size_t(row.next) * source.stride;
        BlendRows(r0, r1, row.fraction, blended.get(), rowBytes);
        uint8_t* out = target.bits + size_t(y) * target.stride;
        if constexpr (C == 3) {
            BlendColumns3(blended.get(), columns, target.width, out);
        } else {
            BlendColumns1(blended.get(), columns, target.width, out);
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
