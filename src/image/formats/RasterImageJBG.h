// JBIG through jbigkit.
#pragma once

#include "image/RasterImage.h"

class RasterImageJBG : public RasterImage {
public:
    RasterImageJBG() : RasterImage(RASTER_FORMAT_JBG) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
