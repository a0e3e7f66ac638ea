// The JPEG 2000 family (JP2 file, code stream) through OpenJPEG, and PNM, PGX and Sun raster
// with our own readers. Told which of them to read at construction (0 = find out by content).
#pragma once

#include "image/RasterImage.h"

class RasterImageJAS : public RasterImage {
public:
    explicit RasterImageJAS(uint32_t jasType = RASTER_FORMAT_UNKNOWN)
        : RasterImage(jasType), m_jasType(jasType) {}
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // The member of the family whose signature the first bytes (head, count of them) carry,
    // RASTER_FORMAT_UNKNOWN for none; content detection tries a member only on its own.
    static uint32_t SniffMember(const uint8_t* head, size_t count);

private:
    uint32_t m_jasType;
};
