// Helpers shared by the geometric operations.
#include "image/RasterGeometrySupport.h"

#include <cstring>

namespace raster_geometry {

bool CreateBlankLike(RasterImage& blank, RasterImage& source, uint32_t width, uint32_t height, uint32_t bpp) {
    // The information record carries the borrowed flag: a copy of it could never free
    // its storage, so a borrowed image is never the model of a new one.
    if (source.IsBorrowed()) {
        source.SetLastError(kBorrowedText);
        return false;
    }
    blank.CopyInfoFrom(source);
    // Sets the pixels-per-metre header fields, which Create keeps.
    blank.SetXDpi(source.GetXDpi());
    blank.SetYDpi(source.GetYDpi());
    if (!blank.Create(width, height, bpp, source.GetType())) {
        source.SetLastError(blank.LastErrorText());
        return false;
    }
    if (source.GetPalette() && blank.GetPalette()) blank.SetPalette(source.GetPalette(), source.GetPaletteSize());
    return true;
}

bool HandOver(RasterImage& image, RasterImage& result, RasterImage* destination) {
    RasterImage& target = destination ? *destination : image;
    if (target.TakeOver(result)) return true;
    image.SetLastError(kBorrowedText);
    return false;
}

uint8_t* CopyAlphaPlane(const RasterImage& image) {
    if (!image.HasAlpha()) return nullptr;
    const size_t bytes = size_t(image.GetWidth()) * image.GetHeight();
    PlaneArray copy = AllocatePlane(bytes);
    if (copy) std::memcpy(copy.get(), image.GetAlphaPlane(), bytes);
    return copy.release();
}

bool StopRequested(RasterImage& image) {
    if (!image.IsEscaped()) return false;
    image.SetLastError(kCancelledText);
    return true;
}

}  // namespace raster_geometry
