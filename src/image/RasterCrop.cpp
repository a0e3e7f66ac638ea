// Crop: keeps a rectangle given in picture coordinates (top row = 0, right and bottom
// exclusive).
#include <cstring>
#include <utility>

#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

using namespace raster_geometry;

namespace {
int64_t ClampTo(int64_t v, int64_t high) {
    return v < 0 ? 0 : v > high ? high : v;
}
}  // namespace

bool RasterImage::Crop(const RasterRect& rect, RasterImage* destination) {
    if (!IsValid()) return false;
    const int64_t width = GetWidth();
    const int64_t height = GetHeight();
    int64_t startX = ClampTo(rect.left, width);
    int64_t endX = ClampTo(rect.right, width);
    const int64_t top = ClampTo(rect.top, height);
    const int64_t bottom = ClampTo(rect.bottom, height);
    if (startX == endX || top == bottom) return false;
    // Stored rows count from the bottom.
    int64_t startY = height - top;
    int64_t endY = height - bottom;
    if (startX > endX) std::swap(startX, endX);
    if (startY > endY) std::swap(startY, endY);
    const auto cropWidth = uint32_t(endX - startX);
    const auto cropHeight = uint32_t(endY - startY);

    RasterImage result;
    if (!CreateBlankLike(result, *this, cropWidth, cropHeight, GetBpp())) return false;
    const auto left = uint32_t(startX);
    const auto bottomRow = uint32_t(startY);
    const uint32_t bpp = GetBpp();
    for (uint32_t y = 0; y < cropHeight; ++y) {
        if (bpp >= 8) {
            const size_t bytesPerPixel = bpp / 8;
            std::memcpy(result.RowPointer(y), RowPointer(bottomRow + y) + left * bytesPerPixel,
                        cropWidth * bytesPerPixel);
        } else {
            for (uint32_t x = 0; x < cropWidth; ++x) result.SetPixelIndex(x, y, GetPixelIndex(left + x, bottomRow + y));
        }
    }
    if (m_alpha) {
        if (!result.CreateAlpha()) {
            SetLastError(kNoMemoryText);
            return false;
        }
        for (uint32_t y = 0; y < cropHeight; ++y) {
            std::memcpy(result.AlphaPointer(0, y), AlphaPointer(left, bottomRow + y), cropWidth);
        }
    }
    return HandOver(*this, result, destination);
}
