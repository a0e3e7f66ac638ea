// Flip (upside down) and Mirror (left-right).
#include <cstring>

#include "image/RasterGeometryAvx2.h"
#include "image/RasterGeometrySupport.h"
#include "image/RasterImage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// ReverseRow for 3-byte pixels, by whole blocks in registers where the processor allows.
void ReversePixels24(const uint8_t* source, uint8_t* target, uint32_t width) {
    size_t done = 0;
#if defined(RASTER_BLEND_AVX2)
    if (rasteravx2::Avx2Supported()) done = rasteravx2::ReverseRow24(source, target, width);
#endif
    // What is left are the first source pixels, reversed into the last target ones.
    ReverseRow<3>(source, target + done * 3, uint32_t(width - done));
}

// ReverseRow for bytes, 16 at a time.
void ReverseBytes(const uint8_t* source, uint8_t* target, uint32_t width) {
    size_t done = 0;
#if defined(__SSE2__)
    constexpr size_t kBytes = 16;
    // Dwords reversed, then the words in each dword, then the bytes in each word.
    constexpr int kReverseDwords = _MM_SHUFFLE(0, 1, 2, 3);
    constexpr int kSwapWords = _MM_SHUFFLE(2, 3, 0, 1);
    for (; done + kBytes <= width; done += kBytes) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + width - done - kBytes));
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_shuffle_epi32(v, kReverseDwords), kSwapWords), kSwapWords);
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + done), v);
    }
#endif
    ReverseRow<1>(source, target + done, uint32_t(width - done));
}

void MirrorIndexRow(const RasterImage& source, RasterImage& target, uint32_t y) {
    const uint32_t width = source.GetWidth();
    for (uint32_t x = 0; x < width; ++x) target.SetPixelIndex(x, y, source.GetPixelIndex(width - 1 - x, y));
}

}  // namespace

bool RasterImage::Flip(bool /*flipSelection*/, bool flipAlpha) {
    if (!IsValid()) return false;
    const uint32_t height = GetHeight();
    const size_t alphaRow = m_alpha ? GetWidth() : 0;
    MallocArray<uint8_t> buffer = AllocateArray<uint8_t>(alphaRow > m_stride ? alphaRow : m_stride);
    if (!buffer) {
        SetLastError(kNoMemoryText);
        return false;
    }
    SwapRows(m_bits, m_stride, height, buffer.get());
    if (flipAlpha && m_alpha) SwapRows(m_alpha, alphaRow, height, buffer.get());
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
            case 24: ReversePixels24(RowPointer(y), result.RowPointer(y), width); break;
            case 8: ReverseBytes(RowPointer(y), result.RowPointer(y), width); break;
            default: MirrorIndexRow(*this, result, y); break;
        }
    }
    if (m_alpha) {
        PlaneArray plane = AllocatePlane(size_t(width) * height);
        if (!plane) {
            SetLastError(kNoMemoryText);
            return false;
        }
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* source = m_alpha + size_t(y) * width;
            uint8_t* target = plane.get() + size_t(y) * width;
            if (mirrorAlpha) {
                ReverseBytes(source, target, width);
            } else {
                std::memcpy(target, source, width);
            }
        }
        result.AdoptAlphaPlane(plane.release());
    }
    return HandOver(*this, result, nullptr);
}
