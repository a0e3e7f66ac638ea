// Bilinear sampling exactly as its rules read, for the tests of the fast paths.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Bilinear sampling exactly as its rules read, four pixels per target pixel, float
// intermediates, truncation; `channels` bytes per pixel, the result packed.
inline std::vector<uint8_t> ReferenceBilinear(const uint8_t* bits, size_t stride, uint32_t width, uint32_t height,
                                              uint32_t newWidth, uint32_t newHeight, int channels) {
    std::vector<uint8_t> result;
    const float xScale = float(width) / float(newWidth);
    const float yScale = float(height) / float(newHeight);
    for (uint32_t y = 0; y < newHeight; ++y) {
        const float fY = y * yScale;
        const int iy = int(fY);
        const int iy1 = std::min(int(height) - 1, iy + 1);
        const float dy = fY - iy;
        for (uint32_t x = 0; x < newWidth; ++x) {
            const float fX = x * xScale;
            const int ix = int(fX);
            const int ix1 = std::min(int(width) - 1, ix + 1);
            const float dx = fX - ix;
            for (int j = 0; j < channels; ++j) {
                const int c1 = bits[size_t(iy) * stride + size_t(ix) * channels + j];
                const int c2 = bits[size_t(iy) * stride + size_t(ix1) * channels + j];
                const int c3 = bits[size_t(iy1) * stride + size_t(ix) * channels + j];
                const int c4 = bits[size_t(iy1) * stride + size_t(ix1) * channels + j];
                const float a = c1 + (c3 - c1) * dy;
                const float b = c2 + (c4 - c2) * dy;
                result.push_back(uint8_t(int(a + (b - a) * dx)));
            }
        }
    }
    return result;
}

