// The kernels of the fine turn (RasterRotateFine.cpp), portable and AVX2. The turn is made of
// three shears, each a shift of whole rows or whole columns by a fraction of a pixel, so each
// kernel filters with four fixed-point weights (Keys cubic, 14 fraction bits) that are the same
// along a row (the row shifts) or down a column (the column shift).
//
// The arithmetic is 16-bit throughout, as the vectors do it sixteen lanes at a time: a level
// less 128 (a signed byte) goes in as a multiple of 256, and each tap is the rounded high half
// of its product with the weight (MulHigh), so a shift's sum keeps seven fraction bits. The
// first row shift writes signed bytes (levels less 128), the column shift 16-bit sums with
// their fraction bits (words), and the last row shift the picture's levels again. Both paths
// do the same integer steps and write the same values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

namespace raster_resample {

constexpr int kTapBits = 14;
constexpr int32_t kTapOne = 1 << kTapBits;
// Values the vector kernels handle at once (bytes or words).
constexpr size_t kShiftGroup = 32;

// The four weights of a shift by fraction t, for the taps at -1, 0, 1 and 2 whole pixels;
// they add up to kTapOne.
struct ShiftTaps {
    int16_t w[4];
};
ShiftTaps KeysTaps(double t);

// The rounded high half of a 16-bit product, as the vector multiply gives it: a * b / 2^15.
inline int32_t MulHigh(int32_t a, int32_t b) { return (a * b + (1 << 14)) >> 15; }

// out[b] = in[b], in[b + 3], in[b + 6], in[b + 9] (four neighbouring pixels of 3 bytes)
// filtered, for values first .. count - 1: levels in, signed bytes out.
void ShiftRowBytesPortable(const uint8_t* in, ShiftTaps taps, size_t first, size_t count, int8_t* out);

// The same from words to levels.
void ShiftRowWordsPortable(const int16_t* in, ShiftTaps taps, size_t first, size_t count, uint8_t* out);

// The weights of a column shift per byte of a row: w[k][b] is tap k's weight for byte b's column.
struct ColumnTaps {
    const int16_t* w[4];
};

// out[b] = rows[0][b] .. rows[3][b] filtered with byte b's weights, for bytes first .. end - 1:
// signed bytes in, words out.
void ShiftColumnsPortable(const int8_t* const rows[4], ColumnTaps taps, size_t first, size_t end, int16_t* out);

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// The portable row shifts for all count values when there are at least kShiftGroup of them
// (else for none); they return how many values they wrote. The first fetches `next` (when not
// null), the run of the row it reads next, as far as it reads this one; the second the row it
// writes next.
size_t ShiftRowBytesGroups(const uint8_t* in, raster_resample::ShiftTaps taps, size_t count, int8_t* out,
                           const uint8_t* next);
size_t ShiftRowWordsGroups(const int16_t* in, raster_resample::ShiftTaps taps, size_t count, uint8_t* out,
                           const uint8_t* nextOut);

// Output rows a column shift makes at once: they share the loads of their weights and of the
// rows they read.
constexpr size_t kColumnBatch = 4;

// ShiftColumnsPortable for kColumnBatch output rows: output row r reads rows r .. r + 3 of
// the rows starting at `top`, `stride` bytes apart, and goes to out[r]. In groups of
// kShiftGroup bytes from first until end is passed: the last group may write, and read from
// the rows and taps, up to kShiftGroup - 1 values past end.
void ShiftColumnGroups(const int8_t* top, size_t stride, raster_resample::ColumnTaps taps, size_t first, size_t end,
                       int16_t* const out[kColumnBatch]);

}  // namespace rasteravx2

#endif
