// Small pieces shared by the TIFF and JPEG 2000 family readers: sample scaling to 8 bits,
// creation of the decoded picture, and the plausibility check against decompression bombs.
#pragma once

#include <cstdint>

#include "image/RasterImage.h"

// Pictures up to this many decoded bytes are always allowed; larger ones must be backed by
// enough source data for the compression in use (a few bytes cannot claim gigabytes).
constexpr uint64_t kDecodeFreeAllowance = uint64_t(64) << 20;

// value in 0..maxValue (clamped) to 0..255, rounded to nearest.
inline uint8_t ScaleSampleToByte(uint64_t value, uint64_t maxValue) {
    if (maxValue == 0) return 0;
    if (value >= maxValue) return 255;
    if (maxValue == 255) return uint8_t(value);
    return uint8_t((value * 255 + maxValue / 2) / maxValue);
}

// True when decodedBytes can plausibly come from sourceBytes of data whose compression
// expands at most maxRatio times. Sets the last error otherwise.
bool PlausibleDecodedSize(RasterImage& image, uint64_t decodedBytes, uint64_t sourceBytes,
                          uint64_t maxRatio);

// Creates a width x height picture of bpp bits with zeroed pixels (an 8-bit one with a grey
// ramp palette when grey is set). False with the last error on failure.
bool CreateDecodedImage(RasterImage& image, uint32_t width, uint32_t height, uint32_t bpp,
                        bool grey = false);

// Creates the alpha plane (opaque) with the memory limit in mind; false with the last error.
bool CreateDecodedAlpha(RasterImage& image);

// Stored row index of picture row y (rows are kept bottom-up).
inline uint32_t StoredRow(const RasterImage& image, uint32_t pictureRow) {
    return image.GetHeight() - 1 - pictureRow;
}

// Writes one 24-bit pixel at picture coordinates.
inline void PutPictureRgb(RasterImage& image, uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = image.PixelPointer(x, StoredRow(image, y));
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

// Alpha byte at picture coordinates (the plane must exist).
inline uint8_t& PictureAlpha(RasterImage& image, uint32_t x, uint32_t y) {
    return *image.AlphaPointer(x, StoredRow(image, y));
}
