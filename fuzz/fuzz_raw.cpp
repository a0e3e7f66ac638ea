#include "FuzzFormat.h"
#include "image/formats/RasterImageRAW.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<RasterImageRAW>(data, size);
}
