// TIFF through libtiff.
#pragma once

#include "image/RasterImage.h"

class RasterImageTIF : public RasterImage {
public:
    RasterImageTIF() : RasterImage(RASTER_FORMAT_TIF) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
