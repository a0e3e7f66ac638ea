// AVX2 row kernels of the alpha blends, bit-exact with the product table. They live in their own
// file, compiled for AVX2 function by function, so that the rest of the program keeps the x86-64
// baseline; call them only when Avx2Supported() says the processor runs them.
//
// Each kernel blends the whole blocks of kPixels pixels at the start of a row and returns how
// many pixels it covered; the caller finishes the row tail by a narrower path.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#define RASTER_BLEND_AVX2 1

namespace rasteravx2 {

constexpr size_t kPixels = 32;

// True when the processor and the operating system run AVX2 code; asked once per process.
bool Avx2Supported();

// Weight = source alpha.
size_t BlendBySourceAlpha(uint8_t* d, const uint8_t* s, const uint8_t* sa, size_t n);
// Weight = 255 - alpha of the destination pixel.
size_t BlendByTransparency(uint8_t* d, const uint8_t* s, const uint8_t* da, size_t n);
// Weight = source alpha, or 255 where the destination alpha is 0; da becomes max(da, sa).
size_t BlendByBothAlpha(uint8_t* d, const uint8_t* s, uint8_t* da, const uint8_t* sa, size_t n);
// The pixels onto a solid colour (channel bytes blue, green, red) by 255 - their alpha.
size_t FlattenOntoColor(uint8_t* d, const uint8_t* alpha, uint8_t blue, uint8_t green, uint8_t red, size_t n);
// d = T[color][alpha] + T[s][255 - alpha]: the source seen through a colour whose opacity is
// alpha. d is only written.
size_t BlendUnderColor(uint8_t* d, const uint8_t* s, const uint8_t* alpha, uint8_t blue, uint8_t green, uint8_t red,
                       size_t n);

}  // namespace rasteravx2

#endif
