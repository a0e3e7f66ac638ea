#include "image/formats/RasterGifCanvas.h"

#include <cstring>
#include <new>

namespace {

bool TryResize(std::vector<uint8_t>& buffer, size_t size) {
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint32_t ColorKey(uint8_t blue, uint8_t green, uint8_t red) {
    return uint32_t(blue) | (uint32_t(green) << 8) | (uint32_t(red) << 16);
}

// Calls visit with the colour key of every painted pixel until it returns true; returns
// whether it did.
template <class Visit>
bool AnyPaintedPixel(const RasterImage& image, const std::vector<uint8_t>& painted, Visit visit) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = image.RowPointer(height - 1 - y);
        const uint8_t* covered = painted.data() + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            if (covered[x] && visit(ColorKey(p[0], p[1], p[2]))) return true;
        }
    }
    return false;
}

}  // namespace

bool RasterGifCanvas::Create(uint32_t width, uint32_t height, RasterImage& errorSink) {
    if (!m_image.Create(width, height, 24, RASTER_FORMAT_GIF)) {
        errorSink.SetLastError(m_image.LastErrorText());
        return false;
    }
    if (!TryResize(m_painted, size_t(width) * height)) {
        m_image.Destroy();
        errorSink.SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    std::memset(m_painted.data(), 0, m_painted.size());
    m_pendingDisposal = RasterGifDisposal::Unspecified;
    return true;
}

void RasterGifCanvas::ApplyPendingDisposal() {
    const RasterGifRect& r = m_pendingRect;
    if (m_pendingDisposal == RasterGifDisposal::RestoreBackground) {
        for (uint32_t y = r.top; y < r.top + r.height; ++y) std::memset(Painted(r.left, y), 0, r.width);
    } else if (m_pendingDisposal == RasterGifDisposal::RestorePrevious) {
        const uint8_t* pixels = m_savedPixels.data();
        const uint8_t* painted = m_savedPainted.data();
        for (uint32_t y = r.top; y < r.top + r.height; ++y) {
            std::memcpy(Pixel(r.left, y), pixels, size_t(r.width) * 3);
            std::memcpy(Painted(r.left, y), painted, r.width);
            pixels += size_t(r.width) * 3;
            painted += r.width;
        }
    }
    m_pendingDisposal = RasterGifDisposal::Unspecified;
}

bool RasterGifCanvas::SaveArea(const RasterGifRect& r) {
    const size_t area = size_t(r.width) * r.height;
    if (!TryResize(m_savedPixels, area * 3) || !TryResize(m_savedPainted, area)) return false;
    uint8_t* pixels = m_savedPixels.data();
    uint8_t* painted = m_savedPainted.data();
    for (uint32_t y = r.top; y < r.top + r.height; ++y) {
        std::memcpy(pixels, Pixel(r.left, y), size_t(r.width) * 3);
        std::memcpy(painted, Painted(r.left, y), r.width);
        pixels += size_t(r.width) * 3;
        painted += r.width;
    }
    return true;
}

bool RasterGifCanvas::DrawImage(const RasterGifRect& rect, const uint8_t* indices, ptrdiff_t stride,
                                const RasterRgbQuad* palette, int transparentIndex,
                                RasterGifDisposal disposal) {
    ApplyPendingDisposal();
    if (disposal == RasterGifDisposal::RestorePrevious && !SaveArea(rect)) return false;

    for (uint32_t r = 0; r < rect.height; ++r) {
        const uint8_t* src = indices + ptrdiff_t(r) * stride;
        uint8_t* dst = Pixel(rect.left, rect.top + r);
        uint8_t* painted = Painted(rect.left, rect.top + r);
        for (uint32_t x = 0; x < rect.width; ++x, dst += 3) {
            const uint8_t index = src[x];
            if (int(index) == transparentIndex) continue;
            const RasterRgbQuad& c = palette[index];
            dst[0] = c.rgbBlue;
            dst[1] = c.rgbGreen;
            dst[2] = c.rgbRed;
            painted[x] = 1;
        }
    }
    m_pendingDisposal = disposal;
    m_pendingRect = rect;
    return true;
}

RasterRgbQuad RasterGifCanvas::PickUnusedColor(RasterRgbQuad preferred) const {
    constexpr uint32_t kColors = 1u << 24;
    const uint32_t start = ColorKey(preferred.rgbBlue, preferred.rgbGreen, preferred.rgbRed);
    const bool preferredUsed = AnyPaintedPixel(m_image, m_painted, [start](uint32_t key) { return key == start; });
    if (!preferredUsed) return preferred;

    std::vector<uint64_t> used;
    try {
        used.assign(kColors / 64, 0);
    } catch (const std::bad_alloc&) {
        return preferred;
    }
    AnyPaintedPixel(m_image, m_painted, [&used](uint32_t key) {
        used[key >> 6] |= uint64_t(1) << (key & 63);
        return false;
    });
    // A picture has fewer pixels than 2^24 colours in every realistic case; when all are
    // taken the preferred colour is kept.
    for (uint32_t i = 0; i < kColors; ++i) {
        const uint32_t key = (start + i) & (kColors - 1);
        if (!(used[key >> 6] & (uint64_t(1) << (key & 63)))) {
            return RasterRgbQuad{uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), 0};
        }
    }
    return preferred;
}

bool RasterGifCanvas::Finish(bool transparent, RasterRgbQuad preferredKey, RasterRgbQuad background,
                             RasterImage& out) {
    if (!m_image.IsValid()) return false;
    const RasterRgbQuad fill = transparent ? PickUnusedColor(preferredKey) : background;
    const uint32_t width = m_image.GetWidth();
    for (uint32_t y = 0; y < m_image.GetHeight(); ++y) {
        uint8_t* p = Pixel(0, y);
        const uint8_t* painted = Painted(0, y);
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            if (painted[x]) continue;
            p[0] = fill.rgbBlue;
            p[1] = fill.rgbGreen;
            p[2] = fill.rgbRed;
        }
    }
    if (transparent) {
        m_image.SetTransparentIndex(0);
        m_image.SetTransparentColor(RasterRgbQuad{fill.rgbBlue, fill.rgbGreen, fill.rgbRed, 0});
    }
    m_painted.clear();
    m_painted.shrink_to_fit();
    return out.TakeOver(m_image);
}
