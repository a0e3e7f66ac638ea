// AVX2 kernels of the quarter turns and the mirror for 24-bit pixels, byte-exact with the
// portable paths. Compiled for AVX2 function by function like the blend kernels; call them
// only when Avx2Supported() says the processor runs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

// The side of the square blocks the quarter turns move at once.
constexpr uint32_t kTurnBlock = 8;

// A column of square blocks of kTurnBlock x kTurnBlock pixels, each transposed: in the first
// block, source run k (kTurnBlock adjacent pixels) starts at source + k * sourceStep, and
// target run j receives pixel j of every source run, in run order, starting at
// target + j * targetStep. Block b reads and writes the same way from source + b *
// sourceAdvance and target + b * targetAdvance.
struct BlockColumn {
    const uint8_t* source;
    ptrdiff_t sourceStep;
    uint8_t* target;
    ptrdiff_t targetStep;
    uint32_t blocks;
    ptrdiff_t sourceAdvance;
    ptrdiff_t targetAdvance;
};

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// Transposes the blocks of 3-byte pixels; reads and writes exactly their 24-byte runs.
void TurnBlocks24(const BlockColumn& column);

// Writes the first pixels of target as the last ones of source reversed, for the whole blocks
// of 8 pixels (3 bytes each) that width holds; returns how many pixels it wrote. Reads only
// the source pixels it mirrors.
size_t ReverseRow24(const uint8_t* source, uint8_t* target, size_t width);

}  // namespace rasteravx2

#endif
