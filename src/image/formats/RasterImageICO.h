// Windows icons and cursors.
#pragma once

#include "image/RasterImage.h"

class RasterImageICO : public RasterImage {
public:
    RasterImageICO() : RasterImage(RASTER_FORMAT_ICO) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
