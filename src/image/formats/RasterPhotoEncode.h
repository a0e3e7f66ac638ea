// The encoders of the phone and web formats (HEIF, AVIF, JPEG XL) as the format table and a
// save with metadata call them. Their encoders write the metadata blocks themselves as they go,
// fitted to the picture first as for JPEG.
#pragma once

#include <cstdint>

#include "image/PictureMetadata.h"
#include "image/RasterFile.h"
#include "image/RasterImage.h"

// The format table's encoders: the picture alone.
bool EncodeHeifFile(RasterImage& image, RasterFile* file);
bool EncodeAvifFile(RasterImage& image, RasterFile* file);
bool EncodeJxlFile(RasterImage& image, RasterFile* file);

// Whether type is one of these formats.
bool EncoderWritesMetadata(uint32_t type);

// Encodes image as type with metadata's blocks; a block that cannot be fitted is left out,
// cleared in metadata and marked dropped. False (with the error in image) when the encode fails.
bool EncodeCarryingMetadata(RasterImage& image, RasterFile* file, uint32_t type, PictureMetadata& metadata);
