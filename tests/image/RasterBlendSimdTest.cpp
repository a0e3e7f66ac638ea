// The vector blends (SSE2 and AVX2) give exactly the bytes of the product-table blends: the
// rounding on every (x, w) pair, every blend mode and row width on random and mask-like alpha,
// and the picture operations that use them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <random>
#include <vector>

#include "image/compose/RasterBlendRow.h"
#include "image/compose/RasterBlendSimd.h"
#include "image/RasterImage.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint8_t TableProduct(uint32_t x, uint32_t w) {
    return ProductTable()[x * 256 + w];
}

Bytes RandomBytes(size_t n, std::mt19937& rng) {
    Bytes bytes(n);
    for (auto& b : bytes) b = uint8_t(rng());
    return bytes;
}

// Alpha as masks and cut-outs have it: runs of 0 and of 255 with soft edges between them, so
// that whole kept, whole replaced and mixed groups all occur, up to the 32-pixel AVX2 blocks.
Bytes MaskAlpha(size_t n, std::mt19937& rng) {
    Bytes alpha(n);
    size_t i = 0;
    while (i < n) {
        const size_t run = 1 + rng() % 80;
        const uint32_t kind = rng() % 3;
        for (size_t k = 0; k < run && i < n; ++k, ++i) {
            alpha[i] = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(rng());
        }
    }
    return alpha;
}

enum Planes { kSourcePlane = 1, kDestinationPlane = 2, kBothPlanes = 3 };

// One blend row in buffers of exactly the bytes it covers, so that a read or write past the
// row end is caught by the address sanitizer. The pixels start `offset` bytes into their
// buffer, which gives unaligned rows.
struct BlendRowCase {
    Bytes d, s, da, sa;
    size_t offset;
    size_t width;

    void Run(BlendPath path, int planes) {
        AlphaBlendRow(d.data() + offset, s.data() + offset, (planes & kDestinationPlane) ? da.data() + offset : nullptr,
                      (planes & kSourcePlane) ? sa.data() + offset : nullptr, width, path);
    }
};

BlendRowCase MakeRowCase(size_t width, size_t offset, bool maskLike, std::mt19937& rng) {
    const size_t pixelBytes = offset + width * 3;
    const size_t alphaBytes = offset + width;
    BlendRowCase c{RandomBytes(pixelBytes, rng), RandomBytes(pixelBytes, rng), Bytes(), Bytes(), offset, width};
    c.da = maskLike ? MaskAlpha(alphaBytes, rng) : RandomBytes(alphaBytes, rng);
    c.sa = maskLike ? MaskAlpha(alphaBytes, rng) : RandomBytes(alphaBytes, rng);
    return c;
}

void ExpectPathsAgree(BlendRowCase c, BlendPath path, int planes, const char* what) {
    BlendRowCase byTable = c;
    byTable.Run(BlendPath::Table, planes);
    c.Run(path, planes);
    ASSERT_EQ(c.d, byTable.d) << what << ", planes " << planes << ", width " << c.width << ", offset " << c.offset;
    ASSERT_EQ(c.da, byTable.da) << what << ", planes " << planes << ", width " << c.width << ", offset " << c.offset;
}

// The row tests run once per vector path; a path this processor lacks is skipped, since it
// would only repeat the narrower path it falls back to.
class VectorBlendPath : public testing::TestWithParam<BlendPath> {
protected:
    void SetUp() override {
        if (!kSimdBlendAvailable) GTEST_SKIP() << "no vector path on this target";
        if (GetParam() == BlendPath::Avx2 && !Avx2BlendAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

RasterImage RandomImage(uint32_t width, uint32_t height, bool alpha, bool maskLike, std::mt19937& rng) {
    RasterImage image;
    EXPECT_TRUE(image.Create(width, height, 24, 0));
    for (uint32_t y = 0; y < height; ++y) {
        const Bytes row = RandomBytes(size_t(width) * 3, rng);
        std::copy(row.begin(), row.end(), image.RowPointer(y));
    }
    if (alpha) {
        EXPECT_TRUE(image.CreateAlpha());
        const size_t n = size_t(width) * height;
        const Bytes plane = maskLike ? MaskAlpha(n, rng) : RandomBytes(n, rng);
        std::copy(plane.begin(), plane.end(), image.AlphaPointer(0, 0));
    }
    return image;
}

bool SameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    return std::equal(a, a + n, b);
}

}  // namespace

// Names the path in failure messages.
void PrintTo(BlendPath path, std::ostream* out) {
    *out << (path == BlendPath::Avx512 ? "AVX-512"
             : path == BlendPath::Avx2 ? "AVX2"
             : path == BlendPath::Simd ? "SSE2"
                                       : "table");
}

#if defined(__SSE2__)

TEST(RasterBlendSimd, RoundedProductEqualsTheTableForEveryPair) {
    alignas(16) uint16_t x[8];
    alignas(16) uint16_t w[8];
    alignas(16) uint16_t got[8];
    for (uint32_t wv = 0; wv < 256; ++wv) {
        for (uint32_t x0 = 0; x0 < 256; x0 += 8) {
            for (uint32_t k = 0; k < 8; ++k) {
                x[k] = uint16_t(x0 + k);
                w[k] = uint16_t(wv);
            }
            const __m128i product = rastersimd::ScaleByWeight(_mm_load_si128(reinterpret_cast<const __m128i*>(x)),
                                                              _mm_load_si128(reinterpret_cast<const __m128i*>(w)));
            _mm_store_si128(reinterpret_cast<__m128i*>(got), product);
            for (uint32_t k = 0; k < 8; ++k) ASSERT_EQ(got[k], TableProduct(x[k], wv)) << x[k] << " x " << wv;
        }
    }
}

TEST(RasterBlendSimd, BlendedLanesAreTheSumOfTwoTableTermsForEveryTriple) {
    alignas(16) uint16_t s[8];
    alignas(16) uint16_t got[8];
    for (uint32_t w = 0; w < 256; ++w) {
        const __m128i weights = _mm_set1_epi16(int16_t(w));
        for (uint32_t d = 0; d < 256; ++d) {
            const __m128i old = _mm_set1_epi16(int16_t(d));
            for (uint32_t s0 = 0; s0 < 256; s0 += 8) {
                for (uint32_t k = 0; k < 8; ++k) s[k] = uint16_t(s0 + k);
                const __m128i blend =
                    rastersimd::BlendLanes(old, _mm_load_si128(reinterpret_cast<const __m128i*>(s)), weights);
                _mm_store_si128(reinterpret_cast<__m128i*>(got), blend);
                for (uint32_t k = 0; k < 8; ++k) {
                    ASSERT_EQ(got[k], TableProduct(d, 255 - w) + TableProduct(s[k], w))
                        << "d " << d << " s " << s[k] << " w " << w;
                }
            }
        }
    }
}

#endif  // __SSE2__

TEST_P(VectorBlendPath, RowBlendsMatchTheTableForEveryWidthOffsetAndPlane) {
    std::mt19937 rng(20261208);
    for (size_t width = 1; width <= 70; ++width) {
        for (size_t offset : {0u, 1u, 3u, 6u, 13u}) {
            for (int planes : {kSourcePlane, kDestinationPlane, kBothPlanes}) {
                ExpectPathsAgree(MakeRowCase(width, offset, false, rng), GetParam(), planes, "random alpha");
                ExpectPathsAgree(MakeRowCase(width, offset, true, rng), GetParam(), planes, "mask alpha");
            }
        }
    }
}

TEST_P(VectorBlendPath, RowBlendsMatchTheTableForEveryAlphaValue) {
    std::mt19937 rng(7);
    const size_t width = 256 * 4 + 9;  // every value several times, and a tail
    for (int planes : {kSourcePlane, kDestinationPlane, kBothPlanes}) {
        for (int round = 0; round < 4; ++round) {
            BlendRowCase c = MakeRowCase(width, size_t(round), false, rng);
            // Every source alpha against every destination alpha, in shuffled order; the
            // destination also gets runs of 0 (taken as they are) next to blended pixels.
            for (size_t i = 0; i < width; ++i) c.sa[c.offset + i] = uint8_t(i);
            for (size_t i = 0; i < width; ++i) c.da[c.offset + i] = uint8_t(i * 7 + round);
            std::shuffle(c.sa.begin() + long(c.offset), c.sa.end(), rng);
            if (round % 2) std::fill(c.da.begin() + long(c.offset) + 16, c.da.begin() + long(c.offset) + 40, 0);
            ExpectPathsAgree(c, GetParam(), planes, "all alpha values");
        }
    }
}

TEST_P(VectorBlendPath, FlattenRowsMatchTheTableForRandomBackgrounds) {
    std::mt19937 rng(99);
    for (size_t width = 1; width <= 70; ++width) {
        for (size_t offset : {0u, 1u, 5u}) {
            const bool maskLike = (width + offset) % 2 == 0;
            const uint32_t color = rng() & 0xFFFFFF;
            const Bytes alpha = maskLike ? MaskAlpha(offset + width, rng) : RandomBytes(offset + width, rng);
            Bytes byPath = RandomBytes(offset + width * 3, rng);
            Bytes byTable = byPath;
            FlattenAlphaRow(byTable.data() + offset, alpha.data() + offset, color, width, BlendPath::Table);
            FlattenAlphaRow(byPath.data() + offset, alpha.data() + offset, color, width, GetParam());
            ASSERT_EQ(byPath, byTable) << "width " << width << ", offset " << offset << ", colour " << std::hex << color;
        }
    }
}

// The source seen through a colour: the colour filled in, then the source blended in where the
// colour is not opaque, whatever was in the row before.
TEST_P(VectorBlendPath, BlendUnderColorEqualsTheColourThenTheTableBlend) {
    std::mt19937 rng(1207);
    for (size_t width = 1; width <= 100; ++width) {
        for (size_t offset : {0u, 2u, 7u}) {
            const bool maskLike = width % 3 != 0;
            const uint32_t color = rng() & 0xFFFFFF;
            const Bytes alpha = maskLike ? MaskAlpha(offset + width, rng) : RandomBytes(offset + width, rng);
            const Bytes s = RandomBytes(offset + width * 3, rng);
            Bytes byTable = RandomBytes(offset + width * 3, rng);
            Bytes byPath = RandomBytes(offset + width * 3, rng);
            std::copy(byTable.begin(), byTable.begin() + long(offset), byPath.begin());
            FillPixelRow(byTable.data() + offset, color, width);
            Bytes tableAlpha = alpha;
            AlphaBlendRow(byTable.data() + offset, s.data() + offset, tableAlpha.data() + offset, nullptr, width,
                          BlendPath::Table);
            BlendUnderColorRow(byPath.data() + offset, s.data() + offset, alpha.data() + offset, color, width,
                               GetParam());
            ASSERT_EQ(byPath, byTable) << "width " << width << ", offset " << offset << ", colour " << std::hex << color;
            ASSERT_EQ(tableAlpha, alpha);
        }
    }
}

// Every old value against every new value under every weight, through the whole row kernel:
// one row holds all 65,536 (d, s) pairs, the channels of a pixel in different pairings.
TEST_P(VectorBlendPath, RowBlendsMatchTheTableForEveryValueAndWeight) {
    const size_t width = 65536;
    Bytes s(width * 3);
    Bytes original(width * 3);
    for (size_t p = 0; p < width; ++p) {
        for (size_t c = 0; c < 3; ++c) {
            original[p * 3 + c] = uint8_t(p >> 8);
            s[p * 3 + c] = uint8_t(p + c * 37);
        }
    }
    Bytes sa(width);
    for (uint32_t w = 0; w < 256; ++w) {
        std::fill(sa.begin(), sa.end(), uint8_t(w));
        Bytes byTable = original;
        Bytes byPath = original;
        AlphaBlendRow(byTable.data(), s.data(), nullptr, sa.data(), width, BlendPath::Table);
        AlphaBlendRow(byPath.data(), s.data(), nullptr, sa.data(), width, GetParam());
        ASSERT_EQ(byPath, byTable) << "weight " << w;
    }
}

INSTANTIATE_TEST_SUITE_P(RasterBlendSimd, VectorBlendPath, testing::Values(BlendPath::Simd, BlendPath::Avx2),
                         [](const testing::TestParamInfo<BlendPath>& info) {
                             return info.param == BlendPath::Avx2 ? "Avx2" : "Sse2";
                         });

// The picture operations take the fastest path; a paste with odd offsets into rows of every
// padding equals the table blend of the same rows, and nothing outside the window changes.
TEST(RasterBlendSimd, PasteOfRandomPicturesEqualsTheTableBlend) {
    std::mt19937 rng(5);
    for (uint32_t width = 2; width <= 70; ++width) {
        for (int planes : {kSourcePlane, kDestinationPlane, kBothPlanes}) {
            const bool maskLike = width % 2 == 0;
            const RasterImage source = RandomImage(width, 3, planes & kSourcePlane, maskLike, rng);
            RasterImage target = RandomImage(width + 1, 3, planes & kDestinationPlane, maskLike, rng);
            RasterImage expected(target);
            ASSERT_TRUE(target.Paste(source, 1, 0, -1, -1, 2, 0, RASTER_PASTE_ALPHA_BLEND, 1.0));
            // Source columns 1.. land at destination columns 2..: width - 1 pixels per row.
            for (uint32_t y = 0; y < 3; ++y) {
                AlphaBlendRow(expected.PixelPointer(2, y), source.PixelPointer(1, y), expected.AlphaPointer(2, y),
                              source.AlphaPointer(1, y), width - 1, BlendPath::Table);
                ASSERT_TRUE(SameBytes(target.RowPointer(y), expected.RowPointer(y), size_t(width + 1) * 3))
                    << "width " << width << ", planes " << planes << ", row " << y;
            }
            if (planes & kDestinationPlane) {
                ASSERT_TRUE(SameBytes(target.AlphaPointer(0, 0), expected.AlphaPointer(0, 0), size_t(width + 1) * target.GetHeight()))
                    << "alpha, width " << width << ", planes " << planes;
            }
        }
    }
}

TEST(RasterBlendSimd, FlattenOfRandomPicturesEqualsTheTableBlend) {
    std::mt19937 rng(11);
    for (uint32_t width = 1; width <= 70; ++width) {
        RasterImage image = RandomImage(width, 2, true, width % 3 == 0, rng);
        RasterImage expected(image);
        const uint32_t color = rng() & 0xFFFFFF;
        ASSERT_TRUE(image.FlattenAlpha(color));
        for (uint32_t y = 0; y < 2; ++y) {
            FlattenAlphaRow(expected.RowPointer(y), expected.AlphaPointer(0, y), color, width, BlendPath::Table);
            ASSERT_TRUE(SameBytes(image.RowPointer(y), expected.RowPointer(y), size_t(width) * 3))
                << "width " << width << ", row " << y;
        }
    }
}
