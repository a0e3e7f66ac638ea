// GIF reading of arbitrary bytes; whatever decodes must also write and read back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/RasterFile.h"
#include "image/RasterImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    RasterImage image;
    if (!image.Decode(bytes.data(), uint32_t(bytes.size()), RASTER_FORMAT_GIF)) return 0;
    // Keep the write small: the mosaic of a large picture is slow to fuzz.
    if (uint64_t(image.GetWidth()) * image.GetHeight() > 4096 * 64) return 0;
    RasterMemFile file;
    file.Open();
    if (!image.Encode(&file, RASTER_FORMAT_GIF)) __builtin_trap();
    RasterImage again;
    if (!again.Decode(file.GetBuffer(), uint32_t(file.Size()), RASTER_FORMAT_GIF)) __builtin_trap();
    if (again.GetWidth() != image.GetWidth() || again.GetHeight() != image.GetHeight()) __builtin_trap();
    return 0;
}
