#include "FuzzFormat.h"
#include "image/formats/RasterImageWMF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFormatDecode<RasterImageWMF>(data, size);
}
