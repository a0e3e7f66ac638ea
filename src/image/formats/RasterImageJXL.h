// JPEG XL through libjxl: 8-bit output, alpha, the picture turned by its own orientation; an
// animation gives its first frame. Written through libjxl's encoder with 8-bit samples.
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
    bool Encode(RasterFile* file);
    // When set, an encode writes its EXIF (a bare TIFF structure), XMP and ICC profile.
    void SetMetadataSource(const PictureMetadata* metadata) { m_metadataSource = metadata; }
    // The encoder's distance for the program's JPEG quality; 0 (lossless) for 100.
    static float DistanceFromJpeg(float jpegQuality);
    // A bare code stream or the container.
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
    const PictureMetadata* m_metadataSource = nullptr;
};
