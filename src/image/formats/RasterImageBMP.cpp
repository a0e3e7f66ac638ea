#include "RasterImageBMP.h"

#include "RasterFormatSupport.h"

bool RasterImageBMP::Decode(RasterFile*) {
    SetLastError("BMP: not built yet");
    return false;
}

bool RasterImageBMP::Encode(RasterFile*) {
    SetLastError("BMP: not built yet");
    return false;
}
