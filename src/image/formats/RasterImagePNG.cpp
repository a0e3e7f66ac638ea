#include "RasterImagePNG.h"

#include "RasterFormatSupport.h"

bool RasterImagePNG::Decode(RasterFile*) {
    SetLastError("PNG: not built yet");
    return false;
}

bool RasterImagePNG::Encode(RasterFile*) {
    SetLastError("PNG: not built yet");
    return false;
}
