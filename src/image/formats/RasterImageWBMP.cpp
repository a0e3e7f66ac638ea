#include "RasterImageWBMP.h"

#include "RasterFormatSupport.h"

bool RasterImageWBMP::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "WBMP");
}

bool RasterImageWBMP::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "WBMP");
}
