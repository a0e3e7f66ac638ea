// Feeds arbitrary bytes to the HEIF/AVIF reader and to the browser's embedded-thumbnail path; a
// decoded picture or thumbnail must be sound in every byte.
#include <vector>

#include "FuzzFormat.h"
#include "image/formats/RasterHeifThumbnail.h"
#include "image/formats/RasterImageHEIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFormatDecode<FuzzWithMetadata<RasterImageHEIF>>(data, size);
    // An exact copy, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    uint32_t width = 0;
    uint32_t height = 0;
    RasterImage thumbnail;
    if (DecodeHeifThumbnail(bytes.data(), bytes.size(), 60, width, height, thumbnail)) {
        if (width == 0 || height == 0) __builtin_trap();
        CheckDecodedPicture(thumbnail);
    }
    return 0;
}
