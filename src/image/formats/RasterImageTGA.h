// Truevision TGA.
#pragma once

#include "image/RasterImage.h"

class RasterImageTGA : public RasterImage {
public:
    RasterImageTGA() : RasterImage(RASTER_FORMAT_TGA) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
