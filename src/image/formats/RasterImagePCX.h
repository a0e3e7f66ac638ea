// ZSoft PCX.
#pragma once

#include "image/RasterImage.h"

class RasterImagePCX : public RasterImage {
public:
    RasterImagePCX() : RasterImage(RASTER_FORMAT_PCX) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
