// Arbitrary bytes into the TGA decoder.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImageTGA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImageTGA>(data, size);
}
