// WebP through libwebp: lossy and lossless pictures, alpha, the first frame of an animation;
// written lossy at the image's quality setting, with its alpha plane when it has one.
#pragma once

#include "image/RasterImage.h"

class RasterImageWEBP : public RasterImage {
public:
    RasterImageWEBP() : RasterImage(RASTER_FORMAT_WEBP) {}
    // When set, a decode fills it with the file's EXIF, XMP and ICC chunks.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // False only when the data cannot be of this format, judged from its first bytes.
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
};
