// Arbitrary bytes into the PGX reader.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImagePGX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImagePGX>(data, size);
}
