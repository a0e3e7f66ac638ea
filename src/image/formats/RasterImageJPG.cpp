#include "RasterImageJPG.h"

#include "RasterFormatSupport.h"

bool RasterImageJPG::Decode(RasterFile*) {
    SetLastError("JPG: not built yet");
    return false;
}

bool RasterImageJPG::Encode(RasterFile*) {
    SetLastError("JPG: not built yet");
    return false;
}
