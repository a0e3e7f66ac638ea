#include "RasterImageRAW.h"

#include "RasterFormatSupport.h"

bool RasterImageRAW::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "camera raw");
}

bool RasterImageRAW::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "camera raw");
}
