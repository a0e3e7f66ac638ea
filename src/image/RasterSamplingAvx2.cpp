// AVX2 column stage of bilinear sampling: eight target bytes per vector. The source values a
// group needs lie within eight neighbours (whenever the sampling does not skip source
// columns), so one unaligned load and one lane permutation fetch them, instead of a gather.
// Per lane the arithmetic is the scalar one: a multiply, then an add (no fused
// multiply-add), then truncation.
#include "RasterSamplingAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#include <algorithm>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_resample::kSampleBlock;
using raster_resample::kSampleGroup;
using raster_resample::kScatteredGroup;

// trunc(low + step * dx) on the eight bytes of one group, as 32-bit lanes.
RASTER_AVX2_INLINE __m256i SampleGroup(const float* low, const float* step, uint64_t group, const float* dx) {
    const __m256i shifts = _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28);
    const auto base = uint32_t(group);
    // vpermps reads only the low three bits of each lane: the slot's fourth bit may stay.
    const __m256i lanes = _mm256_srlv_epi32(_mm256_set1_epi32(int(uint32_t(group >> 32))), shifts);
    const __m256 a = _mm256_permutevar8x32_ps(_mm256_loadu_ps(low + base), lanes);
    const __m256 d = _mm256_permutevar8x32_ps(_mm256_loadu_ps(step + base), lanes);
    return _mm256_cvttps_epi32(_mm256_add_ps(a, _mm256_mul_ps(d, _mm256_loadu_ps(dx))));
}

// When the source values a block reads (indices lo .. hi, at most sixteen) are all the same
// and none steps to its neighbour, every byte of the block is that value: sets *value and
// returns true. Masks and vignettes are mostly such flat stretches.
RASTER_AVX2_INLINE bool FlatBlock(const float* low, const float* step, uint32_t lo, uint32_t hi, __m256i* value) {
    if (hi - lo >= 2 * kSampleGroup) return false;
    const uint32_t last = hi + 1 - kSampleGroup;  // the second load ends at hi
    const __m256 first = _mm256_set1_ps(low[lo]);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 same = _mm256_and_ps(_mm256_cmp_ps(_mm256_loadu_ps(low + lo), first, _CMP_EQ_OQ),
                                      _mm256_cmp_ps(_mm256_loadu_ps(low + last), first, _CMP_EQ_OQ));
    const __m256 flat = _mm256_and_ps(_mm256_cmp_ps(_mm256_loadu_ps(step + lo), zero, _CMP_EQ_OQ),
                                      _mm256_cmp_ps(_mm256_loadu_ps(step + last), zero, _CMP_EQ_OQ));
    if (_mm256_movemask_ps(_mm256_and_ps(same, flat)) != 0xFF) return false;
    // trunc(v + 0 * dx) = trunc(v), saturated like the packs below.
    const int v = _mm256_cvtsi256_si32(_mm256_cvttps_epi32(first));
    *value = _mm256_set1_epi8(char(v < 0 ? 0 : v > 255 ? 255 : v));
    return true;
}

}  // namespace

RASTER_AVX2 size_t SampleColumns(const float* low, const float* step, const uint64_t* groups, const float* dx,
                                 size_t first, size_t count, uint8_t* out) {
    // packs/packus leave the dwords of the four groups interleaved by 128-bit halves.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t i = first;
    for (; i + kSampleBlock <= count; i += kSampleBlock) {
        const uint64_t* g = groups + i / kSampleGroup;
        if (((g[0] | g[1] | g[2] | g[3]) >> 32) & kScatteredGroup) break;
        const uint32_t lo = std::min(std::min(uint32_t(g[0]), uint32_t(g[1])), std::min(uint32_t(g[2]), uint32_t(g[3])));
        const uint32_t hi =
            std::max(std::max(uint32_t(g[0]), uint32_t(g[1])), std::max(uint32_t(g[2]), uint32_t(g[3]))) + 7;
        __m256i flat;
        if (FlatBlock(low, step, lo, hi, &flat)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), flat);
            continue;
        }
        const __m256i v0 = SampleGroup(low, step, g[0], dx + i);
        const __m256i v1 = SampleGroup(low, step, g[1], dx + i + 8);
        const __m256i v2 = SampleGroup(low, step, g[2], dx + i + 16);
        const __m256i v3 = SampleGroup(low, step, g[3], dx + i + 24);
        // Saturating packs: the clamp to 0..255 of the scalar code.
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(v0, v1), _mm256_packs_epi32(v2, v3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_permutevar8x32_epi32(bytes, order));
    }
    return i;
}

}  // namespace rasteravx2

#endif  // RASTER_BLEND_AVX2
