// The kernels of the fine turn (RasterRotateFine.cpp), portable and AVX2. The turn is made of
// three shears, each a shift of whole rows or whole columns by a fraction of a pixel, so each
// kernel filters with four fixed-point weights (Keys cubic, 14 fraction bits) that are the same
// along a row (ShiftRow) or down a column (ShiftColumns). Both paths do the same integer
// arithmetic and write the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/compose/RasterBlendAvx2.h"

namespace raster_resample {

constexpr int kTapBits = 14;
constexpr int32_t kTapOne = 1 << kTapBits;
// Bytes the vector kernels handle at once.
constexpr size_t kShiftGroup = 16;

// The four weights of a shift by fraction t, for the taps at -1, 0, 1 and 2 whole pixels;
// they add up to kTapOne.
struct ShiftTaps {
    int16_t w[4];
};
ShiftTaps KeysTaps(double t);

// A pair of weights as the vector kernels read them: first | second << 16.
inline int32_t TapPair(int16_t first, int16_t second) {
    return int32_t(uint32_t(uint16_t(first)) | uint32_t(uint16_t(second)) << 16);
}

inline uint8_t TapLevel(int32_t sum) {
    const int32_t level = (sum + (kTapOne >> 1)) >> kTapBits;
    return uint8_t(level < 0 ? 0 : level > 255 ? 255 : level);
}

// out[b] = the filtered in[b], in[b + 3], in[b + 6], in[b + 9] (four neighbouring pixels of 3
// bytes), for bytes first .. count - 1.
void ShiftRowPortable(const uint8_t* in, ShiftTaps taps, size_t first, size_t count, uint8_t* out);

// The weights of a column shift per byte of a row: pair01[b] = TapPair(w0, w1) and
// pair23[b] = TapPair(w2, w3) of byte b's column.
struct ColumnTaps {
    const int32_t* pair01;
    const int32_t* pair23;
};

// out[b] = the filtered rows[0][b] .. rows[3][b] with byte b's weights, for bytes first ..
// end - 1.
void ShiftColumnsPortable(const uint8_t* const rows[4], ColumnTaps taps, size_t first, size_t end, uint8_t* out);

}  // namespace raster_resample

#if defined(RASTER_BLEND_AVX2)

namespace rasteravx2 {

// ShiftRowPortable for the whole groups of kShiftGroup bytes from byte 0; returns how many
// bytes it wrote.
size_t ShiftRowGroups(const uint8_t* in, raster_resample::ShiftTaps taps, size_t count, uint8_t* out);

// Output rows a column shear makes at once: they share the loads of their weights and of the
// rows they read.
constexpr size_t kColumnBatch = 4;

// ShiftColumnsPortable for kColumnBatch output rows: output row r reads rows r .. r + 3 of
// the rows starting at `top`, `stride` bytes apart, and goes to out[r]. In groups of
// kShiftGroup bytes from first until end is passed: the last group may write, and read from
// the rows and taps, up to kShiftGroup - 1 bytes past end.
void ShiftColumnGroups(const uint8_t* top, size_t stride, raster_resample::ColumnTaps taps, size_t first, size_t end,
                       uint8_t* const out[kColumnBatch]);

}  // namespace rasteravx2

#endif
