// IncreaseBpp: raises a palette image to 4, 8 or 24 bits with the same look.
#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

using namespace raster_geometry;

namespace {

// The colour of every possible index; indices past the palette read as black with alpha 0,
// as GetPixelColor does.
struct ColourTable {
    RasterRgbQuad entries[256] = {};
    bool carriesAlpha = false;  // some entry has a non-zero fourth byte

    explicit ColourTable(const RasterImage& image) {
        const RasterRgbQuad* palette = image.GetPalette();
        const uint32_t size = palette ? image.GetPaletteSize() : 0;
        for (uint32_t i = 0; i < size && i < 256; ++i) {
            entries[i] = palette[i];
            if (palette[i].rgbReserved != 0) carriesAlpha = true;
        }
    }
};

template <uint32_t Bpp>
uint8_t IndexAt(const uint8_t* row, uint32_t x) {
    if constexpr (Bpp == 8) {
        return row[x];
    } else if constexpr (Bpp == 4) {
        return uint8_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    } else {
        return uint8_t((row[x >> 3] >> (7 - (x & 7))) & 0x01);
    }
}

// One stored row of palette indices to blue-green-red, and to alpha when the plane takes
// the palette's fourth bytes.
template <uint32_t Bpp>
void ExpandRow(const uint8_t* row, uint32_t width, const ColourTable& table, uint8_t* out, uint8_t* alpha) {
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        const RasterRgbQuad c = table.entries[IndexAt<Bpp>(row, x)];
        out[0] = c.rgbBlue;
        out[1] = c.rgbGreen;
        out[2] = c.rgbRed;
        if (alpha) alpha[x] = c.rgbReserved;
    }
}

bool ExpandToTrueColour(RasterImage& image, RasterImage& result) {
    const ColourTable table(image);
    const int32_t transparent = image.GetTransparentIndex();
    if (transparent >= 0 && transparent < 256) result.SetTransparentColor(table.entries[transparent]);
    if (image.HasAlpha() && !result.CopyAlpha(image)) {
        image.SetLastError(kNoMemoryText);
        return false;
    }
    const bool alphaFromPalette = table.carriesAlpha && !image.HasAlpha();
    if (alphaFromPalette && !result.CreateAlpha()) {
        image.SetLastError(kNoMemoryText);
        return false;
    }
    const uint32_t width = image.GetWidth();
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        if (StopRequested(image)) return false;
        const uint8_t* row = image.RowPointer(y);
        uint8_t* out = result.RowPointer(y);
        uint8_t* alpha = alphaFromPalette ? result.AlphaPointer(0, y) : nullptr;
        switch (image.GetBpp()) {
            case 8: ExpandRow<8>(row, width, table, out, alpha); break;
            case 4: ExpandRow<4>(row, width, table, out, alpha); break;
            default: ExpandRow<1>(row, width, table, out, alpha); break;
        }
    }
    return true;
}

// 1 to 4 or 8, 4 to 8: every pixel keeps its index.
bool WidenIndices(RasterImage& image, RasterImage& result) {
    if (image.HasAlpha() && !result.CopyAlpha(image)) {
        image.SetLastError(kNoMemoryText);
        return false;
    }
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        if (StopRequested(image)) return false;
        for (uint32_t x = 0; x < image.GetWidth(); ++x) result.SetPixelIndex(x, y, image.GetPixelIndex(x, y));
    }
    return true;
}

}  // namespace

bool RasterImage::IncreaseBpp(uint32_t bpp) {
    if (!IsValid() || (bpp != 4 && bpp != 8 && bpp != 24)) return false;
    if (bpp == GetBpp()) return true;
    if (GetBpp() > bpp) return false;
    RasterImage result;
    if (!CreateBlankLike(result, *this, GetWidth(), GetHeight(), bpp)) return false;
    const bool converted = bpp == 24 ? ExpandToTrueColour(*this, result) : WidenIndices(*this, result);
    if (!converted) return false;
    return HandOver(*this, result, nullptr);
}
