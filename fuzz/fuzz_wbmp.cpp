// Arbitrary bytes into the WBMP decoder.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImageWBMP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImageWBMP>(data, size);
}
