// HEIF/HEIC and AVIF through libheif (HEVC through libde265, AV1 through dav1d): the primary
// image with the file's rotation, mirror and clean aperture applied, alpha, deeper samples
// rounded to 8 bits. One class reads both; it is told which id the picture gets. Written
// through libheif's encoders (x265 for HEIF, aom for AVIF) as one 8-bit picture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/RasterImage.h"

// What a file holds besides one 8-bit picture, which a save over it does not keep.
enum RasterHeifExtra : uint32_t {
    RASTER_HEIF_EXTRA_NONE = 0,
    RASTER_HEIF_EXTRA_DEEP_SAMPLES = 1u << 0,   // the picture has more than 8 bits a sample
    RASTER_HEIF_EXTRA_DEPTH_MAP = 1u << 1,      // a depth map (portrait photos)
    RASTER_HEIF_EXTRA_AUXILIARY = 1u << 2,      // other auxiliary pictures (gain maps, mattes)
    RASTER_HEIF_EXTRA_MORE_PICTURES = 1u << 3,  // pictures beside the primary one (bursts)
};

class RasterImageHEIF : public RasterImage {
public:
    explicit RasterImageHEIF(uint32_t type = RASTER_FORMAT_HEIF) : RasterImage(type) {}
    // When set, a decode fills it with the primary image's EXIF, XMP and ICC profile.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    // Writes the picture as HEIF or AVIF, by the id the object was given.
    bool Encode(RasterFile* file);
    // When set, an encode writes its EXIF (a bare TIFF structure), XMP and ICC profile.
    void SetMetadataSource(const PictureMetadata* metadata) { m_metadataSource = metadata; }
    // libheif's quality (0..100) for the program's JPEG quality.
    static int QualityFromJpeg(float jpegQuality);
    // The RASTER_HEIF_EXTRA_ flags of what a HEIF or AVIF file holds besides its primary 8-bit
    // picture: what saving over it would drop. NONE for data libheif cannot read.
    static uint32_t ExtrasLostOnSave(const uint8_t* data, size_t size);
    // After a decode: AVIF or HEIF by the file's brands, whichever id the reader was given.
    uint32_t FoundType() const { return m_foundType; }
    // After a decode: ExtrasLostOnSave of the decoded file.
    uint32_t Extras() const { return m_extras; }
    // Any file of the HEIF family (libheif reads AV1 and HEVC pictures alike).
    static bool SniffHeif(const uint8_t* head, size_t count, uint64_t size);
    // A file branded AVIF.
    static bool SniffAvif(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
    const PictureMetadata* m_metadataSource = nullptr;
    uint32_t m_foundType = RASTER_FORMAT_UNKNOWN;
    uint32_t m_extras = RASTER_HEIF_EXTRA_NONE;
};
