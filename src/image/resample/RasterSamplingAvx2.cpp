// AVX2 column stage of bilinear sampling: eight target bytes per vector. The source values a
// group needs lie within eight neighbours (whenever the sampling does not skip source
// columns), so one unaligned load and one lane permutation fetch them, instead of a gather.
// Per lane the arithmetic is the scalar one: a multiply, then an add (no fused
// multiply-add), then truncation.
#include "image/resample/RasterSamplingAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#include <algorithm>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_resample::kFlatReach;
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

}  // namespace

RASTER_AVX2 size_t SampleColumns(const float* low, const float* step, const uint64_t* groups, const int16_t* flat,
                                 const float* dx, size_t first, size_t count, uint8_t* out) {
    // packs/packus leave the dwords of the four groups interleaved by 128-bit halves.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t i = first;
    for (; i + kSampleBlock <= count; i += kSampleBlock) {
        const uint64_t* g = groups + i / kSampleGroup;
        if (((g[0] | g[1] | g[2] | g[3]) >> 32) & kScatteredGroup) break;
        const int16_t value = flat[i / kSampleBlock];
        if (value >= 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_set1_epi8(char(value)));
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

RASTER_AVX2 void FindFlatBlocks(const float* top, const float* rise, const uint64_t* spans, size_t blocks,
                                size_t count, size_t channels, int16_t* flat) {
    const __m256 zero = _mm256_setzero_ps();
    for (size_t b = 0; b < blocks; ++b) {
        const auto lo = size_t(uint32_t(spans[b]));
        const auto hi = size_t(spans[b] >> 32);
        // The values read and the right neighbours their steps take: still (rise 0) and equal.
        const size_t length = std::min(hi + channels, count - 1) - lo + 1;
        if (length > kFlatReach) {
            flat[b] = -1;  // never so for the blocks of a bilinear row; busy is always right
            continue;
        }
        // Eight values at a time; busy blocks mostly show it in the first eight.
        const __m256 value = _mm256_set1_ps(top[lo]);
        bool same = true;
        for (size_t j = 0; same && j < length; j += 8) {
            const __m256 equal = _mm256_cmp_ps(_mm256_loadu_ps(top + lo + j), value, _CMP_EQ_OQ);
            const __m256 still = _mm256_cmp_ps(_mm256_loadu_ps(rise + lo + j), zero, _CMP_EQ_OQ);
            const auto lanes = uint32_t(_mm256_movemask_ps(_mm256_and_ps(equal, still)));
            const uint32_t wanted = length - j >= 8 ? 0xFFu : (1u << (length - j)) - 1;
            same = (lanes & wanted) == wanted;
        }
        flat[b] = same ? int16_t(top[lo]) : int16_t(-1);
    }
}

RASTER_AVX2 void BlendRowPairSteps(const float* top, const float* rise, float dy, size_t first, size_t end,
                                   size_t count, size_t channels, float* low, float* step) {
    const __m256 vdy = _mm256_set1_ps(dy);
    const size_t inner = std::min(end, count > channels ? count - channels : 0);
    size_t k = first;
    // Each value and its right neighbour are blended here; the neighbour's blend is the same
    // float operations on the same operands as its own, so the difference is that of low.
    for (; k + 8 <= inner; k += 8) {
        const __m256 here = _mm256_add_ps(_mm256_loadu_ps(top + k), _mm256_mul_ps(_mm256_loadu_ps(rise + k), vdy));
        const __m256 next = _mm256_add_ps(_mm256_loadu_ps(top + k + channels),
                                          _mm256_mul_ps(_mm256_loadu_ps(rise + k + channels), vdy));
        _mm256_storeu_ps(low + k, here);
        _mm256_storeu_ps(step + k, _mm256_sub_ps(next, here));
    }
    for (; k < end; ++k) {
        low[k] = top[k] + rise[k] * dy;
        step[k] = k < inner ? (top[k + channels] + rise[k + channels] * dy) - low[k] : 0.0f;
    }
}

}  // namespace rasteravx2

#endif  // RASTER_BLEND_AVX2
