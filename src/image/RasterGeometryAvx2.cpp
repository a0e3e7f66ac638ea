#include "image/RasterGeometryAvx2.h"

#include "image/RasterPixels24Avx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

// rows[j] becomes lane j of every row, in row order.
RASTER_AVX2_INLINE void Transpose8x8(__m256i rows[8]) {
    const __m256i t0 = _mm256_unpacklo_epi32(rows[0], rows[1]);
    const __m256i t1 = _mm256_unpackhi_epi32(rows[0], rows[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(rows[2], rows[3]);
    const __m256i t3 = _mm256_unpackhi_epi32(rows[2], rows[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(rows[4], rows[5]);
    const __m256i t5 = _mm256_unpackhi_epi32(rows[4], rows[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(rows[6], rows[7]);
    const __m256i t7 = _mm256_unpackhi_epi32(rows[6], rows[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
    rows[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    rows[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    rows[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    rows[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    rows[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    rows[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    rows[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    rows[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

}  // namespace

RASTER_AVX2 void TurnBlocks24(const BlockColumn& column) {
    const uint8_t* source = column.source;
    uint8_t* target = column.target;
    for (uint32_t b = 0; b < column.blocks; ++b, source += column.sourceAdvance, target += column.targetAdvance) {
        __m256i rows[kTurnBlock];
#pragma GCC unroll 8
        for (uint32_t k = 0; k < kTurnBlock; ++k) rows[k] = LoadPixels24(source + ptrdiff_t(k) * column.sourceStep);
        Transpose8x8(rows);
#pragma GCC unroll 8
        for (uint32_t j = 0; j < kTurnBlock; ++j) StorePixels24(rows[j], target + ptrdiff_t(j) * column.targetStep);
    }
}

RASTER_AVX2 size_t ReverseRow24(const uint8_t* source, uint8_t* target, size_t width) {
    const __m256i reversed = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    size_t done = 0;
    for (; done + kTurnBlock <= width; done += kTurnBlock) {
        const __m256i pixels = LoadPixels24(source + (width - done - kTurnBlock) * 3);
        StorePixels24(_mm256_permutevar8x32_epi32(pixels, reversed), target + done * 3);
    }
    return done;
}

}  // namespace rasteravx2

#endif
