// AVX2 kernels of the fine turn's shears: thirty-two values per step in two vectors of sixteen
// 16-bit lanes, each tap one rounding multiply (vpmulhrsw) and one add.
#include "image/resample/RasterRotateFineAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

using raster_resample::kShiftGroup;

RASTER_AVX2_INLINE __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
RASTER_AVX2_INLINE void Store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

// Sixteen signed bytes as multiples of 256 in 16-bit lanes, in the order unpacking within
// 128-bit halves gives: Low holds bytes 0-7 and 16-23, High bytes 8-15 and 24-31.
RASTER_AVX2_INLINE __m256i ScaledLow(__m256i bytes) { return _mm256_unpacklo_epi8(_mm256_setzero_si256(), bytes); }
RASTER_AVX2_INLINE __m256i ScaledHigh(__m256i bytes) { return _mm256_unpackhi_epi8(_mm256_setzero_si256(), bytes); }

struct Weights {
    __m256i w[4];
};

RASTER_AVX2_INLINE Weights Broadcast(raster_resample::ShiftTaps taps) {
    return Weights{{_mm256_set1_epi16(taps.w[0]), _mm256_set1_epi16(taps.w[1]), _mm256_set1_epi16(taps.w[2]),
                    _mm256_set1_epi16(taps.w[3])}};
}

RASTER_AVX2_INLINE __m256i Tap(__m256i value, __m256i weight) { return _mm256_mulhrs_epi16(value, weight); }

// A group's values in two vectors of sixteen lanes each.
struct Lanes {
    __m256i low;
    __m256i high;
};

// The four taps of a row shift added up; lanesOf(k) gives the values tap k weighs.
template <typename LanesOf>
RASTER_AVX2_INLINE Lanes SumTaps(const Weights& weights, const LanesOf& lanesOf) {
    Lanes sum{_mm256_setzero_si256(), _mm256_setzero_si256()};
#pragma GCC unroll 4
    for (size_t k = 0; k < 4; ++k) {
        const Lanes tap = lanesOf(k);
        sum.low = _mm256_add_epi16(sum.low, Tap(tap.low, weights.w[k]));
        sum.high = _mm256_add_epi16(sum.high, Tap(tap.high, weights.w[k]));
    }
    return sum;
}

// Tap k's levels of a byte row, less 128, as multiples of 256 (in unpacking's lane order).
struct ByteLanes {
    const uint8_t* in;
    RASTER_AVX2_INLINE Lanes operator()(size_t k) const {
        const __m256i bytes = _mm256_xor_si256(Load(in + 3 * k), _mm256_set1_epi8(char(0x80)));
        return Lanes{ScaledLow(bytes), ScaledHigh(bytes)};
    }
};

// Tap k's words of a word row, in their order.
struct WordLanes {
    const int16_t* in;
    RASTER_AVX2_INLINE Lanes operator()(size_t k) const { return Lanes{Load(in + 3 * k), Load(in + 16 + 3 * k)}; }
};

RASTER_AVX2_INLINE void RowBytesGroup(const uint8_t* in, const Weights& weights, size_t b, int8_t* out) {
    // MulHigh by 256: (sum + 64) >> 7, the level rounded.
    const __m256i round = _mm256_set1_epi16(1 << 8);
    const Lanes sum = SumTaps(weights, ByteLanes{in + b});
    // Packing within halves puts the bytes back in their order.
    Store(out + b, _mm256_packs_epi16(_mm256_mulhrs_epi16(sum.low, round), _mm256_mulhrs_epi16(sum.high, round)));
}

RASTER_AVX2_INLINE __m256i RowWordsGroup(const int16_t* in, const Weights& weights, size_t b) {
    // MulHigh by 512: (sum + 32) >> 6, the level rounded (a word tap keeps six fraction bits).
    const __m256i round = _mm256_set1_epi16(1 << 9);
    const Lanes sum = SumTaps(weights, WordLanes{in + b});
    const __m256i packed =
        _mm256_packs_epi16(_mm256_mulhrs_epi16(sum.low, round), _mm256_mulhrs_epi16(sum.high, round));
    // Packing interleaves the halves' quarters: 0 2 1 3 puts them back; then levels again.
    return _mm256_xor_si256(_mm256_permute4x64_epi64(packed, 0xD8), _mm256_set1_epi8(char(0x80)));
}

}  // namespace

// Both row shifts end with one more group over the last kShiftGroup values, which overlaps the
// one before: it writes some values again, the same ones, instead of leaving them to the
// portable loop.
RASTER_AVX2 size_t ShiftRowBytesGroups(const uint8_t* in, raster_resample::ShiftTaps taps, size_t count,
                                       int8_t* out, const uint8_t* next) {
    const Weights weights = Broadcast(taps);
    size_t b = 0;
    for (; b + kShiftGroup <= count; b += kShiftGroup) {
        RowBytesGroup(in, weights, b, out);
        if (next) _mm_prefetch(reinterpret_cast<const char*>(next + b), _MM_HINT_T0);
    }
    if (b == count || count < kShiftGroup) return b;
    RowBytesGroup(in, weights, count - kShiftGroup, out);
    return count;
}

RASTER_AVX2 size_t ShiftRowWordsGroups(const int16_t* in, raster_resample::ShiftTaps taps, size_t count,
                                       uint8_t* out, const uint8_t* nextOut) {
    const Weights weights = Broadcast(taps);
    size_t b = 0;
    for (; b + kShiftGroup <= count; b += kShiftGroup) {
        Store(out + b, RowWordsGroup(in, weights, b));
        if (nextOut) _mm_prefetch(reinterpret_cast<const char*>(nextOut + b), _MM_HINT_T0);
    }
    if (b == count || count < kShiftGroup) return b;
    Store(out + count - kShiftGroup, RowWordsGroup(in, weights, count - kShiftGroup));
    return count;
}

RASTER_AVX2 void ShiftColumnGroups(const int8_t* top, size_t stride, raster_resample::ColumnTaps taps, size_t first,
                                   size_t end, int16_t* const out[kColumnBatch]) {
    constexpr size_t kRowsRead = kColumnBatch + 3;
    for (size_t b = first; b < end; b += kShiftGroup) {
        // Each half of the group apart, so that its rows and weights stay in registers.
#pragma GCC unroll 2
        for (size_t half = 0; half < kShiftGroup; half += 16) {
            __m256i rows[kRowsRead];
#pragma GCC unroll 8
            for (size_t k = 0; k < kRowsRead; ++k) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + k * stride + b + half));
                rows[k] = _mm256_slli_epi16(_mm256_cvtepi8_epi16(bytes), 8);
            }
            __m256i weights[4];
#pragma GCC unroll 4
            for (size_t k = 0; k < 4; ++k) weights[k] = Load(taps.w[k] + b + half);
#pragma GCC unroll 4
            for (size_t r = 0; r < kColumnBatch; ++r) {
                __m256i sum = Tap(rows[r], weights[0]);
#pragma GCC unroll 4
                for (size_t k = 1; k < 4; ++k) sum = _mm256_add_epi16(sum, Tap(rows[r + k], weights[k]));
                Store(out[r] + b + half, sum);
            }
        }
        // The next batch reads the rows below these at the same bytes: one batch later, the
        // walk has moved on to other rows, which the processor's own fetching does not foresee.
#pragma GCC unroll 4
        for (size_t k = kRowsRead; k < kRowsRead + kColumnBatch; ++k) {
            _mm_prefetch(reinterpret_cast<const char*>(top + k * stride + b), _MM_HINT_T0);
        }
    }
}

}  // namespace rasteravx2

#endif
