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

BmpChannel::BmpChannel(uint32_t mask) : m_mask(mask) {
    if (mask == 0) return;
    m_shift = uint32_t(__builtin_ctz(mask));
    m_bitCount = uint32_t(__builtin_popcount(mask));
    if (m_bitCount > 8) return;
    const uint32_t most = (1u << m_bitCount) - 1;
    for (uint32_t v = 0; v <= most; ++v) m_table[v] = uint8_t((v * 255 + most / 2) / most);
}

uint8_t BmpChannel::Wide(uint32_t value) const {
    const uint64_t most = (m_bitCount >= 32) ? 0xFFFFFFFFull : ((uint64_t(1) << m_bitCount) - 1);
    return uint8_t((uint64_t(value) * 255 + most / 2) / most);
}

BmpMaskedRows::BmpMaskedRows(const BmpMasks& masks, uint32_t bitCount)
    : m_red(masks.red), m_green(masks.green), m_blue(masks.blue), m_alpha(masks.alpha),
      m_bytesPerPixel(bitCount / 8),
      m_wholeBytes(bitCount == 32 && m_red.WholeByte() >= 0 && m_green.WholeByte() >= 0 &&
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
    if (m_wholeBytes) {
        ConvertWholeBytes(in, width, bgr, alpha);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, in += m_bytesPerPixel, bgr += 3) {
        uint32_t pixel = uint32_t(in[0]) | (uint32_t(in[1]) << 8);
        if (m_bytesPerPixel == 4) pixel |= (uint32_t(in[2]) << 16) | (uint32_t(in[3]) << 24);
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
        : m_image(image), m_width(image.GetWidth()), m_height(image.GetHeight()), m_topDown(topDown) {}

    bool PastLastRow() const { return m_y >= m_height; }
    bool OnLastRow() const { return m_y + 1 >= m_height; }

    // Draws count pixels whose indices come from index(i); those past the right edge are
    // skipped without a loop over them.
    template <class IndexOf>
    void Draw(uint32_t count, IndexOf index) {
        if (m_x < m_width) {
            const uint64_t visible = m_width - m_x < count ? m_width - m_x : count;
            const uint32_t row = uint32_t(m_topDown ? m_height - 1 - m_y : m_y);
            for (uint32_t i = 0; i < visible; ++i) m_image.SetPixelIndex(uint32_t(m_x + i), row, index(i));
        }
        m_x += count;
    }
    void NextLine() {
        m_x = 0;
        ++m_y;
    }
    void Move(uint8_t dx, uint8_t dy) {
        m_x += dx;
        m_y += dy;
    }

private:
    RasterImage& m_image;
    uint64_t m_width;
    uint64_t m_height;
    bool m_topDown;
    uint64_t m_x = 0;
    uint64_t m_y = 0;
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
