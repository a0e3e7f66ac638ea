// Helpers shared by the geometric operations.
#include "RasterGeometrySupport.h"

#include <cstring>

namespace raster_geometry {

namespace {
void ClearRowPadding(RasterImage& image) {
    const uint32_t stride = image.GetStride();
    const uint32_t height = image.GetHeight();
    if (image.GetBpp() < 8) {
        std::memset(image.GetBits(), 0, size_t(stride) * height);
        return;
    }
    const uint32_t used = image.GetWidth() * (image.GetBpp() / 8);
    if (used == stride) return;
    for (uint32_t y = 0; y < height; ++y) std::memset(image.RowPointer(y) + used, 0, stride - used);
}
}  // namespace

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
    ClearRowPadding(blank);
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
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes));
    if (copy) std::memcpy(copy, image.GetAlphaPlane(), bytes);
    return copy;
}

bool StopRequested(RasterImage& image) {
    if (!image.IsEscaped()) return false;
    image.SetLastError(kCancelledText);
    return true;
}

}  // namespace raster_geometry
