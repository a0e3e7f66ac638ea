// AVX2 kernels of the area-average reduction by target rows: eight 32-bit values per vector
// for the combined rows and the boundary shares, one three-channel pixel per 128-bit vector
// for the column sums. The arithmetic per value is the portable one, in the same 32 bits.
#include "image/resample/RasterAreaShrinkAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#include <cstring>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_area::ColumnRuns;
using raster_area::kAccuracy;

RASTER_AVX2_INLINE __m256i Load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// n / 1000 for every 32-bit n: the high half of n times ceil(2^38 / 1000), shifted by 6.
RASTER_AVX2_INLINE __m256i DivideByAccuracy(__m256i n) {
    static_assert(kAccuracy == 1000, "the multiplier is that of 1000");
    const __m256i magic = _mm256_set1_epi32(274877907);
    const __m256i even = _mm256_mul_epu32(n, magic);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(n, 32), magic);
    const __m256i high = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
    return _mm256_srli_epi32(high, 6);
}

// whole * share + trunc(down * share * closing / 1000) + trunc(up * share * previous / 1000).
RASTER_AVX2_INLINE __m256i SplitShare(__m256i share, __m256i whole, __m256i closing, __m256i previous, __m256i down,
                                      __m256i up) {
    const __m256i fromClosing = DivideByAccuracy(_mm256_mullo_epi32(_mm256_mullo_epi32(down, share), closing));
    const __m256i fromPrevious = DivideByAccuracy(_mm256_mullo_epi32(_mm256_mullo_epi32(up, share), previous));
    return _mm256_add_epi32(_mm256_mullo_epi32(share, whole), _mm256_add_epi32(fromClosing, fromPrevious));
}

// A pixel's three sums per vector. The fourth lane adds up values of no use, and its store
// lands on the next pixel's first sum, which that pixel's own store then writes.
template <uint32_t K>
RASTER_AVX2 void SumPixelColumns(const ColumnRuns& runs, const uint32_t* vertical, const uint32_t* near,
                                 const uint32_t* far, uint32_t* sums) {
    const uint32_t* start = runs.start;
    const uint32_t* length = runs.length;
    const uint32_t columns = runs.columns;
    for (uint32_t u = 0; u < columns; ++u) {
        const uint32_t* p = vertical + size_t(start[u]) * 3;
        const size_t at = size_t(u) * 3;
        const __m128i n = _mm_set1_epi32(int(length[u]));
        __m128i s = _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(near + at)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(far + at)));
#pragma GCC unroll 8
        for (uint32_t k = 0; k < K; ++k) {
            const __m128i keep = _mm_cmpgt_epi32(n, _mm_set1_epi32(int(k)));
            s = _mm_add_epi32(s, _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * k)), keep));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + at), s);
    }
}

}  // namespace

RASTER_AVX2 size_t AddRow(const uint8_t* row, size_t count, bool first, uint16_t* sums) {
    size_t k = 0;
    for (; k + 32 <= count; k += 32) {
        __m256i low = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k)));
        __m256i high = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + k + 16)));
        auto* out = reinterpret_cast<__m256i*>(sums + k);
        if (!first) {
            low = _mm256_add_epi16(low, _mm256_loadu_si256(out));
            high = _mm256_add_epi16(high, _mm256_loadu_si256(out + 1));
        }
        _mm256_storeu_si256(out, low);
        _mm256_storeu_si256(out + 1, high);
    }
    return k;
}

RASTER_AVX2 size_t GatherPixels(const uint16_t* whole, const uint8_t* closing, size_t count, const uint32_t* index,
                                size_t values, uint32_t* wholeValues, uint32_t* closingValues) {
    size_t i = 0;
    for (; i + 3 <= values && size_t(index[i]) + 4 <= count; i += 3) {
        const uint32_t at = index[i];
        int32_t bytes;
        std::memcpy(&bytes, closing + at, sizeof(bytes));
        const __m128i w = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(whole + at)));
        const __m128i c = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wholeValues + i), w);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(closingValues + i), c);
    }
    return i;
}

RASTER_AVX2 size_t AverageRow(const uint32_t* sums, size_t count, const raster_area::Divisor& divisor, uint8_t* out) {
    if (!divisor.ByMultiplier() || divisor.Multiplier() > UINT32_MAX || divisor.Top() > UINT32_MAX) return 0;
    const __m256i top = _mm256_set1_epi32(int(uint32_t(divisor.Top())));
    const __m256i multiplier = _mm256_set1_epi32(int(uint32_t(divisor.Multiplier())));
    const __m128i shift = _mm_cvtsi32_si128(int(divisor.Shift()));
    // The low byte of every 32-bit lane, gathered into the first four bytes of each half.
    const __m256i bytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                           0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i halves = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
    size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256i a = _mm256_min_epu32(Load8(sums + k), top);
        const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(a, multiplier), shift);
        const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), multiplier), shift);
        const __m256i q = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
        const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(q, bytes), halves);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm256_castsi256_si128(packed));
    }
    return k;
}

RASTER_AVX2 size_t CombineRows(const uint16_t* whole, const raster_area::RowShares& rows, size_t count,
                               uint32_t* out) {
    const __m256i accuracy = _mm256_set1_epi32(int(kAccuracy));
    const __m256i down = _mm256_set1_epi32(int(rows.down));
    const __m256i up = _mm256_set1_epi32(int(rows.up));
    size_t e = 0;
    for (; e + 8 <= count; e += 8) {
        const __m256i w = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(whole + e)));
        const __m256i c = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows.closing + e)));
        const __m256i p = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows.previous + e)));
        const __m256i v = _mm256_add_epi32(_mm256_mullo_epi32(w, accuracy),
                                           _mm256_add_epi32(_mm256_mullo_epi32(c, down), _mm256_mullo_epi32(p, up)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + e), v);
    }
    return e;
}

RASTER_AVX2 size_t ShareSplitValues(const raster_area::SplitValues& values, uint32_t down, uint32_t up, size_t count,
                                    uint32_t* near, uint32_t* far) {
    const __m256i accuracy = _mm256_set1_epi32(int(kAccuracy));
    const __m256i downShare = _mm256_set1_epi32(int(down));
    const __m256i upShare = _mm256_set1_epi32(int(up));
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i left = Load8(values.left + i);
        const __m256i right = _mm256_sub_epi32(accuracy, left);
        const __m256i whole = Load8(values.whole + i);
        const __m256i closing = Load8(values.closing + i);
        const __m256i previous = Load8(values.previous + i);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(near + i),
                            SplitShare(left, whole, closing, previous, downShare, upShare));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(far + i),
                            SplitShare(right, whole, closing, previous, downShare, upShare));
    }
    return i;
}

raster_area::ColumnSummer PixelColumnSummer(uint32_t longest) {
    static_assert(raster_area::kMaxWindow == 4, "a window for every short run");
    switch (longest) {
        case 0:
        case 1: return SumPixelColumns<1>;
        case 2: return SumPixelColumns<2>;
        case 3: return SumPixelColumns<3>;
        case 4: return SumPixelColumns<4>;
        default: return nullptr;
    }
}

}  // namespace rasteravx2

#endif
