// Rows of interleaved red, green, blue (and alpha) samples, as the newer codecs deliver them,
// into the image's blue, green, red storage and its separate alpha plane.
#pragma once

#include <cstdint>

#include "image/RasterImage.h"

// Samples of 8 bits: channels is 3 (RGB) or 4 (RGBA); alpha may be null when channels is 3
// or the alpha is not wanted.
void PutInterleavedRow(const uint8_t* samples, uint32_t width, uint32_t channels, uint8_t* bgr, uint8_t* alpha);

// Samples of 16-bit native words holding bits-deep values (9..16), rounded to 8 bits.
void PutInterleavedRow16(const uint16_t* samples, uint32_t width, uint32_t channels, uint32_t bits, uint8_t* bgr,
                         uint8_t* alpha);

// Colour stored multiplied by alpha back to straight colour (the form the image keeps).
void UnpremultiplyPicture(RasterImage& image);
