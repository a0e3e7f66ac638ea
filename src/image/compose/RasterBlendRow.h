// Row kernels of the alpha blends of 24-bit pictures: d = T[d][255 - w] + T[s][w] per channel,
// T the product table and w the weight of the new value.
//
// Three interchangeable paths give identical bytes: the table look-ups (portable), SSE2 (the
// x86-64 baseline) and AVX2 (x86-64 processors that have it, chosen at run time). The
// compositing operations use the fastest one the processor runs; the tests run them all.
// Avx512 is the AVX2 path with 512-bit kernels where there are any (bilinear sampling).
#pragma once

#include <cstddef>
#include <cstdint>

// A path the processor lacks falls back to the next narrower one: Avx512 to Avx2 to Simd to
// Table.
enum class BlendPath { Table, Simd, Avx2, Avx512 };

#if defined(__SSE2__)
constexpr bool kSimdBlendAvailable = true;
#else
constexpr bool kSimdBlendAvailable = false;
#endif

// True when BlendPath::Avx2 runs AVX2 code on this processor.
bool Avx2BlendAvailable();

// True when the path runs AVX2 code on this processor (Avx2, or Avx512 at least).
bool UsesAvx2(BlendPath path);

// True when BlendPath::Avx512 runs its 512-bit kernels on this processor.
bool Avx512SamplingAvailable();

// The fastest path on this processor, found once.
BlendPath FastestBlendPath();

// One row of an alpha-blend paste of n pixels; sa or da is null for a missing plane (not both).
// Both planes: weight sa, except that a destination pixel with da = 0 takes the source as it
// is; da becomes max(da, sa). Only sa: weight sa. Only da: weight 255 - da (the source shows
// where the destination is transparent), da unchanged.
void AlphaBlendRow(uint8_t* d, const uint8_t* s, uint8_t* da, const uint8_t* sa, size_t n,
                   BlendPath path = FastestBlendPath());

// One row of n pixels blended onto a solid colour (COLORREF 0x00BBGGRR) by their alpha.
void FlattenAlphaRow(uint8_t* d, const uint8_t* alpha, uint32_t color, size_t n,
                     BlendPath path = FastestBlendPath());

// One row of n pixels of the source seen through a colour (COLORREF) whose opacity is alpha:
// d = T[color][a] + T[s][255 - a] per channel, d only written. The same bytes as
// FillPixelRow (d, color, n) followed by AlphaBlendRow (d, s, alpha, null, n).
void BlendUnderColorRow(uint8_t* d, const uint8_t* s, const uint8_t* alpha, uint32_t color, size_t n,
                        BlendPath path = FastestBlendPath());

// n pixels of one colour (COLORREF).
void FillPixelRow(uint8_t* d, uint32_t color, size_t n);
