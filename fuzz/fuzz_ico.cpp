// Arbitrary bytes into the ICO decoder.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImageICO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImageICO>(data, size);
}
