// Flip (upside down) and Mirror (left-right).
#include <cstring>

#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

using namespace raster_geometry;

namespace {

// Swaps row i with row rows - 1 - i for the upper half; an odd middle row stays.
void SwapRows(uint8_t* base, size_t rowBytes, uint32_t rows, uint8_t* buffer) {
    for (uint32_t i = 0; i < rows / 2; ++i) {
        uint8_t* low = base + size_t(i) * rowBytes;
        uint8_t* high = base + size_t(rows - 1 - i) * rowBytes;
        std::memcpy(buffer, low, rowBytes);
        std::memcpy(low, high, rowBytes);
        std::memcpy(high, buffer, rowBytes);
    }
}

template <int BytesPerPixel>
void ReverseRow(const uint8_t* source, uint8_t* target, uint32_t width) {
    const uint8_t* s = source + size_t(width) * BytesPerPixel;
    for (uint32_t x = 0; x < width; ++x, target += BytesPerPixel) {
        s -= BytesPerPixel;
        for (int j = 0; j < BytesPerPixel; ++j) target[j] = s[j];
    }
}

void MirrorIndexRow(const RasterImage& source, RasterImage& target, uint32_t y) {
    const uint32_t width = source.GetWidth();
    for (uint32_t x = 0; x < width; ++x) target.SetPixelIndex(x, y, source.GetPixelIndex(width - 1 - x, y));
}

}  // namespace

bool RasterImage::Flip(bool /*flipSelection*/, bool flipAlpha) {
    if (!IsValid()) return false;
    const uint32_t height = GetHeight();
    const size_t alphaRow = m_pAlpha ? GetWidth() : 0;
    MallocArray<uint8_t> buffer = AllocateArray<uint8_t>(alphaRow > m_nStride ? alphaRow : m_nStride);
    if (!buffer) {
        SetLastError(kNoMemoryText);
        return false;
    }
    SwapRows(m_pBits, m_nStride, height, buffer.get());
    if (flipAlpha && m_pAlpha) SwapRows(m_pAlpha, alphaRow, height, buffer.get());
    return true;
}

bool RasterImage::Mirror(bool /*mirrorSelection*/, bool mirrorAlpha) {
    if (!IsValid()) return false;
    RasterImage result;
    if (!CreateBlankLike(result, *this, GetWidth(), GetHeight(), GetBpp())) return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    for (uint32_t y = 0; y < height; ++y) {
        if (StopRequested(*this)) return false;
        switch (GetBpp()) {
            case 24: ReverseRow<3>(RowPointer(y), result.RowPointer(y), width); break;
            case 8: ReverseRow<1>(RowPointer(y), result.RowPointer(y), width); break;
            default: MirrorIndexRow(*this, result, y); break;
        }
    }
    if (m_pAlpha) {
        PlaneArray plane = AllocatePlane(size_t(width) * height);
        if (!plane) {
            SetLastError(kNoMemoryText);
            return false;
        }
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* source = m_pAlpha + size_t(y) * width;
            uint8_t* target = plane.get() + size_t(y) * width;
            if (mirrorAlpha) {
                ReverseRow<1>(source, target, width);
            } else {
                std::memcpy(target, source, width);
            }
        }
        result.AdoptAlphaPlane(plane.release());
    }
    return HandOver(*this, result, nullptr);
}
