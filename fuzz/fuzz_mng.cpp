#include "FuzzFormat.h"
#include "RasterImageMNG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<RasterImageMNG>(data, size);
}
