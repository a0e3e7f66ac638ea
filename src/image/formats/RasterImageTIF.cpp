#include "RasterImageTIF.h"

#include "RasterFormatSupport.h"

bool RasterImageTIF::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "TIFF");
}

bool RasterImageTIF::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "TIFF");
}
