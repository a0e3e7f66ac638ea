// Arbitrary bytes into the PCX decoder.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImagePCX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImagePCX>(data, size);
}
