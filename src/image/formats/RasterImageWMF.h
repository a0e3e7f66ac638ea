// Windows metafiles (placeable and plain WMF) and enhanced metafiles (EMF).
#pragma once

#include "image/RasterImage.h"

class RasterImageWMF : public RasterImage {
public:
    RasterImageWMF() : RasterImage(RASTER_FORMAT_WMF) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
