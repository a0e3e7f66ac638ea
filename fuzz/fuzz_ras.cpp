// Arbitrary bytes into the Sun raster reader.
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImageRAS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImageRAS>(data, size);
}
