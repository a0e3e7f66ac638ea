#include "RasterImageGIF.h"

#include "RasterFormatSupport.h"

bool RasterImageGIF::Decode(RasterFile*) {
    SetLastError("GIF: not built yet");
    return false;
}

bool RasterImageGIF::Encode(RasterFile*) {
    SetLastError("GIF: not built yet");
    return false;
}
