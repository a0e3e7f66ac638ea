// MNG and JNG through libmng: the first frame.
#pragma once

#include "image/RasterImage.h"

class RasterImageMNG : public RasterImage {
public:
    RasterImageMNG() : RasterImage(RASTER_FORMAT_MNG) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
};
