// JPEG through libjpeg-turbo.
#pragma once

#include "image/RasterImage.h"

class RasterImageJPG : public RasterImage {
public:
    RasterImageJPG() : RasterImage(RASTER_FORMAT_JPG) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
