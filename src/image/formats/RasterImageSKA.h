// SKA: tried during content detection only.
#pragma once

#include "image/RasterImage.h"

class RasterImageSKA : public RasterImage {
public:
    RasterImageSKA() : RasterImage(RASTER_FORMAT_SKA) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
