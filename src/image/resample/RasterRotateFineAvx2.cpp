// AVX2 kernels of the fine turn's shears: sixteen bytes per step, widened to 16-bit values
// and filtered in pairs of taps by multiply-adds into 32-bit sums, then rounded and narrowed.
#include "image/resample/RasterRotateFineAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_resample::kShiftGroup;
using raster_resample::kTapBits;
using raster_resample::kTapOne;

RASTER_AVX2_INLINE __m256i Widen(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Sixteen 32-bit sums of a + b, in the lane order of unpacking within 128-bit halves: the
// first vector holds bytes 0-3 and 8-11, the second 4-7 and 12-15.
struct Sums {
    __m256i low;
    __m256i high;
};

// The pairs of taps (a[b], b[b]) multiplied by their weights and added.
RASTER_AVX2_INLINE Sums PairSums(__m256i a, __m256i b, __m256i weights) {
    return Sums{_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights),
                _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights)};
}

// TapLevel of the sixteen sums, stored in byte order.
RASTER_AVX2_INLINE void StoreLevels(Sums first, Sums second, uint8_t* out) {
    const __m256i half = _mm256_set1_epi32(kTapOne >> 1);
    const __m256i low = _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(first.low, second.low), half), kTapBits);
    const __m256i high = _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(first.high, second.high), half), kTapBits);
    const __m256i words = _mm256_packs_epi32(low, high);   // bytes 0-7 | 8-15 as 16-bit values
    const __m256i bytes = _mm256_packus_epi16(words, words);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0x08)));
}

// Sixteen pairs of weights for bytes b .. b + 15 in the order PairSums reads them.
RASTER_AVX2_INLINE __m256i PairsLow(const int32_t* pairs) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pairs + 8), reinterpret_cast<const __m128i*>(pairs));
}
RASTER_AVX2_INLINE __m256i PairsHigh(const int32_t* pairs) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pairs + 12),
                               reinterpret_cast<const __m128i*>(pairs + 4));
}

}  // namespace

RASTER_AVX2 size_t ShiftRowGroups(const uint8_t* in, raster_resample::ShiftTaps taps, size_t count, uint8_t* out) {
    const __m256i pair01 = _mm256_set1_epi32(raster_resample::TapPair(taps.w[0], taps.w[1]));
    const __m256i pair23 = _mm256_set1_epi32(raster_resample::TapPair(taps.w[2], taps.w[3]));
    size_t b = 0;
    for (; b + kShiftGroup <= count; b += kShiftGroup) {
        const Sums first = PairSums(Widen(in + b), Widen(in + b + 3), pair01);
        const Sums second = PairSums(Widen(in + b + 6), Widen(in + b + 9), pair23);
        StoreLevels(first, second, out + b);
    }
    return b;
}

RASTER_AVX2 void ShiftColumnGroups(const uint8_t* top, size_t stride, raster_resample::ColumnTaps taps, size_t first,
                                   size_t end, uint8_t* const out[kColumnBatch]) {
    constexpr size_t kRowsRead = kColumnBatch + 3;
    for (size_t b = first; b < end; b += kShiftGroup) {
        const __m256i upperLow = PairsLow(taps.pair01 + b);
        const __m256i upperHigh = PairsHigh(taps.pair01 + b);
        const __m256i lowerLow = PairsLow(taps.pair23 + b);
        const __m256i lowerHigh = PairsHigh(taps.pair23 + b);
        __m256i rows[kRowsRead];
        for (size_t k = 0; k < kRowsRead; ++k) rows[k] = Widen(top + k * stride + b);
        // The next batch reads the rows below these at the same bytes: one batch later, the
        // walk has moved on to other rows, which the processor's own fetching does not foresee.
        for (size_t k = kRowsRead; k < kRowsRead + kColumnBatch; ++k) {
            _mm_prefetch(reinterpret_cast<const char*>(top + k * stride + b), _MM_HINT_T0);
        }
        // Neighbouring rows side by side: pair k is rows k and k + 1.
        __m256i pairLow[kRowsRead - 1];
        __m256i pairHigh[kRowsRead - 1];
        for (size_t k = 0; k + 1 < kRowsRead; ++k) {
            pairLow[k] = _mm256_unpacklo_epi16(rows[k], rows[k + 1]);
            pairHigh[k] = _mm256_unpackhi_epi16(rows[k], rows[k + 1]);
        }
        for (size_t r = 0; r < kColumnBatch; ++r) {
            const Sums upper{_mm256_madd_epi16(pairLow[r], upperLow), _mm256_madd_epi16(pairHigh[r], upperHigh)};
            const Sums lower{_mm256_madd_epi16(pairLow[r + 2], lowerLow), _mm256_madd_epi16(pairHigh[r + 2], lowerHigh)};
            StoreLevels(upper, lower, out[r] + b);
        }
    }
}

}  // namespace rasteravx2

#endif
