// The row kernel of the fine turn (RasterRotateFine.h), portable and AVX2. Both take the same
// float steps in the same order (multiplies and adds, no fused multiply-add, rounding to
// nearest even), so they write the same bytes.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

namespace raster_resample {

// The 24-bit source as stored: row 0 at the bottom. The byte before bits must be readable
// (a picture's header lies there), so the vector kernel can fetch a pixel as the upper three
// bytes of a 4-byte word and never read past the last pixel.
struct TurnSource {
    const uint8_t* bits;
    size_t stride;
    uint32_t width;
    uint32_t height;
};

// One target row: target pixel i samples the source at column x0 + i * stepX and row
// y0 + i * stepY, in picture coordinates (top row = 0) of pixel centres.
struct TurnRow {
    float x0;
    float y0;
    float stepX;
    float stepY;
};

// The weights of the four taps at offsets -1, 0, 1, 2 from the sample's whole part, for its
// fractional part t.
struct CubicWeights {
    float w[4];
};

inline CubicWeights KeysWeights(float t) {
    return CubicWeights{{t * (t * (-0.5f * t + 1.0f) - 0.5f), t * t * (1.5f * t - 2.5f) + 1.0f,
                         t * (t * (-1.5f * t + 2.0f) + 0.5f), t * t * (0.5f * t - 0.5f)}};
}

// A sample point counts as inside the source when it lies within its outermost pixels' edges.
inline bool SampleInside(float x, float y, const TurnSource& source) {
    return x >= -0.5f && x <= float(source.width) - 0.5f && y >= -0.5f && y <= float(source.height) - 0.5f;
}

// Target pixels first .. count - 1 of row into out (3 bytes each, from pixel 0).
void TurnRowPortable(const TurnSource& source, const TurnRow& row, size_t first, size_t count, uint8_t* out);

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// Pixels of 3 bytes the vector kernel writes at once.
constexpr size_t kTurnGroup = 8;

// The whole groups of kTurnGroup target pixels of row from pixel 0; returns how many pixels it
// wrote. Byte offsets into the source must fit in 31 bits.
size_t TurnRowGroups(const raster_resample::TurnSource& source, const raster_resample::TurnRow& row, size_t count,
                     uint8_t* out);

}  // namespace rasteravx2

#endif
