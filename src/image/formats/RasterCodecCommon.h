// Small pieces shared by the JPEG and PNG format classes.
#pragma once

#include "RasterFile.h"
#include "RasterImage.h"

// Decoders start from "the file says nothing": the dispatcher copies the caller's
// information fields into the format object so that options travel along, but the
// transparency and resolution of a picture decoded earlier into the same image must not
// leak into the new one (an old transparent index would turn unrelated pixels white).
inline void ResetPictureFields(RasterImage& image) {
    image.SetTransparentIndex(-1);
    image.SetTransparentColor(RasterRgbQuad{0, 0, 0, 0});
    image.SetPaletteAlphaEnabled(false);
    image.SetXDpi(RASTER_DEFAULT_DPI);
    image.SetYDpi(RASTER_DEFAULT_DPI);
}

// The format classes may also be called directly, without the dispatcher's checks.
inline bool CanEncodeTo(RasterImage& image, const RasterFile* file) {
    if (!file) {
        image.SetLastError("null file handler");
        return false;
    }
    if (!image.IsValid()) {
        image.SetLastError("null image!!!");
        return false;
    }
    return true;
}
