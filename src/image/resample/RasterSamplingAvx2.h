// AVX2 column stage of bilinear sampling, bit-exact with the scalar float steps. Compiled for
// AVX2 function by function like the blend kernels; call it only when Avx2Supported() says
// the processor runs it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

namespace raster_resample {

// Target bytes per group: they share one load of eight neighbouring source values.
constexpr size_t kSampleGroup = 8;
// Bytes per step of SampleColumns: four groups.
constexpr size_t kSampleBlock = 4 * kSampleGroup;
// Set in a group's offsets when its eight bytes read source values more than eight apart.
constexpr uint32_t kScatteredGroup = 0x80000000u;
// Most source values the flat block search reads from a block's lowest one.
constexpr size_t kFlatReach = 32;

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// out[i] = trunc(low[k] + step[k] * dx[i]), saturated to 0..255, where k is the source
// index of target byte i. The indices of each group of eight target bytes are given as
// groups[g] = base | offsets << 32: byte 8g + j reads base + ((offsets >> 4j) & 7). low and
// step must be readable eight floats past every base. flat[b] is the value of every byte of
// block b (bytes 32b .. 32b + 31) when the caller knows it to be one, else negative.
// Works on the whole 32-byte blocks from `first` (a multiple of 32) up to count and stops
// early at a block holding a scattered group; returns where it stopped.
size_t SampleColumns(const float* low, const float* step, const uint64_t* groups, const int16_t* flat,
                     const float* dx, size_t first, size_t count, uint8_t* out);

// The flat blocks of a pair of source rows (see BilinearRows): flat[b] = the value every byte
// of block b has on every target row between them, or -1. spans[b] = lowest | highest source
// value the block reads << 32. top and rise must be readable kFlatReach values past every
// lowest value.
void FindFlatBlocks(const float* top, const float* rise, const uint64_t* spans, size_t blocks, size_t count,
                    size_t channels, int16_t* flat);

// The row stage for source values first .. end - 1 of a row of count values of `channels`
// bytes per pixel: low[k] = top[k] + rise[k] * dy, and step[k] = low[k + channels] - low[k],
// 0 for the last pixel.
void BlendRowPairSteps(const float* top, const float* rise, float dy, size_t first, size_t end, size_t count,
                       size_t channels, float* low, float* step);

}  // namespace rasteravx2

#endif
