// GIF: reads with frame composition; writes palette images and lossless 24-bit mosaics.
#pragma once

#include "image/RasterImage.h"

class RasterImageGIF : public RasterImage {
public:
    RasterImageGIF() : RasterImage(RASTER_FORMAT_GIF) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
