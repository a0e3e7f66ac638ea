#include "RasterImageJBG.h"

#include "RasterFormatSupport.h"

bool RasterImageJBG::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "JBIG");
}

bool RasterImageJBG::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "JBIG");
}
