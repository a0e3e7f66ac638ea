#include "image/formats/RasterDecodeSupport.h"

#include <cstring>

bool PlausibleDecodedSize(RasterImage& image, uint64_t decodedBytes, uint64_t sourceBytes,
                          uint64_t maxRatio) {
    if (decodedBytes <= kDecodeFreeAllowance) return true;
    // sourceBytes and maxRatio are far below 2^32 in practice; guard the product anyway.
    const uint64_t cap = (maxRatio != 0 && sourceBytes > UINT64_MAX / maxRatio) ? UINT64_MAX : sourceBytes * maxRatio;
    if (decodedBytes - kDecodeFreeAllowance <= cap) return true;
    image.SetLastError("Decode: the picture is far larger than its data allows");
    return false;
}

bool CreateDecodedImage(RasterImage& image, uint32_t width, uint32_t height, uint32_t bpp, bool grey) {
    if (!image.Create(width, height, bpp, image.GetType())) return false;
    std::memset(image.GetBits(), 0, size_t(image.GetStride()) * height);
    if (grey) image.SetGrayPalette();
    return true;
}

bool CreateDecodedAlpha(RasterImage& image) {
    if (!image.CheckMemoryLimit(image.GetWidth(), image.GetHeight(), 8)) return false;
    if (!image.CreateAlpha()) {
        image.SetLastError("Decode: can't allocate the alpha plane");
        return false;
    }
    return true;
}
