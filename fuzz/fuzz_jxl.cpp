// Feeds arbitrary bytes to the JPEG XL reader (code stream or container with its boxes); a
// decoded picture must be sound in every byte.
#include "FuzzFormat.h"
#include "image/formats/RasterImageJXL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<FuzzWithMetadata<RasterImageJXL>>(data, size);
}
