// HEIF/HEIC and AVIF through libheif (HEVC through libde265, AV1 through dav1d): the primary
// image with the file's rotation, mirror and clean aperture applied, alpha, deeper samples
// rounded to 8 bits. One class reads both; it is told which id the picture gets.
#pragma once

#include "image/RasterImage.h"

class RasterImageHEIF : public RasterImage {
public:
    explicit RasterImageHEIF(uint32_t type = RASTER_FORMAT_HEIF) : RasterImage(type) {}
    // When set, a decode fills it with the primary image's EXIF, XMP and ICC profile.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    // After a decode: AVIF or HEIF by the file's brands, whichever id the reader was given.
    uint32_t FoundType() const { return m_foundType; }
    // Any file of the HEIF family (libheif reads AV1 and HEVC pictures alike).
    static bool SniffHeif(const uint8_t* head, size_t count, uint64_t size);
    // A file branded AVIF.
    static bool SniffAvif(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
    uint32_t m_foundType = RASTER_FORMAT_UNKNOWN;
};
