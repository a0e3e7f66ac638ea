#include "RasterImagePCX.h"

#include "RasterFormatSupport.h"

bool RasterImagePCX::Decode(RasterFile*) {
    return RasterFormatNotAvailable(*this, "PCX");
}

bool RasterImagePCX::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "PCX");
}
