// The readers behind RasterImageJAS, one per format. Each reads from the stream's current
// position into image and returns false with the last error set when the data is not of
// its format or is damaged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

// Which member of the family the first bytes of a file belong to (RASTER_FORMAT_UNKNOWN
// when none).
uint32_t JasFormatFromSignature(const uint8_t* bytes, size_t count);

bool DecodePnm(RasterImage& image, RasterFile* file);
bool DecodePgx(RasterImage& image, RasterFile* file);
bool DecodeSunRaster(RasterImage& image, RasterFile* file);
// codestream: true for a bare code stream (j2k, jpc), false for a JP2 box file.
bool DecodeJpeg2000(RasterImage& image, RasterFile* file, bool codestream);
