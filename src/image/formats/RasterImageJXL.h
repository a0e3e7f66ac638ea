// JPEG XL through libjxl: 8-bit output, alpha, the picture turned by its own orientation; an
// animation gives its first frame.
#pragma once

#include "image/RasterImage.h"

class RasterImageJXL : public RasterImage {
public:
    RasterImageJXL() : RasterImage(RASTER_FORMAT_JXL) {}
    // When set, a decode fills it with the ICC profile of the decoded pixels and the EXIF and
    // XMP boxes that come before the picture data.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    // A bare code stream or the container.
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
};
