// Feeds arbitrary bytes to the HEIF/AVIF reader and to the browser's embedded-thumbnail path; a
// decoded picture or thumbnail must be sound in every byte, and a decoded picture is written
// back with its metadata and read again.
#include <vector>

#include "image/formats/RasterHeifThumbnail.h"
#include "image/formats/RasterImageHEIF.h"

#include "FuzzFormat.h"
#include "FuzzRoundTrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > RASTER_MAX_MEMORY) return 0;
    // An exact copy, so that a read past the end shows.
    std::vector<uint8_t> bytes(data, data + size);
    {
        RasterMemFile file(bytes.data(), uint32_t(bytes.size()));
        PictureMetadata metadata;
        RasterImageHEIF format;
        format.SetMetadataTarget(&metadata);
        if (format.Decode(&file)) {
            CheckDecodedPicture(format);
            FuzzRoundTrip(format, format.FoundType(), metadata);
        }
    }
    uint32_t width = 0;
    uint32_t height = 0;
    RasterImage thumbnail;
    if (DecodeHeifThumbnail(bytes.data(), bytes.size(), 60, width, height, thumbnail)) {
        if (width == 0 || height == 0) __builtin_trap();
        CheckDecodedPicture(thumbnail);
    }
    return 0;
}
