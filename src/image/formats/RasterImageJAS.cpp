#include "RasterImageJAS.h"

#include "RasterFormatSupport.h"

bool RasterImageJAS::Decode(RasterFile*) {
    (void)m_nJasType;
    return RasterFormatNotAvailable(*this, "JPEG 2000/PNM/PGX/RAS");
}

bool RasterImageJAS::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "JPEG 2000/PNM/PGX/RAS");
}
