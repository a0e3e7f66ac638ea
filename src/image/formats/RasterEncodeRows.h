// The picture's rows as the newer encoders take them (libheif, libjxl): top row first, red,
// green, blue and, when asked, alpha interleaved. Palette pictures give the colours their
// indexes stand for; the transparent index gives alpha 0.
#pragma once

#include <cstdint>

#include "image/RasterImage.h"

// Whether a saved file needs an alpha channel: an alpha plane, or a transparent palette index.
bool PictureHasTransparency(const RasterImage& image);

// Row y (0 = top) into out: width x 3 bytes, or width x 4 with withAlpha.
void GetInterleavedRow(const RasterImage& image, uint32_t y, bool withAlpha, uint8_t* out);
