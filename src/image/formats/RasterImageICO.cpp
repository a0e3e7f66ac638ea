#include "RasterImageICO.h"

#include "RasterFormatSupport.h"

bool RasterImageICO::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "ICO");
}

bool RasterImageICO::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "ICO");
}
