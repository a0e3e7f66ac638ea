// Arbitrary bytes into the JPEG 2000 reader (box files and bare code streams).
#include "FuzzSimpleFormat.h"
#include "image/formats/RasterImageJ2K.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<RasterImageJ2K>(data, size);
}
