// Tone operations: brightness and contrast through a lookup table, grey by channel average,
// and fixed per-channel offsets (the warm tones). Every per-byte computation is a table
// look-up built once per call. The alpha plane is never touched.
#include <algorithm>
#include <array>
#include <cstdint>

#include "image/RasterImage.h"

namespace {

using ByteTable = std::array<uint8_t, 256>;

uint8_t ClampToByte(int64_t v) {
    return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

// table[v] = clamp(v + offset).
ByteTable OffsetTable(int32_t offset) {
    ByteTable table{};
    for (int v = 0; v < 256; ++v) table[size_t(v)] = ClampToByte(int64_t(v) + offset);
    return table;
}

// table[v] = clamp(trunc((v - 128) * c + b + 0.5)) with c and b single-precision and the
// sum in extended precision, so the table matches the reference arithmetic bit for bit.
ByteTable LightTable(int32_t brightness, int32_t contrast) {
    const auto c = float((100.0 + double(contrast)) / 100.0);
    const auto b = float(int64_t(brightness) + 128);
    ByteTable table{};
    for (int i = -128; i < 128; ++i) {
        const long double value = static_cast<long double>(i) * c + static_cast<long double>(b) + 0.5L;
        table[size_t(i + 128)] = ClampToByte(static_cast<int64_t>(value));  // truncates toward zero
    }
    return table;
}

void ApplyToPalette(RasterRgbQuad* palette, uint32_t entries, const ByteTable& blue, const ByteTable& green,
                    const ByteTable& red) {
    for (uint32_t i = 0; i < entries; ++i) {
        palette[i].rgbBlue = blue[palette[i].rgbBlue];
        palette[i].rgbGreen = green[palette[i].rgbGreen];
        palette[i].rgbRed = red[palette[i].rgbRed];
    }
}

}  // namespace

bool RasterImage::AdjustLight(int32_t brightness, int32_t contrast) {
    if (!IsValid()) return false;
    const ByteTable table = LightTable(brightness, contrast);
    return ApplyLut(table.data());
}

bool RasterImage::ApplyLut(const uint8_t* table) {
    if (!IsValid() || !table) return false;
    if (GetBpp() != 24) {
        // Palette images change through their palette.
        ByteTable lut{};
        std::copy(table, table + lut.size(), lut.begin());
        ApplyToPalette(GetPalette(), GetPaletteSize(), lut, lut, lut);
        return true;
    }
    // The padding bytes go through the table too; they are never shown.
    uint8_t* p = GetBits();
    uint8_t* const end = p + GetHeader().biSizeImage;
    for (; p < end; ++p) *p = table[*p];
    return true;
}

bool RasterImage::GrayAverage() {
    if (!IsValid() || GetBpp() != 24) return false;
    // (blue + green + red + 1) / 3 for every possible sum.
    std::array<uint8_t, 3 * 255 + 1> average{};
    for (size_t sum = 0; sum < average.size(); ++sum) average[sum] = uint8_t((sum + 1) / 3);
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* p = RowPointer(y);
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            const uint8_t v = average[size_t(p[0]) + p[1] + p[2]];
            p[0] = v;
            p[1] = v;
            p[2] = v;
        }
    }
    return true;
}

bool RasterImage::ShiftChannels(int32_t red, int32_t green, int32_t blue) {
    if (!IsValid()) return false;
    const ByteTable redTable = OffsetTable(red);
    const ByteTable greenTable = OffsetTable(green);
    const ByteTable blueTable = OffsetTable(blue);
    if (GetBpp() != 24) {
        ApplyToPalette(GetPalette(), GetPaletteSize(), blueTable, greenTable, redTable);
        return true;
    }
    const uint32_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        uint8_t* p = RowPointer(y);
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            p[0] = blueTable[p[0]];
            p[1] = greenTable[p[1]];
            p[2] = redTable[p[2]];
        }
    }
    return true;
}
