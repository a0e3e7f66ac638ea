// AVX2 kernels of the area-average reduction by target rows, bit-exact with the portable
// ones. Compiled for AVX2 function by function like the blend kernels; call them only when
// Avx2Supported() says the processor runs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/resample/RasterAreaShrinkRows.h"
#include "image/compose/RasterBlendAvx2.h"

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// Adds a row of count bytes to 16-bit sums (or stores it there when first) for the whole
// blocks of 32 from the start; returns how many it did.
size_t AddRow(const uint8_t* row, size_t count, bool first, uint16_t* sums);

// Fetches the boundary values of three-channel rows, a pixel at a time (index[i] is the
// source value of boundary value i, a pixel's three in a row), as long as a pixel's four-byte
// read stays inside the row of count values; returns how many it fetched. It writes one
// value past the last it fetched, and reads whole one value past the row.
size_t GatherPixels(const uint16_t* whole, const uint8_t* closing, size_t count, const uint32_t* index, size_t values,
                    uint32_t* wholeValues, uint32_t* closingValues);

// Divisor::AverageRow on the whole blocks of eight from the start, when the divisor's
// multiplier fits 32 bits; returns how many it did.
size_t AverageRow(const uint32_t* sums, size_t count, const raster_area::Divisor& divisor, uint8_t* out);

// CombineRows on the whole blocks of eight values from the start; returns how many it did.
size_t CombineRows(const uint16_t* whole, const raster_area::RowShares& rows, size_t count, uint32_t* out);

// ShareSplitValues on the whole blocks of eight values from the start; returns how many it did.
size_t ShareSplitValues(const raster_area::SplitValues& values, uint32_t down, uint32_t up, size_t count,
                        uint32_t* near, uint32_t* far);

// The column sums of three-channel rows whose runs are at most longest pixels, a pixel per
// vector; null when longest is beyond its windows. It reads and writes one value past the
// end of every array.
raster_area::ColumnSummer PixelColumnSummer(uint32_t longest);

}  // namespace rasteravx2

#endif
