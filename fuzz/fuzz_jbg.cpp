#include "FuzzFormat.h"
#include "image/formats/RasterImageJBG.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<RasterImageJBG>(data, size);
}
