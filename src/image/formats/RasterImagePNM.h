// Netpbm pictures (PBM, PGM, PPM), plain and raw.
#pragma once

#include "image/RasterImage.h"

class RasterImagePNM : public RasterImage {
public:
    RasterImagePNM() : RasterImage(RASTER_FORMAT_PNM) {}
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // False only when the data cannot be of this format, judged from its first bytes (head,
    // count of them); content detection skips the format then (image/RasterFormatTable.h).
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);
};
