#include "RasterImageMNG.h"

#include "RasterFormatSupport.h"

bool RasterImageMNG::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "MNG/JNG");
}

bool RasterImageMNG::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "MNG/JNG");
}
