// Arbitrary bytes into the EXIF orientation reader; whatever it reads must be a tag value or
// none, and must turn a small picture into one of the right size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/formats/RasterExifOrientation.h"
#include "image/RasterImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact copy, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    const int orientation = ReadExifOrientation(bytes.data(), bytes.size());
    if (orientation < RASTER_EXIF_ORIENTATION_NONE || orientation > RASTER_EXIF_ORIENTATION_MAX) __builtin_trap();
    RasterImage picture;
    if (!picture.Create(3, 2, 24, RASTER_FORMAT_JPG)) return 0;
    if (!ApplyExifOrientation(picture, orientation)) __builtin_trap();
    const bool turned = orientation >= 5;
    if (picture.GetWidth() != (turned ? 2u : 3u) || picture.GetHeight() != (turned ? 3u : 2u)) __builtin_trap();
    return 0;
}
