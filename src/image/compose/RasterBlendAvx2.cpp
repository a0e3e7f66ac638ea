// AVX2 alpha blends: 32 pixels (96 colour bytes, three vectors) per step.
//
// The colour bytes are handled as a byte stream, as in the SSE2 kernels, but split into even and
// odd bytes on 16-bit lanes by a mask and a shift instead of unpacking, and the weights are
// spread straight onto those lanes by one byte shuffle each. That keeps the shuffle port, which
// the unpack-and-pack form saturates, out of the way of the multiplies.
#include "image/compose/RasterBlendAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#include <array>

// Every function that touches 256-bit vectors is compiled for AVX2, and only those.
#define RASTER_AVX2 __attribute__((target("avx2")))
#define RASTER_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {
namespace {

constexpr size_t kBytes = kPixels * 3;

// Shuffle masks that put a pixel's weight, zero-extended, on the 16-bit lanes of its even
// (odd = false) or odd channel bytes in colour vector `vector` (0..2). A 128-bit half of a
// colour vector takes its weights from one 16-pixel half of the weights; which half is chosen
// by the register the mask is applied to (see Spread), so the index is the pixel modulo 16.
using Mask = std::array<uint8_t, 32>;

constexpr Mask SpreadMask(size_t vector, bool odd) {
    Mask mask{};
    for (size_t half = 0; half < 2; ++half) {
        for (size_t lane = 0; lane < 8; ++lane) {
            const size_t byte = vector * 32 + half * 16 + lane * 2 + (odd ? 1 : 0);
            mask[half * 16 + lane * 2] = uint8_t((byte / 3) % 16);
            mask[half * 16 + lane * 2 + 1] = 0x80;  // high byte of the lane = 0
        }
    }
    return mask;
}

alignas(32) constexpr Mask kSpreadMasks[3][2] = {{SpreadMask(0, false), SpreadMask(0, true)},
                                                 {SpreadMask(1, false), SpreadMask(1, true)},
                                                 {SpreadMask(2, false), SpreadMask(2, true)}};

RASTER_AVX2_INLINE __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

RASTER_AVX2_INLINE void Store(uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

struct PixelBlock {
    __m256i v[3];
};

RASTER_AVX2_INLINE PixelBlock LoadPixels(const uint8_t* p) {
    return PixelBlock{{Load(p), Load(p + 32), Load(p + 64)}};
}

RASTER_AVX2_INLINE void StorePixels(uint8_t* p, const PixelBlock& block) {
    Store(p, block.v[0]);
    Store(p + 32, block.v[1]);
    Store(p + 64, block.v[2]);
}

// round(x * w / 255) on 16-bit lanes, the formula of the SSE2 kernels: t = x * w + 128, then
// the high half of t * 257.
RASTER_AVX2_INLINE __m256i ScaleByWeight(__m256i x, __m256i w) {
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(x, w), _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

// T[d][255 - w] + T[s][w] on 16-bit lanes: two separately rounded terms.
RASTER_AVX2_INLINE __m256i BlendLanes(__m256i d, __m256i s, __m256i w) {
    const __m256i keep = _mm256_sub_epi16(_mm256_set1_epi16(255), w);
    return _mm256_add_epi16(ScaleByWeight(d, keep), ScaleByWeight(s, w));
}

// Blends one colour vector; `weights` holds the right 16 pixel weights in each 128-bit half.
RASTER_AVX2_INLINE __m256i BlendVector(__m256i d, __m256i s, __m256i weights, const Mask* masks) {
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i even = BlendLanes(_mm256_and_si256(d, lowBytes), _mm256_and_si256(s, lowBytes),
                                    _mm256_shuffle_epi8(weights, Load(masks[0].data())));
    const __m256i odd = BlendLanes(_mm256_srli_epi16(d, 8), _mm256_srli_epi16(s, 8),
                                   _mm256_shuffle_epi8(weights, Load(masks[1].data())));
    return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));  // every lane is at most 255
}

// T[old][255 - w] + T[s][w] for each channel of 32 pixels, w = the pixel's byte of weights.
// Colour vector 0 lies on pixels 0-10, vector 1 on 10-21 and vector 2 on 21-31: their halves
// take weights from pixel halves (0-15, 0-15), (0-15, 16-31) and (16-31, 16-31).
RASTER_AVX2_INLINE PixelBlock BlendBlock(const PixelBlock& old, const PixelBlock& s, __m256i w) {
    const __m256i firstHalves = _mm256_permute4x64_epi64(w, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256i secondHalves = _mm256_permute4x64_epi64(w, _MM_SHUFFLE(3, 2, 3, 2));
    return PixelBlock{{BlendVector(old.v[0], s.v[0], firstHalves, kSpreadMasks[0]),
                       BlendVector(old.v[1], s.v[1], w, kSpreadMasks[1]),
                       BlendVector(old.v[2], s.v[2], secondHalves, kSpreadMasks[2])}};
}

// d = T[d][255 - w] + T[s][w].
RASTER_AVX2_INLINE void BlendPixels(uint8_t* d, const PixelBlock& s, __m256i w) {
    StorePixels(d, BlendBlock(LoadPixels(d), s, w));
}

// The new values come from a row of source pixels.
struct PixelRowSource {
    const uint8_t* pixels;
    RASTER_AVX2_INLINE PixelBlock Block(size_t i) const { return LoadPixels(pixels + i * 3); }
};

// The new values are one colour: 32 pixels of it are three fixed vectors.
struct ColorSource {
    PixelBlock pattern;
    RASTER_AVX2_INLINE PixelBlock Block(size_t) const { return pattern; }
};

RASTER_AVX2_INLINE __m256i AllOnes() {
    return _mm256_set1_epi8(-1);
}

struct SourceAlphaWeights {
    const uint8_t* sa;
    RASTER_AVX2_INLINE __m256i ForBlock(size_t i) const { return Load(sa + i); }
};

struct TransparencyWeights {
    const uint8_t* alpha;
    RASTER_AVX2_INLINE __m256i ForBlock(size_t i) const { return _mm256_xor_si256(Load(alpha + i), AllOnes()); }
};

// Also sets the destination alpha to max(da, sa), which is sa where da was 0.
struct BothAlphaWeights {
    const uint8_t* sa;
    uint8_t* da;
    RASTER_AVX2_INLINE __m256i ForBlock(size_t i) const {
        const __m256i s = Load(sa + i);
        const __m256i d = Load(da + i);
        Store(da + i, _mm256_max_epu8(d, s));
        return _mm256_or_si256(s, _mm256_cmpeq_epi8(d, _mm256_setzero_si256()));  // 255 where da = 0
    }
};

// Blocks whose weights are all 0 keep d as it is and blocks whose weights are all 255 take the
// source as it is, without arithmetic: the common case for masks and cut-outs.
template <class Weights, class Source>
RASTER_AVX2_INLINE size_t BlendBlocks(uint8_t* d, const Source& source, const Weights& weights, size_t n) {
    size_t i = 0;
    for (; i + kPixels <= n; i += kPixels) {
        const __m256i w = weights.ForBlock(i);
        uint8_t* dst = d + i * 3;
        if (_mm256_testz_si256(w, w)) continue;
        if (_mm256_testc_si256(w, AllOnes())) {
            StorePixels(dst, source.Block(i));
        } else {
            BlendPixels(dst, source.Block(i), w);
        }
    }
    return i;
}

// 32 pixels of one colour (channel bytes blue, green, red) as three vectors.
RASTER_AVX2_INLINE PixelBlock ColorBlock(uint8_t blue, uint8_t green, uint8_t red) {
    alignas(32) uint8_t pattern[kBytes];
    for (size_t i = 0; i < kBytes; i += 3) {
        pattern[i] = blue;
        pattern[i + 1] = green;
        pattern[i + 2] = red;
    }
    return LoadPixels(pattern);
}

}  // namespace

bool Avx2Supported() {
    static const bool supported = [] {
        __builtin_cpu_init();  // may run before the constructors that would do it
        return __builtin_cpu_supports("avx2") != 0;  // also checks that the OS saves the registers
    }();
    return supported;
}

RASTER_AVX2 size_t BlendBySourceAlpha(uint8_t* d, const uint8_t* s, const uint8_t* sa, size_t n) {
    return BlendBlocks(d, PixelRowSource{s}, SourceAlphaWeights{sa}, n);
}

RASTER_AVX2 size_t BlendByTransparency(uint8_t* d, const uint8_t* s, const uint8_t* da, size_t n) {
    return BlendBlocks(d, PixelRowSource{s}, TransparencyWeights{da}, n);
}

RASTER_AVX2 size_t BlendByBothAlpha(uint8_t* d, const uint8_t* s, uint8_t* da, const uint8_t* sa, size_t n) {
    return BlendBlocks(d, PixelRowSource{s}, BothAlphaWeights{sa, da}, n);
}

RASTER_AVX2 size_t FlattenOntoColor(uint8_t* d, const uint8_t* alpha, uint8_t blue, uint8_t green, uint8_t red,
                                    size_t n) {
    return BlendBlocks(d, ColorSource{ColorBlock(blue, green, red)}, TransparencyWeights{alpha}, n);
}

RASTER_AVX2 size_t BlendUnderColor(uint8_t* d, const uint8_t* s, const uint8_t* alpha, uint8_t blue, uint8_t green,
                                   uint8_t red, size_t n) {
    const PixelBlock color = ColorBlock(blue, green, red);
    const TransparencyWeights weights{alpha};
    size_t i = 0;
    for (; i + kPixels <= n; i += kPixels) {
        const __m256i w = weights.ForBlock(i);  // 255 - alpha: the source's share
        uint8_t* dst = d + i * 3;
        if (_mm256_testz_si256(w, w)) {
            StorePixels(dst, color);
        } else if (_mm256_testc_si256(w, AllOnes())) {
            StorePixels(dst, LoadPixels(s + i * 3));
        } else {
            StorePixels(dst, BlendBlock(color, LoadPixels(s + i * 3), w));
        }
    }
    return i;
}

}  // namespace rasteravx2

#endif  // RASTER_BLEND_AVX2
