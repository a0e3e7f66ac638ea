// Wireless bitmap (type 0).
#pragma once

#include "image/RasterImage.h"

class RasterImageWBMP : public RasterImage {
public:
    RasterImageWBMP() : RasterImage(RASTER_FORMAT_WBMP) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
