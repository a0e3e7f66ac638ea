// BMP: Windows and OS/2 bitmaps; writes 24-bit, palette and 32-bit (alpha) files.
#pragma once

#include "image/RasterImage.h"

class RasterImageBMP : public RasterImage {
public:
    RasterImageBMP() : RasterImage(RASTER_FORMAT_BMP) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
