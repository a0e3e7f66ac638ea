#include "FuzzFormat.h"
#include "image/formats/RasterImageMNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<RasterImageMNG>(data, size);
}
