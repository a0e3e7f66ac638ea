// Arbitrary bytes into the PNM reader.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImagePNM.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImagePNM>(data, size);
}
