// SKA pictures. No published description of this format exists, so the detection try that
// belongs to it claims no data: guessing at a layout would turn other files into garbage.
#include "image/formats/RasterImageSKA.h"

#include "image/formats/RasterFormatSupport.h"

bool RasterImageSKA::Decode(RasterFile*) {
    SetLastError("SKA: this format has no published description and is not read");
    return false;
}

bool RasterImageSKA::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "SKA");
}
