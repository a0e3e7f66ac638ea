#include "RasterImageSKA.h"

#include "RasterFormatSupport.h"

bool RasterImageSKA::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "SKA");
}

bool RasterImageSKA::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "SKA");
}
