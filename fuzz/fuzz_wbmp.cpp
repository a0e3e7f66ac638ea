// Feeds arbitrary bytes to the WBMP decoder: it must fail cleanly or give a valid picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "RasterFile.h"
#include "RasterImageWBMP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    RasterMemFile file(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
    if (bytes.empty()) file.Open();
    RasterImageWBMP image;
    if (image.Decode(&file) && !image.IsValid()) __builtin_trap();
    return 0;
}
