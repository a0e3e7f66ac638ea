// JPEG through libjpeg-turbo.
#pragma once

#include "image/RasterImage.h"

class RasterImageJPG : public RasterImage {
public:
    RasterImageJPG() : RasterImage(RASTER_FORMAT_JPG) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged before any row of blocks could be decoded. A file
    // damaged later (data ending early, corrupt data) loads as libjpeg decodes it, with the
    // part it could not read filled in, and says so in the load warning.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
