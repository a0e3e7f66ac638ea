// Compositing and channel operations on 24-bit images: fills, pastes (copy and alpha blend),
// flattening an alpha plane onto a colour, channel extraction and region copies. The blends
// themselves are the row kernels of RasterBlendRow.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/compose/RasterBlendRow.h"
#include "image/RasterBlockPool.h"
#include "image/RasterImage.h"

namespace {

constexpr size_t kBytesPerPixel = 3;

bool Is24Bit(const RasterImage& image) {
    return image.IsValid() && image.GetBpp() == 24;
}

// The source window and where it lands, after clipping; all inside both images.
struct PasteWindow {
    int64_t srcLeft;
    int64_t srcTop;
    int64_t dstX;
    int64_t dstY;
    int64_t width;
    int64_t height;
};

// Clips a paste rectangle (picture coordinates, corners inclusive) against both images.
// Returns false when nothing is to be pasted.
bool ClipPaste(int64_t srcLeft, int64_t srcTop, int64_t srcRight, int64_t srcBottom, int64_t dstX, int64_t dstY,
               int64_t srcWidth, int64_t srcHeight, int64_t dstWidth, int64_t dstHeight, PasteWindow& window) {
    // Destination first, then the source, so a window taken from a larger source keeps its offset.
    if (dstX < 0) { srcLeft -= dstX; dstX = 0; }
    if (dstY < 0) { srcTop -= dstY; dstY = 0; }
    if (srcLeft < 0) { dstX -= srcLeft; srcLeft = 0; }
    if (srcTop < 0) { dstY -= srcTop; srcTop = 0; }
    // A right or bottom edge outside the source means "to the source's edge".
    if (srcRight < 0 || srcRight >= srcWidth) srcRight = srcWidth - 1;
    if (srcBottom < 0 || srcBottom >= srcHeight) srcBottom = srcHeight - 1;
    if (srcLeft >= srcWidth || srcRight < srcLeft || srcTop >= srcHeight || srcBottom < srcTop) return false;
    if (dstX >= dstWidth || dstY >= dstHeight) return false;
    if (dstX + (srcRight - srcLeft + 1) > dstWidth) srcRight = dstWidth - dstX + srcLeft - 1;
    if (dstY + (srcBottom - srcTop + 1) > dstHeight) srcBottom = dstHeight - dstY + srcTop - 1;
    window = PasteWindow{srcLeft, srcTop, dstX, dstY, srcRight - srcLeft + 1, srcBottom - srcTop + 1};
    return true;
}

// Stored row of picture row y.
inline uint32_t StoredRow(const RasterImage& image, int64_t y) {
    return uint32_t(int64_t(image.GetHeight()) - 1 - y);
}

}  // namespace

void RasterImage::FillColor(uint32_t color) {
    if (!Is24Bit(*this)) return;
    const size_t rowBytes = size_t(GetWidth()) * kBytesPerPixel;
    uint8_t* first = RowPointer(0);
    FillPixelRow(first, color, GetWidth());
    for (uint32_t y = 1; y < GetHeight(); ++y) std::memcpy(RowPointer(y), first, rowBytes);
}

bool RasterImage::Paste(const RasterImage& source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                        int32_t srcBottom, int32_t dstX, int32_t dstY, uint32_t mode, double opacity) {
    if (!Is24Bit(*this) || !Is24Bit(source)) return false;
    if (mode != RASTER_PASTE_COPY && mode != RASTER_PASTE_ALPHA_BLEND) return false;
    if (&source == this) {
        // Rows would be read after being overwritten: paste from a snapshot.
        RasterImage snapshot(source);
        if (!snapshot.IsValid()) {
            SetLastError(snapshot.LastErrorText());
            return false;
        }
        return Paste(snapshot, srcLeft, srcTop, srcRight, srcBottom, dstX, dstY, mode, opacity);
    }
    const bool srcAlpha = source.HasAlpha();
    const bool dstAlpha = HasAlpha();
    if (mode == RASTER_PASTE_ALPHA_BLEND && !srcAlpha && !dstAlpha) mode = RASTER_PASTE_COPY;

    PasteWindow win{};
    if (!ClipPaste(srcLeft, srcTop, srcRight, srcBottom, dstX, dstY, source.GetWidth(), source.GetHeight(),
                   GetWidth(), GetHeight(), win)) {
        return true;
    }
    opacity = std::clamp(opacity, 0.0, 1.0);
    // In copy mode an opacity of 0 marks the covered destination as opaque.
    const bool makeOpaque = mode == RASTER_PASTE_COPY && !srcAlpha && dstAlpha && opacity == 0.0;
    const auto n = size_t(win.width);

    // Rows are independent; walking them bottom picture row first goes up through memory in
    // both images (rows are stored bottom-up), which the hardware prefetchers follow: the
    // other way round a large blend runs about half as fast.
    for (int64_t k = win.height - 1; k >= 0; --k) {
        const uint32_t sy = StoredRow(source, win.srcTop + k);
        const uint32_t dy = StoredRow(*this, win.dstY + k);
        const uint8_t* s = source.PixelPointer(uint32_t(win.srcLeft), sy);
        uint8_t* d = PixelPointer(uint32_t(win.dstX), dy);
        const uint8_t* sa = srcAlpha ? source.AlphaPointer(uint32_t(win.srcLeft), sy) : nullptr;
        uint8_t* da = dstAlpha ? AlphaPointer(uint32_t(win.dstX), dy) : nullptr;
        if (mode == RASTER_PASTE_COPY) {
            std::memcpy(d, s, n * kBytesPerPixel);
            if (sa && da) std::memcpy(da, sa, n);
            if (makeOpaque) std::memset(da, RASTER_ALPHA_OPAQUE, n);
        } else {
            AlphaBlendRow(d, s, da, sa, n);
        }
    }
    return true;
}

bool RasterImage::PasteAll(const RasterImage& source, int32_t srcLeft, int32_t srcTop, int32_t dstX, int32_t dstY,
                           uint32_t mode, double opacity) {
    return Paste(source, srcLeft, srcTop, int32_t(source.GetWidth()) - 1, int32_t(source.GetHeight()) - 1, dstX,
                 dstY, mode, opacity);
}

bool RasterImage::FlattenAlpha(uint32_t color) {
    if (!Is24Bit(*this) || !HasAlpha()) return false;
    const size_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) FlattenAlphaRow(RowPointer(y), AlphaPointer(0, y), color, width);
    return true;
}

uint8_t* RasterImage::ExtractChannel(int kind) const {
    if (!Is24Bit(*this)) return nullptr;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    auto* plane = RasterBlockPool::Shared().Allocate(width * height);
    if (!plane) return nullptr;
    if (kind == RASTER_CHANNEL_ALPHA) {
        // No plane means every pixel is opaque.
        if (HasAlpha()) {
            std::memcpy(plane, GetAlphaPlane(), width * height);
        } else {
            std::memset(plane, RASTER_ALPHA_OPAQUE, width * height);
        }
        return plane;
    }
    const size_t offset = kind == RASTER_CHANNEL_GREEN ? 1 : kind == RASTER_CHANNEL_BLUE ? 0 : 2;
    uint8_t* out = plane;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = RowPointer(y) + offset;
        for (size_t x = 0; x < width; ++x, p += kBytesPerPixel) *out++ = *p;
    }
    return plane;
}

bool RasterImage::CopyRegion(int32_t x, int32_t y, RasterImage& destination) const {
    if (!Is24Bit(*this)) return false;
    int64_t w = 0;
    int64_t h = 0;
    if (destination.IsValid()) {
        if (destination.GetBpp() != 24) return false;
        w = destination.GetWidth();
        h = destination.GetHeight();
    } else {
        w = int64_t(GetWidth()) - x;
        h = int64_t(GetHeight()) - y;
        if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) {
            destination.SetLastError("RasterImage::Create : width and height must be greater than zero");
            return false;
        }
        if (!destination.Create(uint32_t(w), uint32_t(h), 24, 0)) return false;
        // A window that starts left of or above the picture is only partly covered:
        // the rest must not show uninitialised memory.
        if (x < 0 || y < 0) destination.FillColor(0);
        if (HasAlpha() && !destination.CreateAlpha()) {
            destination.SetLastError("RasterImage::Create can't allocate memory");
            return false;
        }
    }
    return destination.Paste(*this, x, y, int32_t(std::min<int64_t>(x + w - 1, INT32_MAX)),
                             int32_t(std::min<int64_t>(y + h - 1, INT32_MAX)), 0, 0, RASTER_PASTE_COPY, 1.0);
}
