#include "image/formats/RasterBmpPixels.h"

#include <cstring>

#include "image/RasterImage.h"

namespace {
constexpr uint8_t kRleEscape = 0;
constexpr uint8_t kRleEndOfLine = 0;
constexpr uint8_t kRleEndOfBitmap = 1;
constexpr uint8_t kRleDelta = 2;
}  // namespace

// ---- masked pixels -----------------------------------------------------------------------

BmpChannel::BmpChannel(uint32_t mask) : m_nMask(mask) {
    if (mask == 0) return;
    m_nShift = uint32_t(__builtin_ctz(mask));
    m_nBits = uint32_t(__builtin_popcount(mask));
    if (m_nBits > 8) return;
    const uint32_t most = (1u << m_nBits) - 1;
    for (uint32_t v = 0; v <= most; ++v) m_table[v] = uint8_t((v * 255 + most / 2) / most);
}

uint8_t BmpChannel::Wide(uint32_t value) const {
    const uint64_t most = (m_nBits >= 32) ? 0xFFFFFFFFull : ((uint64_t(1) << m_nBits) - 1);
    return uint8_t((uint64_t(value) * 255 + most / 2) / most);
}

BmpMaskedRows::BmpMaskedRows(const BmpMasks& masks, uint32_t bitCount)
    : m_red(masks.red), m_green(masks.green), m_blue(masks.blue), m_alpha(masks.alpha),
      m_nBytesPerPixel(bitCount / 8),
      m_bWholeBytes(bitCount == 32 && m_red.WholeByte() >= 0 && m_green.WholeByte() >= 0 &&
                    m_blue.WholeByte() >= 0 && (!m_alpha.Present() || m_alpha.WholeByte() >= 0)) {}

void BmpMaskedRows::ConvertWholeBytes(const uint8_t* in, uint32_t width, uint8_t* bgr, uint8_t* alpha) const {
    const int r = m_red.WholeByte();
    const int g = m_green.WholeByte();
    const int b = m_blue.WholeByte();
    const int a = m_alpha.WholeByte();
    for (uint32_t x = 0; x < width; ++x, in += 4, bgr += 3) {
        bgr[0] = in[b];
        bgr[1] = in[g];
        bgr[2] = in[r];
        if (alpha) alpha[x] = in[a];
    }
}

void BmpMaskedRows::Convert(const uint8_t* in, uint32_t width, uint8_t* bgr, uint8_t* alpha) const {
    if (m_bWholeBytes) {
        ConvertWholeBytes(in, width, bgr, alpha);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, in += m_nBytesPerPixel, bgr += 3) {
        uint32_t pixel = uint32_t(in[0]) | (uint32_t(in[1]) << 8);
        if (m_nBytesPerPixel == 4) pixel |= (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
        bgr[0] = m_blue(pixel);
        bgr[1] = m_green(pixel);
        bgr[2] = m_red(pixel);
        if (alpha) alpha[x] = m_alpha(pixel);
    }
}

void ExpandTwoBitRow(const uint8_t* in, uint32_t width, uint8_t* out) {
    std::memset(out, 0, (size_t(width) + 1) / 2);
    for (uint32_t x = 0; x < width; ++x) {
        const uint8_t index = uint8_t((in[x >> 2] >> (6 - 2 * (x & 3))) & 0x03);
        out[x >> 1] |= uint8_t(index << ((x & 1) ? 0 : 4));
    }
}

// ---- RLE ---------------------------------------------------------------------------------

namespace {

// Walks the picture as the RLE stream draws it. Positions outside the picture are counted but
// not drawn, so that runs running past the right edge are clipped.
class RleCursor {
public:
    RleCursor(RasterImage& image, bool topDown)
        : m_image(image), m_nWidth(image.GetWidth()), m_nHeight(image.GetHeight()), m_bTopDown(topDown) {}

    bool PastLastRow() const { return m_nY >= m_nHeight; }
    bool OnLastRow() const { return m_nY + 1 >= m_nHeight; }

    // Draws count pixels whose indices come from index(i); those past the right edge are
    // skipped without a loop over them.
    template <class IndexOf>
    void Draw(uint32_t count, IndexOf index) {
        if (m_nX < m_nWidth) {
            const uint64_t visible = m_nWidth - m_nX < count ? m_nWidth - m_nX : count;
            const uint32_t row = uint32_t(m_bTopDown ? m_nHeight - 1 - m_nY : m_nY);
            for (uint32_t i = 0; i < visible; ++i) m_image.SetPixelIndex(uint32_t(m_nX + i), row, index(i));
        }
        m_nX += count;
    }
    void NextLine() {
        m_nX = 0;
        ++m_nY;
    }
    void Move(uint8_t dx, uint8_t dy) {
        m_nX += dx;
        m_nY += dy;
    }

private:
    RasterImage& m_image;
    uint64_t m_nWidth;
    uint64_t m_nHeight;
    bool m_bTopDown;
    uint64_t m_nX = 0;
    uint64_t m_nY = 0;
};

// The index of pixel i of a run or literal: whole bytes for RLE8, alternating nibbles
// (high first) for RLE4.
uint8_t RunIndex(uint8_t value, uint32_t i, bool fourBit) {
    if (!fourBit) return value;
    return (i & 1) ? uint8_t(value & 0x0F) : uint8_t(value >> 4);
}

}  // namespace

bool ExpandBmpRle(const uint8_t* data, size_t size, bool fourBit, bool topDown, RasterImage& image) {
    RleCursor cursor(image, topDown);
    size_t p = 0;
    while (!cursor.PastLastRow()) {
        if (size - p < 2) return cursor.OnLastRow();
        const uint8_t count = data[p];
        const uint8_t value = data[p + 1];
        p += 2;
        if (count != kRleEscape) {
            cursor.Draw(count, [&](uint32_t i) { return RunIndex(value, i, fourBit); });
            continue;
        }
        if (value == kRleEndOfLine) {
            cursor.NextLine();
        } else if (value == kRleEndOfBitmap) {
            return true;
        } else if (value == kRleDelta) {
            if (size - p < 2) return cursor.OnLastRow();
            cursor.Move(data[p], data[p + 1]);
            p += 2;
        } else {
            // Literal pixels, padded to a whole 16-bit word.
            const size_t bytes = fourBit ? (size_t(value) + 1) / 2 : value;
            if (size - p < bytes) return cursor.OnLastRow();
            const uint8_t* literal = data + p;
            cursor.Draw(value, [&](uint32_t i) { return fourBit ? RunIndex(literal[i / 2], i, true) : literal[i]; });
            p += bytes + (bytes & 1);
            if (p > size) p = size;
        }
    }
    return true;
}
