// The area average exactly as its rules read, for the tests of its paths.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The area average exactly as its rules read: one pass over the source, a running float
// boundary per axis, accu and carry rows, a write pointer, truncating integer divisions.
// Planes of `channels` bytes per pixel; the result is packed (newWidth * channels per row).
struct AreaReference {
    std::vector<uint8_t> pixels;
    bool regular = true;  // false if the boundaries ran past the target
};

inline AreaReference ReferenceAreaShrink(const uint8_t* bits, size_t stride, int width, int height, int newWidth,
                                         int newHeight, int channels, int64_t nScale) {
    const int c = channels;
    const float xScale = float(width) / float(newWidth);
    const float yScale = float(height) / float(newHeight);
    AreaReference result;
    result.pixels.assign(size_t(newWidth) * newHeight * c, 0);
    std::vector<int64_t> accuRow(size_t(newWidth) * c + c, 0);
    std::vector<int64_t> carryRow(size_t(newWidth) * c + c, 0);
    int64_t* accu = accuRow.data();
    int64_t* carry = carryRow.data();
    size_t write = 0;
    auto put = [&](int64_t sum) { result.pixels.at(write++) = uint8_t(std::min<int64_t>(255, sum / nScale)); };

    float fEndY = yScale - 1;
    int v = 0;
    int i = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + size_t(y) * stride;
        float fEndX = xScale - 1;
        i = 0;
        int u = 0;
        if (y < fEndY) {
            for (int x = 0; x < width; ++x) {
                const uint8_t* b = row + size_t(x) * c;
                if (x < fEndX) {
                    for (int j = 0; j < c; ++j) accu[i + j] += 1000 * b[j];
                } else {
                    if (u == newWidth) return result.regular = false, result;
                    const int wx = int((x - fEndX) * 1000);
                    for (int j = 0; j < c; ++j, ++i) {
                        accu[i] += (1000 - wx) * b[j];
                        accu[i + c] += wx * b[j];
                    }
                    fEndX += xScale;
                    ++u;
                }
            }
        } else {
            if (v == newHeight) return result.regular = false, result;
            write = size_t(v) * newWidth * c;
            const int64_t wy = int64_t((y - fEndY) * 1000);
            for (int x = 0; x < width; ++x) {
                const uint8_t* b = row + size_t(x) * c;
                if (x < fEndX) {
                    for (int j = 0; j < c; ++j) {
                        accu[i + j] += (1000 - wy) * b[j];
                        carry[i + j] += wy * b[j];
                    }
                } else {
                    if (u == newWidth) return result.regular = false, result;
                    const int64_t wx = int64_t((x - fEndX) * 1000);
                    for (int j = 0; j < c; ++j, ++i) {
                        accu[i] += (1000 - wy) * (1000 - wx) * b[j] / 1000;
                        put(accu[i]);
                        carry[i] += wy * (1000 - wx) * b[j] / 1000;
                        accu[i + c] += (1000 - wy) * wx * b[j] / 1000;
                        carry[i + c] = wy * wx * b[j] / 1000;
                    }
                    fEndX += xScale;
                    ++u;
                }
            }
            if (u < newWidth - 1) result.regular = false;
            if (u < newWidth) {
                for (int j = 0; j < c; ++j) put(accu[i + j]);
            }
            std::swap(accu, carry);
            for (int j = 0; j < c; ++j) carry[j] = 0;
            ++v;
            fEndY += yScale;
        }
    }
    if (v < newHeight - 1) result.regular = false;
    if (v < newHeight) {
        write = size_t(v) * newWidth * c;
        for (int k = 0; k < newWidth * c; ++k) put(accu[k]);
    }
    return result;
}
