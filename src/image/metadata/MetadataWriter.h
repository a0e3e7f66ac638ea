// Writing a picture's metadata blocks into a freshly encoded JPEG or PNG file, consistent with
// the pixels that file now holds: orientation 1 (the pixels are upright), the new width and
// height, resolution tags that agree with the file's own dpi, a new EXIF thumbnail. Everything
// else (dates, camera, exposure, GPS, authorship, keywords, XMP, IPTC) is kept as it was; the
// ICC profile goes in byte for byte.
#pragma once

#include <cstdint>
#include <vector>

#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

// Whether files of this format id can carry the metadata blocks (JPEG and PNG, and HEIF, AVIF
// and JPEG XL, whose encoders take the blocks from FitMetadataBlocks).
bool FormatKeepsMetadata(uint32_t type);

// The blocks fitted to picture as for JPEG, for an encoder that stores them whole: the EXIF
// block as a bare TIFF structure in its own byte order, the XMP packet, the ICC profile as it
// is. IPTC has no place in such files and is left out. A block that cannot be fitted is left
// out and cleared in metadata, which is then marked dropped.
PictureMetadata FitMetadataBlocks(const RasterImage& picture, PictureMetadata& metadata);

// What the blocks are fitted to: the written picture's size and print dpi, and the picture
// the EXIF thumbnail is made from (the picture itself, or a reduced decode of a file whose
// pixels were never decoded whole).
struct MetadataTarget {
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t xDpi = 0;
    int32_t yDpi = 0;
    const RasterImage* thumbnailSource = nullptr;

    static MetadataTarget Of(const RasterImage& picture) {
        return {picture.GetWidth(), picture.GetHeight(), picture.GetXDpi(), picture.GetYDpi(), &picture};
    }
};

// Rewrites file (a whole JPEG or PNG as just encoded from picture) with metadata's blocks.
// A block that cannot be written is left out and cleared in metadata, which is then marked
// dropped; the file is still written with the others. False only when file is no JPEG or PNG.
bool EmbedMetadata(std::vector<uint8_t>& file, const RasterImage& picture, PictureMetadata& metadata);
bool EmbedMetadata(std::vector<uint8_t>& file, const MetadataTarget& picture, PictureMetadata& metadata);

// The JPEG marker segments (APP1 EXIF and XMP, APP2 ICC, APP13 IPTC) that carry metadata for
// picture, made without the picture's file, for an encoder to write as it goes: a large
// photo's file is then never held in memory. Blocks that cannot be written are left out as
// for EmbedMetadata.
void JpegMetadataSegments(const RasterImage& picture, PictureMetadata& metadata, std::vector<uint8_t>& segments);
