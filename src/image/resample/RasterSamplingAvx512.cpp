// 512-bit column and row stages of bilinear sampling, and the pairing of source rows with its
// flat block search. Per lane the arithmetic is the scalar one: a multiply, then an add (no
// fused multiply-add), then truncation.
//
// The column stage fetches a wide group's source values with one unaligned load and one lane
// permutation, like the AVX2 stage but sixteen lanes at once. Its lane indices come from one
// 64-bit broadcast: the even lanes see the low half and the odd lanes the high half, so each
// lane shifts its own four bits down (the permutation reads only the low four bits). The four
// groups of a step are narrowed to bytes by two saturating packs, which interleave them by
// 128-bit lanes, and one dword permutation puts the bytes in order.
#include "image/resample/RasterSamplingAvx512.h"

#include "image/resample/RasterSamplingAvx2.h"

namespace raster_resample {

bool PackWideOffsets(const uint32_t* index, uint32_t base, uint64_t& offsets) {
    offsets = 0;
    for (size_t j = 0; j < kWideGroup; ++j) {
        const uint32_t offset = index[j] - base;
        if (offset >= kWideGroup) return false;
        offsets |= uint64_t(offset) << ((j % 2) * 32 + (j / 2) * 4);
    }
    return true;
}

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

// GCC 12 takes the undefined upper parts some 512-bit intrinsics start from for uninitialised
// values; they are never read.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define RASTER_AVX512 __attribute__((target("avx512f,avx512bw")))
#define RASTER_AVX512_INLINE inline __attribute__((target("avx512f,avx512bw"), always_inline))

namespace rasteravx512 {
namespace {

using raster_resample::kScatteredWideGroup;
using raster_resample::kWideBlock;
using raster_resample::kWideGroup;

// trunc(low + step * dx) on the sixteen bytes of one wide group, as 32-bit lanes.
RASTER_AVX512_INLINE __m512i SampleWideGroup(const float* low, const float* step, uint32_t base, uint64_t offsets,
                                             const float* dx) {
    const __m512i shifts = _mm512_setr_epi32(0, 0, 4, 4, 8, 8, 12, 12, 16, 16, 20, 20, 24, 24, 28, 28);
    const __m512i lanes = _mm512_srlv_epi32(_mm512_set1_epi64(int64_t(offsets)), shifts);
    const __m512 a = _mm512_permutexvar_ps(lanes, _mm512_loadu_ps(low + base));
    const __m512 d = _mm512_permutexvar_ps(lanes, _mm512_loadu_ps(step + base));
    return _mm512_cvttps_epi32(_mm512_add_ps(a, _mm512_mul_ps(d, _mm512_loadu_ps(dx))));
}

}  // namespace

bool Avx512Supported() {
    static const bool supported = [] {
        __builtin_cpu_init();  // may run before the constructors that would do it
        // Also checks that the operating system saves the 512-bit and mask registers.
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
    }();
    return supported;
}

RASTER_AVX512 size_t SampleColumns(const float* low, const float* step, const uint32_t* bases,
                                   const uint64_t* offsets, const int16_t* flat, const float* dx, size_t first,
                                   size_t count, uint8_t* out) {
    // After the packs, dword 4j + v holds bytes 4j .. 4j + 3 of group v; it belongs at 4v + j.
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    constexpr size_t kHalf = kWideBlock / 2;  // one block of the AVX2 path, one flat entry
    size_t i = first;
    for (; i + kWideBlock <= count; i += kWideBlock) {
        const size_t w = i / kWideGroup;
        if ((bases[w] | bases[w + 1] | bases[w + 2] | bases[w + 3]) & kScatteredWideGroup) break;
        const int16_t left = flat[i / kHalf];
        const int16_t right = flat[i / kHalf + 1];
        if (left >= 0 && right >= 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_set1_epi8(char(left)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + kHalf), _mm256_set1_epi8(char(right)));
            continue;
        }
        const __m512i v0 = SampleWideGroup(low, step, bases[w], offsets[w], dx + i);
        const __m512i v1 = SampleWideGroup(low, step, bases[w + 1], offsets[w + 1], dx + i + kWideGroup);
        const __m512i v2 = SampleWideGroup(low, step, bases[w + 2], offsets[w + 2], dx + i + 2 * kWideGroup);
        const __m512i v3 = SampleWideGroup(low, step, bases[w + 3], offsets[w + 3], dx + i + 3 * kWideGroup);
        // Saturating packs: the clamp to 0..255 of the scalar code.
        const __m512i bytes = _mm512_packus_epi16(_mm512_packs_epi32(v0, v1), _mm512_packs_epi32(v2, v3));
        _mm512_storeu_si512(out + i, _mm512_permutexvar_epi32(order, bytes));
    }
    return i;
}

RASTER_AVX512 void BlendRowPairSteps(const float* top, const float* rise, float dy, size_t first, size_t end,
                                     size_t count, size_t channels, float* low, float* step) {
    const __m512 vdy = _mm512_set1_ps(dy);
    const size_t inner = std::min(end, count > channels ? count - channels : 0);
    // The values, with the right neighbours the steps take, are blended once; each step is
    // then the difference of two stored blends.
    const size_t reach = std::min(end + channels, count);
    // Vectors start at multiples of sixteen values: the arrays start on cache lines, so their
    // loads and stores do not split across lines.
    const size_t aligned = std::min(reach, (first + 15) / 16 * 16);
    size_t k = first;
    for (; k < aligned; ++k) low[k] = top[k] + rise[k] * dy;
    for (; k + 16 <= reach; k += 16) {
        const __m512 blend = _mm512_add_ps(_mm512_loadu_ps(top + k), _mm512_mul_ps(_mm512_loadu_ps(rise + k), vdy));
        _mm512_storeu_ps(low + k, blend);
    }
    for (; k < reach; ++k) low[k] = top[k] + rise[k] * dy;
    k = first;
    for (; k < std::min(inner, aligned); ++k) step[k] = low[k + channels] - low[k];
    for (; k + 16 <= inner; k += 16) {
        _mm512_storeu_ps(step + k, _mm512_sub_ps(_mm512_loadu_ps(low + k + channels), _mm512_loadu_ps(low + k)));
    }
    for (; k < inner; ++k) step[k] = low[k + channels] - low[k];
    for (; k < end; ++k) step[k] = 0.0f;
}

RASTER_AVX512 void PairRows(const uint8_t* r0, const uint8_t* r1, size_t count, float* top, float* rise,
                            uint64_t* still, uint64_t* level) {
    size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m512i a = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + k)));
        const __m512i b = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + k)));
        _mm512_storeu_ps(top + k, _mm512_cvtepi32_ps(a));
        _mm512_storeu_ps(rise + k, _mm512_cvtepi32_ps(_mm512_sub_epi32(b, a)));
    }
    for (; k < count; ++k) {
        top[k] = float(r0[k]);
        rise[k] = float(int(r1[k]) - int(r0[k]));
    }
    // 64 values per word; the masked loads read no byte past either row.
    for (size_t w = 0; w * 64 < count; ++w) {
        const size_t first = w * 64;
        const size_t n = std::min<size_t>(64, count - first);
        const __mmask64 valid = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        const __mmask64 following = first + n < count ? valid : valid >> 1;  // r0[k + 1] exists
        const __m512i a = _mm512_maskz_loadu_epi8(valid, r0 + first);
        const __m512i b = _mm512_maskz_loadu_epi8(valid, r1 + first);
        const __m512i next = _mm512_maskz_loadu_epi8(following, r0 + first + 1);
        const __mmask64 same = _mm512_mask_cmpeq_epi8_mask(valid, a, b);
        still[w] = same;
        level[w] = _mm512_mask_cmpeq_epi8_mask(same & following, a, next);
    }
    const size_t words = (count + 63) / 64;
    still[words] = level[words] = 0;  // read past the last value by the block search
}

namespace {

// Bits first .. first + n - 1 (n at most 57) of a bitmap, in the low bits.
inline uint64_t BitRun(const uint64_t* bitmap, size_t first, size_t n) {
    uint64_t window = 0;
    std::memcpy(&window, reinterpret_cast<const uint8_t*>(bitmap) + first / 8, sizeof window);
    return (window >> (first % 8)) & ((uint64_t(1) << n) - 1);
}

}  // namespace

void FindFlatBlocks(const uint8_t* r0, const uint64_t* still, const uint64_t* level, const uint64_t* spans,
                    size_t blocks, size_t count, size_t channels, int16_t* flat) {
    for (size_t b = 0; b < blocks; ++b) {
        const auto lo = size_t(uint32_t(spans[b]));
        const auto hi = size_t(spans[b] >> 32);
        const size_t end = std::min(hi + channels, count - 1) + 1;
        const size_t length = end - lo;
        if (length > raster_resample::kFlatReach) {
            flat[b] = -1;
            continue;
        }
        // Level from lo to end - 1, the last of them still too.
        const uint64_t wanted = (uint64_t(1) << (length - 1)) - 1;
        const bool same = BitRun(level, lo, length - 1) == wanted && BitRun(still, end - 1, 1) == 1;
        flat[b] = same ? int16_t(r0[lo]) : int16_t(-1);
    }
}

}  // namespace rasteravx512

#endif  // RASTER_BLEND_AVX2
