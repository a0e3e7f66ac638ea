// SSE2 building blocks of the alpha blends: sixteen 24-bit pixels at a time, bit-exact with
// the product table.
//
// The table rule is "no multiplication per pixel" because a table look-up used to be the fastest
// way to get round(x * w / 255). Here eight products are formed at once on 16-bit lanes and
// rounded with the same integer formula the table holds, so the bytes are identical to the
// look-ups (the tests compare every (x, w) pair) while the work per pixel is a few vector
// instructions instead of six dependent loads.
//
// The colour bytes are treated as a byte stream: 16 pixels are 48 bytes, three vectors, and
// each pixel's weight is spread over its three channel bytes, so no B, G, R deinterleaving is
// needed. SSE2 is the x86-64 baseline; other targets use the table path only.
#pragma once

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

// The kernels are small and called once per group of pixels: inlining them keeps the
// constants and weights in registers.
#define RASTER_SIMD_INLINE inline __attribute__((always_inline))

namespace rastersimd {

// Pixels per step: their 48 colour bytes fill three vectors exactly.
constexpr size_t kPixels = 16;
constexpr size_t kBytes = kPixels * 3;

// Three vectors of colour bytes: 16 pixels.
struct PixelBlock {
    __m128i v[3];
};

RASTER_SIMD_INLINE PixelBlock LoadPixels(const uint8_t* p) {
    return PixelBlock{{_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))}};
}

RASTER_SIMD_INLINE void StorePixels(uint8_t* p, const PixelBlock& block) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), block.v[0]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), block.v[1]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), block.v[2]);
}

RASTER_SIMD_INLINE __m128i LoadWeights(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// True when all 16 bytes equal the byte of `all` (a vector of one repeated byte).
RASTER_SIMD_INLINE bool AllBytesEqual(__m128i v, __m128i all) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(v, all)) == 0xFFFF;
}

// T[x][w] = round(x * w / 255) on 16-bit lanes, x and w in 0..255: with t = x * w + 128
// (at most 65,153, so no lane overflows), ((t + (t >> 8)) >> 8). For an integer t that equals
// (t * 257) >> 16, the high half of t * 257, which one multiply gives instead of two shifts
// and an add.
RASTER_SIMD_INLINE __m128i ScaleByWeight(__m128i x, __m128i w) {
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, w), _mm_set1_epi16(128));
    return _mm_mulhi_epu16(t, _mm_set1_epi16(257));
}

// T[d][255 - w] + T[s][w] on 16-bit lanes: two separately rounded terms, like two look-ups.
RASTER_SIMD_INLINE __m128i BlendLanes(__m128i d, __m128i s, __m128i w) {
    const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(255), w);
    return _mm_add_epi16(ScaleByWeight(d, keep), ScaleByWeight(s, w));
}

// The weights of 8 pixels (16-bit lanes) spread over their 24 channel bytes, as three vectors
// of 8 lanes: w0 w0 w0 w1 w1 w1 w2 w2 | w2 w3 w3 w3 w4 w4 w4 w5 | w5 w5 w6 w6 w6 w7 w7 w7.
struct ChannelWeights {
    __m128i v[3];
};

RASTER_SIMD_INLINE ChannelWeights SpreadOverChannels(__m128i w) {
    const __m128i w0001 = _mm_shufflelo_epi16(w, _MM_SHUFFLE(1, 0, 0, 0));  // lanes 0-3
    const __m128i w1122 = _mm_shufflelo_epi16(w, _MM_SHUFFLE(2, 2, 1, 1));
    const __m128i w2333 = _mm_shufflelo_epi16(w, _MM_SHUFFLE(3, 3, 3, 2));
    const __m128i w4445 = _mm_shufflehi_epi16(w, _MM_SHUFFLE(1, 0, 0, 0));  // lanes 4-7
    const __m128i w5566 = _mm_shufflehi_epi16(w, _MM_SHUFFLE(2, 2, 1, 1));
    const __m128i w6777 = _mm_shufflehi_epi16(w, _MM_SHUFFLE(3, 3, 3, 2));
    return ChannelWeights{{_mm_unpacklo_epi64(w0001, w1122),
                           _mm_unpacklo_epi64(w2333, _mm_unpackhi_epi64(w4445, w4445)),
                           _mm_unpackhi_epi64(w5566, w6777)}};
}

// Blends 16 bytes whose weights are given for bytes 0-7 (lo) and 8-15 (hi).
RASTER_SIMD_INLINE __m128i BlendBytes(__m128i d, __m128i s, __m128i lo, __m128i hi) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = BlendLanes(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), lo);
    const __m128i high = BlendLanes(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), hi);
    return _mm_packus_epi16(low, high);  // every lane is at most 255
}

// d = T[d][255 - w] + T[s][w] for each channel of 16 pixels, w = the pixel's byte of weights.
RASTER_SIMD_INLINE void BlendPixels(uint8_t* d, const PixelBlock& s, __m128i weights) {
    const __m128i zero = _mm_setzero_si128();
    const ChannelWeights first = SpreadOverChannels(_mm_unpacklo_epi8(weights, zero));   // bytes 0-23
    const ChannelWeights second = SpreadOverChannels(_mm_unpackhi_epi8(weights, zero));  // bytes 24-47
    const PixelBlock old = LoadPixels(d);
    StorePixels(d, PixelBlock{{BlendBytes(old.v[0], s.v[0], first.v[0], first.v[1]),
                               BlendBytes(old.v[1], s.v[1], first.v[2], second.v[0]),
                               BlendBytes(old.v[2], s.v[2], second.v[1], second.v[2])}});
}

}  // namespace rastersimd

#undef RASTER_SIMD_INLINE

#endif  // __SSE2__
