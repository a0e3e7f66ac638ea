// Turning BMP pixel data into picture rows: 16- and 32-bit pixels with colour masks, 2-bit
// rows, and RLE4 / RLE8 streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/formats/RasterBmpLayout.h"

class RasterImage;

// One channel of a 16- or 32-bit pixel: where its bits are and how they scale to 0..255.
class BmpChannel {
public:
    explicit BmpChannel(uint32_t mask);
    bool Present() const { return m_bitCount > 0; }
    // Byte of a little-endian pixel that holds the channel unscaled, or -1 when there is none.
    int WholeByte() const { return (m_bitCount == 8 && m_shift % 8 == 0) ? int(m_shift / 8) : -1; }
    uint8_t operator()(uint32_t pixel) const {
        const uint32_t value = (pixel & m_mask) >> m_shift;
        return m_bitCount <= 8 ? m_table[value] : Wide(value);
    }

private:
    uint8_t Wide(uint32_t value) const;

    uint32_t m_mask = 0;
    uint32_t m_shift = 0;
    uint32_t m_bitCount = 0;
    uint8_t m_table[256] = {};   // scaled values of channels up to 8 bits wide
};

// Converts rows of 16- or 32-bit pixels to blue, green, red bytes and, when the masks have an
// alpha channel, to alpha bytes.
class BmpMaskedRows {
public:
    BmpMaskedRows(const BmpMasks& masks, uint32_t bitCount);
    bool HasAlpha() const { return m_alpha.Present(); }
    // alpha may be null when HasAlpha() is false.
    void Convert(const uint8_t* in, uint32_t width, uint8_t* bgr, uint8_t* alpha) const;

private:
    void ConvertWholeBytes(const uint8_t* in, uint32_t width, uint8_t* bgr, uint8_t* alpha) const;

    BmpChannel m_red;
    BmpChannel m_green;
    BmpChannel m_blue;
    BmpChannel m_alpha;
    uint32_t m_bytesPerPixel;
    // Most 32-bit files keep each colour in a whole byte: then bytes are copied, not scaled.
    bool m_wholeBytes;
};

// Rewrites a row of 2-bit indices as 4-bit indices (out holds (width + 1) / 2 bytes).
void ExpandTwoBitRow(const uint8_t* in, uint32_t width, uint8_t* out);

// Expands an RLE8 (fourBit false) or RLE4 stream into the index rows of image, whose pixels
// must be cleared beforehand. Runs are clipped to the picture; pixels the stream skips keep
// index 0. Returns false when the data ends before the last row is reached.
bool ExpandBmpRle(const uint8_t* data, size_t size, bool fourBit, bool topDown, RasterImage& image);
