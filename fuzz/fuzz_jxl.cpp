// Feeds arbitrary bytes to the JPEG XL reader (code stream or container with its boxes); a
// decoded picture must be sound in every byte, and is written back with its metadata and read
// again.
#include "image/formats/RasterImageJXL.h"

#include "FuzzFormat.h"
#include "FuzzRoundTrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > RASTER_MAX_MEMORY) return 0;
    RasterMemFile file(const_cast<uint8_t*>(data), uint32_t(size));
    PictureMetadata metadata;
    RasterImageJXL format;
    format.SetMetadataTarget(&metadata);
    if (format.Decode(&file)) {
        CheckDecodedPicture(format);
        FuzzRoundTrip(format, RASTER_FORMAT_JXL, metadata);
    }
    return 0;
}
