// Feeds arbitrary bytes to the TIFF reader.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFile.h"
#include "image/formats/RasterImageTIF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    std::vector<uint8_t> copy(data, data + size);
    RasterMemFile file(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()));
    RasterImageTIF image;
    image.Decode(&file);
    return 0;
}
