// AVX2 column stage of bilinear sampling, bit-exact with the scalar float steps. Compiled for
// AVX2 function by function like the blend kernels; call it only when Avx2Supported() says
// the processor runs it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "RasterBlendAvx2.h"

namespace raster_resample {

// Target bytes per group: they share one load of eight neighbouring source values.
constexpr size_t kSampleGroup = 8;
// Bytes per step of SampleColumns: four groups.
constexpr size_t kSampleBlock = 4 * kSampleGroup;
// Set in a group's offsets when its eight bytes read source values more than eight apart.
constexpr uint32_t kScatteredGroup = 0x80000000u;

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// out[i] = trunc(low[k] + step[k] * dx[i]), saturated to 0..255, where k is the source
// index of target byte i. The indices of each group of eight target bytes are given as
// groups[g] = base | offsets << 32: byte 8g + j reads base + ((offsets >> 4j) & 7). low and
// step must be readable eight floats past every base.
// Works on the whole 32-byte blocks from `first` (a multiple of 32) up to count and stops
// early at a block holding a scattered group; returns where it stopped.
size_t SampleColumns(const float* low, const float* step, const uint64_t* groups, const float* dx, size_t first,
                     size_t count, uint8_t* out);

}  // namespace rasteravx2

#endif
