// Row kernels of the alpha blends.
//
// Rows are walked in groups of pixels whose weights are tested at once: a group that is wholly
// kept (weight 0 keeps d exactly) or wholly replaced (weight 255 gives s exactly) is skipped or
// copied without any arithmetic, which is the common case for masks and cut-outs. Mixed groups
// are blended, by table look-ups per channel, by SSE2 sixteen pixels at a time or by AVX2 32
// at a time. A wider path leaves the pixels that fill none of its blocks to the next narrower
// one, down to the table for the last few.
#include "image/compose/RasterBlendRow.h"

#include <algorithm>
#include <cstring>

#include "image/compose/RasterBlendAvx2.h"
#include "image/compose/RasterBlendSimd.h"
#include "image/RasterImage.h"
#include "image/resample/RasterSamplingAvx512.h"

namespace {

constexpr size_t kBytesPerPixel = 3;
constexpr size_t kGroupPixels = 8;  // table path: one 64-bit word of weights
constexpr uint64_t kAllOpaque = ~uint64_t(0);
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// The row "times w" of the product table: WeightRow(T, w)[v] = T[v][w] (the table is symmetric).
inline const uint8_t* WeightRow(const uint8_t* table, uint32_t w) {
    return table + (size_t(w) << 8);
}

inline uint64_t LoadGroup(const uint8_t* bytes) {
    uint64_t group;
    std::memcpy(&group, bytes, sizeof(group));
    return group;
}

inline void StoreGroup(uint8_t* bytes, uint64_t group) {
    std::memcpy(bytes, &group, sizeof(group));
}

inline bool HasZeroByte(uint64_t group) {
    return ((group - kLowBits) & ~group & kHighBits) != 0;
}

// The new values come from a row of source pixels.
struct PixelRowSource {
    const uint8_t* pixels;
    const uint8_t* At(size_t i) const { return pixels + i * kBytesPerPixel; }
    void CopyTo(uint8_t* d, size_t first, size_t count) const {
        std::memcpy(d, At(first), count * kBytesPerPixel);
    }
#if defined(__SSE2__)
    rastersimd::PixelBlock Block(size_t first) const { return rastersimd::LoadPixels(At(first)); }
#endif
};

// The new values are one colour; a block of 16 pixels of it (a whole number of vectors) is
// kept ready for block copies and vector blends.
class ColorSource {
public:
    static constexpr size_t kPatternPixels = 16;

    explicit ColorSource(uint32_t color) {
        for (size_t i = 0; i < kPatternPixels; ++i) {
            m_pattern[i * kBytesPerPixel + 0] = RasterBlue(color);
            m_pattern[i * kBytesPerPixel + 1] = RasterGreen(color);
            m_pattern[i * kBytesPerPixel + 2] = RasterRed(color);
        }
    }
    const uint8_t* At(size_t) const { return m_pattern; }
    void CopyTo(uint8_t* d, size_t, size_t count) const {
        for (; count >= kPatternPixels; count -= kPatternPixels, d += sizeof(m_pattern)) {
            std::memcpy(d, m_pattern, sizeof(m_pattern));
        }
        std::memcpy(d, m_pattern, count * kBytesPerPixel);
    }
#if defined(__SSE2__)
    rastersimd::PixelBlock Block(size_t) const { return rastersimd::LoadPixels(m_pattern); }
#endif

private:
    uint8_t m_pattern[kPatternPixels * kBytesPerPixel];
};

inline void BlendPixel(uint8_t* d, const uint8_t* s, uint32_t w, const uint8_t* table) {
    const uint8_t* keep = WeightRow(table, 255 - w);
    const uint8_t* take = WeightRow(table, w);
    d[0] = uint8_t(keep[d[0]] + take[s[0]]);
    d[1] = uint8_t(keep[d[1]] + take[s[1]]);
    d[2] = uint8_t(keep[d[2]] + take[s[2]]);
}

// What a group of pixels needs: nothing, a copy or a blend per pixel.
enum class GroupAction { Keep, Replace, Blend };

// Weight = source alpha.
struct SourceAlphaWeights {
    const uint8_t* sa;
    GroupAction ForGroup(size_t i) const {
        const uint64_t g = LoadGroup(sa + i);
        return g == 0 ? GroupAction::Keep : g == kAllOpaque ? GroupAction::Replace : GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const { return sa[i]; }
#if defined(__SSE2__)
    __m128i ForBlock(size_t i) const { return rastersimd::LoadWeights(sa + i); }
#endif
};

// Weight = 255 - alpha of the pixel being changed: the new value shows where it is transparent.
struct TransparencyWeights {
    const uint8_t* alpha;
    GroupAction ForGroup(size_t i) const {
        const uint64_t g = LoadGroup(alpha + i);
        return g == kAllOpaque ? GroupAction::Keep : g == 0 ? GroupAction::Replace : GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const { return 255u - alpha[i]; }
#if defined(__SSE2__)
    __m128i ForBlock(size_t i) const {
        return _mm_xor_si128(rastersimd::LoadWeights(alpha + i), _mm_set1_epi8(-1));  // 255 - a
    }
#endif
};

// Both planes: weight = source alpha, except that a fully transparent destination pixel
// takes the source as it is (weight 255). Also sets the destination alpha to max(da, sa)
// (which is sa where da was 0).
struct BothAlphaWeights {
    const uint8_t* sa;
    uint8_t* da;
    GroupAction ForGroup(size_t i) const {
        const uint64_t s = LoadGroup(sa + i);
        const uint64_t d = LoadGroup(da + i);
        if (s == kAllOpaque || d == 0) {
            StoreGroup(da + i, s);  // max(d, s) in both cases
            return GroupAction::Replace;
        }
        if (s == 0 && !HasZeroByte(d)) return GroupAction::Keep;
        return GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const {
        const uint8_t a = sa[i];
        const uint8_t old = da[i];
        da[i] = std::max(old, a);
        return old ? a : 255u;
    }
#if defined(__SSE2__)
    __m128i ForBlock(size_t i) const {
        const __m128i s = rastersimd::LoadWeights(sa + i);
        const __m128i d = rastersimd::LoadWeights(da + i);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(da + i), _mm_max_epu8(d, s));
        return _mm_or_si128(s, _mm_cmpeq_epi8(d, _mm_setzero_si128()));  // 255 where da = 0
    }
#endif
};

// Pixels first .. n - 1 by table look-ups, one at a time.
template <class Weights, class Source>
void BlendTail(uint8_t* d, const Source& source, const Weights& weights, size_t first, size_t n,
               const uint8_t* table) {
    uint8_t* dst = d + first * kBytesPerPixel;
    for (size_t i = first; i < n; ++i, dst += kBytesPerPixel) BlendPixel(dst, source.At(i), weights.ForPixel(i), table);
}

template <class Weights, class Source>
void BlendRowByTable(uint8_t* d, const Source& source, const Weights& weights, size_t first, size_t n,
                     const uint8_t* table) {
    size_t i = first;
    for (; i + kGroupPixels <= n; i += kGroupPixels) {
        uint8_t* dst = d + i * kBytesPerPixel;
        switch (weights.ForGroup(i)) {
            case GroupAction::Keep:
                break;
            case GroupAction::Replace:
                source.CopyTo(dst, i, kGroupPixels);
                break;
            case GroupAction::Blend:
                BlendTail(d, source, weights, i, i + kGroupPixels, table);
                break;
        }
    }
    BlendTail(d, source, weights, i, n, table);
}

#if defined(__SSE2__)
template <class Weights, class Source>
void BlendRowBySimd(uint8_t* d, const Source& source, const Weights& weights, size_t first, size_t n,
                    const uint8_t* table) {
    const __m128i none = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi8(-1);
    size_t i = first;
    for (; i + rastersimd::kPixels <= n; i += rastersimd::kPixels) {
        const __m128i w = weights.ForBlock(i);
        uint8_t* dst = d + i * kBytesPerPixel;
        if (rastersimd::AllBytesEqual(w, none)) continue;
        if (rastersimd::AllBytesEqual(w, full)) {
            source.CopyTo(dst, i, rastersimd::kPixels);
        } else {
            rastersimd::BlendPixels(dst, source.Block(i), w);
        }
    }
    BlendTail(d, source, weights, i, n, table);
}
#endif

#if defined(RASTER_BLEND_AVX2)
// The whole 32-pixel blocks at the start of a row by AVX2; returns the pixels covered.
size_t BlendBlocksByAvx2(uint8_t* d, const PixelRowSource& source, const SourceAlphaWeights& weights, size_t n) {
    return rasteravx2::BlendBySourceAlpha(d, source.pixels, weights.sa, n);
}
size_t BlendBlocksByAvx2(uint8_t* d, const PixelRowSource& source, const TransparencyWeights& weights, size_t n) {
    return rasteravx2::BlendByTransparency(d, source.pixels, weights.alpha, n);
}
size_t BlendBlocksByAvx2(uint8_t* d, const PixelRowSource& source, const BothAlphaWeights& weights, size_t n) {
    return rasteravx2::BlendByBothAlpha(d, source.pixels, weights.da, weights.sa, n);
}
size_t BlendBlocksByAvx2(uint8_t* d, const ColorSource& source, const TransparencyWeights& weights, size_t n) {
    const uint8_t* color = source.At(0);
    return rasteravx2::FlattenOntoColor(d, weights.alpha, color[0], color[1], color[2], n);
}
#endif

// d = T[d][255 - w] + T[s][w] over n pixels of a row, by the chosen path.
template <class Weights, class Source>
void BlendRow(uint8_t* d, const Source& source, const Weights& weights, size_t n, BlendPath path) {
    const uint8_t* table = ProductTable();
    size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
    if (UsesAvx2(path)) done = BlendBlocksByAvx2(d, source, weights, n);
#endif
#if defined(__SSE2__)
    if (path != BlendPath::Table) {
        BlendRowBySimd(d, source, weights, done, n, table);
        return;
    }
#endif
    BlendRowByTable(d, source, weights, done, n, table);
}

}  // namespace

bool Avx2BlendAvailable() {
#if defined(RASTER_BLEND_AVX2)
    return rasteravx2::Avx2Supported();
#else
    return false;
#endif
}

bool UsesAvx2(BlendPath path) {
    return (path == BlendPath::Avx2 || path == BlendPath::Avx512) && Avx2BlendAvailable();
}

bool Avx512SamplingAvailable() {
#if defined(RASTER_BLEND_AVX2)
    return Avx2BlendAvailable() && rasteravx512::Avx512Supported();
#else
    return false;
#endif
}

BlendPath FastestBlendPath() {
    static const BlendPath fastest = Avx512SamplingAvailable() ? BlendPath::Avx512
                                     : Avx2BlendAvailable()    ? BlendPath::Avx2
                                     : kSimdBlendAvailable     ? BlendPath::Simd
                                                               : BlendPath::Table;
    return fastest;
}

void AlphaBlendRow(uint8_t* d, const uint8_t* s, uint8_t* da, const uint8_t* sa, size_t n, BlendPath path) {
    const PixelRowSource source{s};
    if (sa && da) {
        BlendRow(d, source, BothAlphaWeights{sa, da}, n, path);
    } else if (sa) {
        BlendRow(d, source, SourceAlphaWeights{sa}, n, path);
    } else if (da) {
        BlendRow(d, source, TransparencyWeights{da}, n, path);
    }
}

void FlattenAlphaRow(uint8_t* d, const uint8_t* alpha, uint32_t color, size_t n, BlendPath path) {
    // The background shows by the pixel's transparency.
    BlendRow(d, ColorSource(color), TransparencyWeights{alpha}, n, path);
}

void BlendUnderColorRow(uint8_t* d, const uint8_t* s, const uint8_t* alpha, uint32_t color, size_t n, BlendPath path) {
    size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
    if (UsesAvx2(path)) {
        done = rasteravx2::BlendUnderColor(d, s, alpha, RasterBlue(color), RasterGreen(color), RasterRed(color), n);
    }
#endif
    // The rest: the colour, then the source blended in where the colour is not opaque.
    uint8_t* rest = d + done * kBytesPerPixel;
    FillPixelRow(rest, color, n - done);
    BlendRow(rest, PixelRowSource{s + done * kBytesPerPixel}, TransparencyWeights{alpha + done}, n - done, path);
}

void FillPixelRow(uint8_t* d, uint32_t color, size_t n) {
    ColorSource(color).CopyTo(d, 0, n);
}
