// 512-bit kernels of bilinear sampling, bit-exact with the scalar float steps: sixteen target
// bytes per vector in the column stage, sixteen source values per vector in the row stage.
// Compiled for AVX-512 function by function; call them only when Avx512Supported() says the
// processor runs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

namespace raster_resample {

// Target bytes per wide group: they share one load of sixteen neighbouring source values.
constexpr size_t kWideGroup = 16;
// Bytes per step of the wide SampleColumns: four wide groups, two blocks of the AVX2 path.
constexpr size_t kWideBlock = 4 * kWideGroup;
// Set in a wide group's base when its bytes read source values more than sixteen apart.
constexpr uint32_t kScatteredWideGroup = 0x80000000u;

// Where the sixteen bytes of a wide group find their source values: byte j reads
// base + offset j, the offsets of the even bytes in the low 32 bits (byte 2m at bits 4m) and
// those of the odd bytes in the high 32 bits (byte 2m + 1 at bits 32 + 4m). False when an
// offset does not fit in four bits.
bool PackWideOffsets(const uint32_t* index, uint32_t base, uint64_t& offsets);

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx512 {

// True when the processor and the operating system run the AVX-512 kernels (foundation and
// byte/word instructions); asked once per process.
bool Avx512Supported();

// out[i] = trunc(low[k] + step[k] * dx[i]) saturated to 0..255, k the source value of target
// byte i, for the whole 64-byte steps from `first` (a multiple of 32) up to count. Wide group
// w covers bytes 16w .. 16w + 15 and reads from bases[w] with offsets[w] (PackWideOffsets);
// low and step must be readable sixteen floats past every base. flat is the AVX2 path's
// per-32-byte flat values. Stops early at a step holding a scattered wide group and returns
// where it stopped.
size_t SampleColumns(const float* low, const float* step, const uint32_t* bases, const uint64_t* offsets,
                     const int16_t* flat, const float* dx, size_t first, size_t count, uint8_t* out);

// A pair of source rows of count values: top[k] = r0[k] and rise[k] = r1[k] - r0[k] as floats,
// and two bitmaps for the flat block search (bit k in word k / 64): still, r1[k] = r0[k]; level,
// still and r0[k] = r0[k + 1] (never for the last value). The bitmaps need count / 64 + 2 words.
void PairRows(const uint8_t* r0, const uint8_t* r1, size_t count, float* top, float* rise, uint64_t* still,
              uint64_t* level);

// rasteravx2::FindFlatBlocks from the bitmaps of PairRows, with the same results: a block is
// flat when the values it reads, from its lowest one to the right neighbour of its highest,
// are still and level with each other.
void FindFlatBlocks(const uint8_t* r0, const uint64_t* still, const uint64_t* level, const uint64_t* spans,
                    size_t blocks, size_t count, size_t channels, int16_t* flat);

// rasteravx2::BlendRowPairSteps with sixteen values per vector; low also gets the blends of
// the right neighbours of values first .. end - 1.
void BlendRowPairSteps(const float* top, const float* rise, float dy, size_t first, size_t end, size_t count,
                       size_t channels, float* low, float* step);

}  // namespace rasteravx512

#endif
