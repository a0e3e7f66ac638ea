// Eight 24-bit pixels moved between memory and the eight 32-bit lanes of an AVX2 register
// (blue, green, red and a zero byte per lane): shared by the kernels that turn pictures.
// Include only from files compiled for AVX2 function by function (RASTER_BLEND_AVX2).
#pragma once

#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

#if defined(RASTER_BLEND_AVX2)

#include <immintrin.h>

#define RASTER_PIXELS24_INLINE inline __attribute__((target("avx2"), always_inline))

namespace rasteravx2 {

// 8 pixels of 3 bytes into 8 lanes of 4 bytes (the fourth byte zero). The two 16-byte loads
// overlap so that nothing past the 24 bytes is read.
RASTER_PIXELS24_INLINE __m256i LoadPixels24(const uint8_t* p) {
    const __m256i bytes =
        _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8), reinterpret_cast<const __m128i*>(p));
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    return _mm256_shuffle_epi8(bytes, spread);
}

// The inverse of LoadPixels24: writes exactly 24 bytes.
RASTER_PIXELS24_INLINE void StorePixels24(__m256i lanes, uint8_t* p) {
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(lanes, pack),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(packed, 1));
}

}  // namespace rasteravx2

#endif
