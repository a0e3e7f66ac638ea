// AVX2 row kernel of the fine turn: eight target pixels per step, one per 32-bit lane, each
// channel in its own float vector. A turned row walks the source on a slant, so the sixteen
// taps of each pixel are fetched by gathers of whole 4-byte words.
#include "image/resample/RasterRotateFineAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#include "image/RasterPixels24Avx2.h"

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_resample::TurnRow;
using raster_resample::TurnSource;

struct Weights4 {
    __m256 w[4];
};

// KeysWeights, lane by lane, in its order of operations.
RASTER_AVX2_INLINE Weights4 KeysWeights8(__m256 t) {
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 tt = _mm256_mul_ps(t, t);
    Weights4 k;
    k.w[0] = _mm256_mul_ps(
        t, _mm256_sub_ps(_mm256_mul_ps(t, _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(-0.5f), t), one)), half));
    k.w[1] = _mm256_add_ps(_mm256_mul_ps(tt, _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(1.5f), t), _mm256_set1_ps(2.5f))),
                           one);
    k.w[2] = _mm256_mul_ps(
        t, _mm256_add_ps(_mm256_mul_ps(t, _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(-1.5f), t), _mm256_set1_ps(2.0f))),
                         half));
    k.w[3] = _mm256_mul_ps(tt, _mm256_sub_ps(_mm256_mul_ps(half, t), half));
    return k;
}

RASTER_AVX2_INLINE __m256i ClampLanes(__m256i v, __m256i high) {
    return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), high);
}

struct Channels {
    __m256 blue, green, red;
};

// One tap of the eight pixels: the source pixel at byte offset (the word that ends with it,
// shifted down a byte) as floats per channel.
RASTER_AVX2_INLINE Channels FetchTap(const uint8_t* before, __m256i offset) {
    const __m256i bytes = _mm256_srli_epi32(_mm256_i32gather_epi32(reinterpret_cast<const int*>(before), offset, 1), 8);
    const __m256i low = _mm256_set1_epi32(0xFF);
    return Channels{_mm256_cvtepi32_ps(_mm256_and_si256(bytes, low)),
                    _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(bytes, 8), low)),
                    _mm256_cvtepi32_ps(_mm256_srli_epi32(bytes, 16))};
}

RASTER_AVX2_INLINE __m256 Mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
RASTER_AVX2_INLINE __m256 Add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }

// Rounded to nearest even, clamped to 0..255, as a 32-bit lane.
RASTER_AVX2_INLINE __m256i ToLevel(__m256 v) {
    return ClampLanes(_mm256_cvtps_epi32(v), _mm256_set1_epi32(255));
}

// The eight pixels starting at target pixel i, as blue | green << 8 | red << 16 per lane.
RASTER_AVX2_INLINE __m256i TurnGroup(const TurnSource& source, const TurnRow& row, size_t i) {
    const __m256 index = _mm256_add_ps(_mm256_set1_ps(float(i)), _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7));
    const __m256 x = Add(_mm256_set1_ps(row.x0), Mul(index, _mm256_set1_ps(row.stepX)));
    const __m256 y = Add(_mm256_set1_ps(row.y0), Mul(index, _mm256_set1_ps(row.stepY)));
    const __m256 lowEdge = _mm256_set1_ps(-0.5f);
    const __m256 inside = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(x, lowEdge, _CMP_GE_OQ),
                      _mm256_cmp_ps(x, _mm256_set1_ps(float(source.width) - 0.5f), _CMP_LE_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(y, lowEdge, _CMP_GE_OQ),
                      _mm256_cmp_ps(y, _mm256_set1_ps(float(source.height) - 0.5f), _CMP_LE_OQ)));
    const __m256i white = _mm256_set1_epi32(0xFFFFFF);
    if (_mm256_movemask_ps(inside) == 0) return white;

    const __m256 wholeX = _mm256_floor_ps(x);
    const __m256 wholeY = _mm256_floor_ps(y);
    const Weights4 wx = KeysWeights8(_mm256_sub_ps(x, wholeX));
    const Weights4 wy = KeysWeights8(_mm256_sub_ps(y, wholeY));
    // Points far outside only need indices that stay inside: clamp before the conversion.
    // Any whole part beyond two pixels outside gives the same (clamped) taps.
    const __m256 lowReach = _mm256_set1_ps(-4.0f);
    const __m256i ix = _mm256_cvttps_epi32(
        _mm256_min_ps(_mm256_max_ps(wholeX, lowReach), _mm256_set1_ps(float(source.width) + 4.0f)));
    const __m256i iy = _mm256_cvttps_epi32(
        _mm256_min_ps(_mm256_max_ps(wholeY, lowReach), _mm256_set1_ps(float(source.height) + 4.0f)));
    const __m256i lastX = _mm256_set1_epi32(int(source.width - 1));
    const __m256i lastY = _mm256_set1_epi32(int(source.height - 1));
    const __m256i three = _mm256_set1_epi32(3);
    const __m256i stride = _mm256_set1_epi32(int(source.stride));

    __m256i column[4];
    for (int k = 0; k < 4; ++k) {
        column[k] = _mm256_mullo_epi32(ClampLanes(_mm256_add_epi32(ix, _mm256_set1_epi32(k - 1)), lastX), three);
    }
    const uint8_t* before = source.bits - 1;
    Channels sum{};
    for (int j = 0; j < 4; ++j) {
        // Picture row iy + j - 1 is stored row height - 1 - (iy + j - 1).
        const __m256i pictureRow = ClampLanes(_mm256_add_epi32(iy, _mm256_set1_epi32(j - 1)), lastY);
        const __m256i rowStart = _mm256_mullo_epi32(_mm256_sub_epi32(lastY, pictureRow), stride);
        Channels line{};
        for (int k = 0; k < 4; ++k) {
            const Channels tap = FetchTap(before, _mm256_add_epi32(rowStart, column[k]));
            if (k == 0) {
                line = Channels{Mul(wx.w[0], tap.blue), Mul(wx.w[0], tap.green), Mul(wx.w[0], tap.red)};
            } else {
                line = Channels{Add(line.blue, Mul(wx.w[k], tap.blue)), Add(line.green, Mul(wx.w[k], tap.green)),
                                Add(line.red, Mul(wx.w[k], tap.red))};
            }
        }
        if (j == 0) {
            sum = Channels{Mul(wy.w[0], line.blue), Mul(wy.w[0], line.green), Mul(wy.w[0], line.red)};
        } else {
            sum = Channels{Add(sum.blue, Mul(wy.w[j], line.blue)), Add(sum.green, Mul(wy.w[j], line.green)),
                           Add(sum.red, Mul(wy.w[j], line.red))};
        }
    }
    const __m256i pixels = _mm256_or_si256(
        _mm256_or_si256(ToLevel(sum.blue), _mm256_slli_epi32(ToLevel(sum.green), 8)), _mm256_slli_epi32(ToLevel(sum.red), 16));
    return _mm256_blendv_epi8(white, pixels, _mm256_castps_si256(inside));
}

}  // namespace

RASTER_AVX2 size_t TurnRowGroups(const TurnSource& source, const TurnRow& row, size_t count, uint8_t* out) {
    size_t done = 0;
    for (; done + kTurnGroup <= count; done += kTurnGroup) StorePixels24(TurnGroup(source, row, done), out + done * 3);
    return done;
}

}  // namespace rasteravx2

#endif
