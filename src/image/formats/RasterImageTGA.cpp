#include "RasterImageTGA.h"

#include "RasterFormatSupport.h"

bool RasterImageTGA::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "TGA");
}

bool RasterImageTGA::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "TGA");
}
