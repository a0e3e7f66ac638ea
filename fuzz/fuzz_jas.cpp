// Feeds arbitrary bytes to the JPEG 2000 / PNM / PGX / Sun raster readers (found by content).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFile.h"
#include "image/formats/RasterImageJAS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    std::vector<uint8_t> copy(data, data + size);
    RasterMemFile file(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()));
    RasterImageJAS image(RASTER_FORMAT_UNKNOWN);
    image.Decode(&file);
    return 0;
}
