// PNG through libpng.
#pragma once

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

class RasterImagePNG : public RasterImage {
public:
    RasterImagePNG() : RasterImage(RASTER_FORMAT_PNG) {}
    // Where a Decode puts the metadata chunks (eXIf, iCCP, XMP and raw profile text); none
    // when null.
    void SetMetadataTarget(PictureMetadata* metadata) { m_metadata = metadata; }
    // Reads a picture at the stream's position; false (with the last error) when the data
    // is not of this format or is damaged.
    bool Decode(RasterFile* file);
    bool Encode(RasterFile* file);
    // False only when the data cannot be of this format, judged from its first bytes (head,
    // count of them) and the number of bytes from there to the end (size, 0 when unknown);
    // content detection skips the format then (image/RasterFormatTable.h).
    static bool Sniff(const uint8_t* head, size_t count, uint64_t size);

private:
    PictureMetadata* m_metadata = nullptr;
};
