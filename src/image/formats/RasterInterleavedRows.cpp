#include "image/formats/RasterInterleavedRows.h"

namespace {

// value of 0..maxValue to 0..255, rounded to nearest.
inline uint8_t RoundToByte(uint32_t value, uint32_t maxValue) {
    if (value >= maxValue) return 255;
    return uint8_t((value * 255u + maxValue / 2) / maxValue);
}

}  // namespace

void PutInterleavedRow(const uint8_t* samples, uint32_t width, uint32_t channels, uint8_t* bgr, uint8_t* alpha) {
    for (uint32_t x = 0; x < width; ++x, samples += channels, bgr += 3) {
        bgr[0] = samples[2];
        bgr[1] = samples[1];
        bgr[2] = samples[0];
        if (alpha && channels == 4) alpha[x] = samples[3];
    }
}

void PutInterleavedRow16(const uint16_t* samples, uint32_t width, uint32_t channels, uint32_t bits, uint8_t* bgr,
                         uint8_t* alpha) {
    const uint32_t maxValue = (1u << bits) - 1;
    for (uint32_t x = 0; x < width; ++x, samples += channels, bgr += 3) {
        bgr[0] = RoundToByte(samples[2], maxValue);
        bgr[1] = RoundToByte(samples[1], maxValue);
        bgr[2] = RoundToByte(samples[0], maxValue);
        if (alpha && channels == 4) alpha[x] = RoundToByte(samples[3], maxValue);
    }
}

void UnpremultiplyPicture(RasterImage& image) {
    if (!image.HasAlpha() || image.GetBpp() != 24) return;
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        uint8_t* p = image.RowPointer(y);
        const uint8_t* a = image.AlphaPointer(0, y);
        for (uint32_t x = 0; x < image.GetWidth(); ++x, p += 3) {
            const uint32_t alpha = a[x];
            if (alpha == 0 || alpha == 255) continue;
            for (int c = 0; c < 3; ++c) {
                const uint32_t straight = (uint32_t(p[c]) * 255u + alpha / 2) / alpha;
                p[c] = uint8_t(straight > 255 ? 255 : straight);
            }
        }
    }
}
