// Decoders start from "the file says nothing": the dispatcher copies the caller's
// information fields into the format object so that options travel along, but the
// transparency and resolution of a picture decoded earlier into the same image must not
// leak into the new one (an old transparent index would turn unrelated pixels white).
#pragma once

#include "RasterImage.h"

inline void ResetPictureFields(RasterImage& image) {
    image.SetTransparentIndex(-1);
    image.SetTransparentColor(RasterRgbQuad{0, 0, 0, 0});
    image.SetPaletteAlphaEnabled(false);
    image.SetXDpi(RASTER_DEFAULT_DPI);
    image.SetYDpi(RASTER_DEFAULT_DPI);
}
