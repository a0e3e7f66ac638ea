#include "image/formats/RasterEncodeRows.h"

bool PictureHasTransparency(const RasterImage& image) {
    return image.HasAlpha() || (image.GetBpp() < 24 && image.IsTransparent());
}

void GetInterleavedRow(const RasterImage& image, uint32_t y, bool withAlpha, uint8_t* out) {
    const uint32_t width = image.GetWidth();
    const uint32_t stored = image.GetHeight() - 1 - y;
    const uint8_t* alpha = image.AlphaPointer(0, stored);
    const uint32_t channels = withAlpha ? 4 : 3;
    if (image.GetBpp() == 24) {
        const uint8_t* bgr = image.RowPointer(stored);
        for (uint32_t x = 0; x < width; ++x, bgr += 3, out += channels) {
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
            if (withAlpha) out[3] = alpha ? alpha[x] : RASTER_ALPHA_OPAQUE;
        }
        return;
    }
    const int32_t transparent = image.IsTransparent() ? image.GetTransparentIndex() : -1;
    for (uint32_t x = 0; x < width; ++x, out += channels) {
        const RasterRgbQuad colour = image.GetPixelColor(x, stored, false);
        out[0] = colour.rgbRed;
        out[1] = colour.rgbGreen;
        out[2] = colour.rgbBlue;
        if (!withAlpha) continue;
        const bool keyed = transparent >= 0 && image.GetPixelIndex(x, stored) == transparent;
        out[3] = keyed ? 0 : alpha ? alpha[x] : RASTER_ALPHA_OPAQUE;
    }
}
