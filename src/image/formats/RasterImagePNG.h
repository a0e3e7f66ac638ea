// PNG through libpng.
#pragma once

#include "image/RasterImage.h"

class RasterImagePNG : public RasterImage {
public:
    RasterImagePNG() : RasterImage(RASTER_FORMAT_PNG) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
