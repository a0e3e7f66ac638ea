#include "RasterImageWMF.h"

#include "RasterFormatSupport.h"

bool RasterImageWMF::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "WMF/EMF");
}

bool RasterImageWMF::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "WMF/EMF");
}
