// Compositing and channel operations on 24-bit images: fills, pastes (copy and alpha blend),
// flattening an alpha plane onto a colour, channel extraction and region copies.
//
// Every blend is d = T[d][255 - w] + T[s][w] with T the product table and w the weight of
// the new value: two table look-ups and a byte addition per channel. Rows are walked in
// groups of eight pixels whose alpha bytes are tested at once: a group that is wholly kept or
// wholly replaced (the common case for masks and cut-outs) is skipped or copied without any
// look-up, and only mixed groups are blended pixel by pixel.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RasterImage.h"

namespace {

constexpr size_t kBytesPerPixel = 3;
constexpr size_t kGroupPixels = 8;
constexpr uint64_t kAllOpaque = ~uint64_t(0);
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

bool Is24Bit(const RasterImage& image) {
    return image.IsValid() && image.GetBpp() == 24;
}

// The row "times w" of the product table: WeightRow(T, w)[v] = T[v][w] (the table is symmetric).
inline const uint8_t* WeightRow(const uint8_t* table, uint32_t w) {
    return table + (size_t(w) << 8);
}

inline uint64_t LoadGroup(const uint8_t* bytes) {
    uint64_t group;
    std::memcpy(&group, bytes, sizeof(group));
    return group;
}

inline void StoreGroup(uint8_t* bytes, uint64_t group) {
    std::memcpy(bytes, &group, sizeof(group));
}

inline bool HasZeroByte(uint64_t group) {
    return ((group - kLowBits) & ~group & kHighBits) != 0;
}

// The new values come from a row of source pixels.
struct PixelRowSource {
    const uint8_t* pixels;
    const uint8_t* At(size_t i) const { return pixels + i * kBytesPerPixel; }
    void CopyTo(uint8_t* d, size_t first, size_t count) const {
        std::memcpy(d, At(first), count * kBytesPerPixel);
    }
};

// The new values are one colour; a group's worth of it is kept ready for block copies.
class ColorSource {
public:
    explicit ColorSource(uint32_t color) {
        for (size_t i = 0; i < kGroupPixels; ++i) {
            m_group[i * kBytesPerPixel + 0] = RasterBlue(color);
            m_group[i * kBytesPerPixel + 1] = RasterGreen(color);
            m_group[i * kBytesPerPixel + 2] = RasterRed(color);
        }
    }
    const uint8_t* At(size_t) const { return m_group; }
    void CopyTo(uint8_t* d, size_t, size_t count) const {
        for (; count >= kGroupPixels; count -= kGroupPixels, d += sizeof(m_group)) std::memcpy(d, m_group, sizeof(m_group));
        std::memcpy(d, m_group, count * kBytesPerPixel);
    }

private:
    uint8_t m_group[kGroupPixels * kBytesPerPixel];
};

inline void BlendPixel(uint8_t* d, const uint8_t* s, uint32_t w, const uint8_t* table) {
    const uint8_t* keep = WeightRow(table, 255 - w);
    const uint8_t* take = WeightRow(table, w);
    d[0] = uint8_t(keep[d[0]] + take[s[0]]);
    d[1] = uint8_t(keep[d[1]] + take[s[1]]);
    d[2] = uint8_t(keep[d[2]] + take[s[2]]);
}

// What a group of eight pixels needs: nothing (weight 0 keeps d exactly), a copy (weight 255
// gives s exactly) or a blend per pixel.
enum class GroupAction { Keep, Replace, Blend };

// Weight = source alpha.
struct SourceAlphaWeights {
    const uint8_t* sa;
    GroupAction ForGroup(size_t i) const {
        const uint64_t g = LoadGroup(sa + i);
        return g == 0 ? GroupAction::Keep : g == kAllOpaque ? GroupAction::Replace : GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const { return sa[i]; }
};

// Weight = 255 - alpha of the pixel being changed: the new value shows where it is transparent.
struct TransparencyWeights {
    const uint8_t* alpha;
    GroupAction ForGroup(size_t i) const {
        const uint64_t g = LoadGroup(alpha + i);
        return g == kAllOpaque ? GroupAction::Keep : g == 0 ? GroupAction::Replace : GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const { return 255u - alpha[i]; }
};

// Both planes: weight = source alpha, except that a fully transparent destination pixel
// takes the source as it is. Also sets the destination alpha to max(da, sa) (which is sa
// where da was 0).
struct BothAlphaWeights {
    const uint8_t* sa;
    uint8_t* da;
    GroupAction ForGroup(size_t i) const {
        const uint64_t s = LoadGroup(sa + i);
        const uint64_t d = LoadGroup(da + i);
        if (s == kAllOpaque || d == 0) {
            StoreGroup(da + i, s);  // max(d, s) in both cases
            return GroupAction::Replace;
        }
        if (s == 0 && !HasZeroByte(d)) return GroupAction::Keep;
        return GroupAction::Blend;
    }
    uint32_t ForPixel(size_t i) const {
        const uint8_t a = sa[i];
        const uint8_t old = da[i];
        da[i] = std::max(old, a);
        return old ? a : 255u;
    }
};

// d = T[d][255 - w] + T[s][w] over n pixels of a row.
template <class Weights, class Source>
void BlendRow(uint8_t* d, const Source& source, const Weights& weights, size_t n, const uint8_t* table) {
    size_t i = 0;
    for (; i + kGroupPixels <= n; i += kGroupPixels) {
        uint8_t* dst = d + i * kBytesPerPixel;
        switch (weights.ForGroup(i)) {
            case GroupAction::Keep:
                break;
            case GroupAction::Replace:
                source.CopyTo(dst, i, kGroupPixels);
                break;
            case GroupAction::Blend:
                for (size_t k = i; k < i + kGroupPixels; ++k, dst += kBytesPerPixel) {
                    BlendPixel(dst, source.At(k), weights.ForPixel(k), table);
                }
                break;
        }
    }
    for (uint8_t* dst = d + i * kBytesPerPixel; i < n; ++i, dst += kBytesPerPixel) {
        BlendPixel(dst, source.At(i), weights.ForPixel(i), table);
    }
}

// One row of an alpha-blend paste; sa or da is null for a missing plane (not both).
void AlphaBlendRow(uint8_t* d, const uint8_t* s, uint8_t* da, const uint8_t* sa, size_t n, const uint8_t* table) {
    const PixelRowSource source{s};
    if (sa && da) {
        BlendRow(d, source, BothAlphaWeights{sa, da}, n, table);
    } else if (sa) {
        BlendRow(d, source, SourceAlphaWeights{sa}, n, table);
    } else {
        BlendRow(d, source, TransparencyWeights{da}, n, table);
    }
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
    const ColorSource fill(color);
    const size_t rowBytes = size_t(GetWidth()) * kBytesPerPixel;
    uint8_t* first = RowPointer(0);
    fill.CopyTo(first, 0, GetWidth());
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
    const uint8_t* table = ProductTable();
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

    for (int64_t k = 0; k < win.height; ++k) {
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
            AlphaBlendRow(d, s, da, sa, n, table);
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
    const uint8_t* table = ProductTable();
    const ColorSource background(color);
    const size_t width = GetWidth();
    for (uint32_t y = 0; y < GetHeight(); ++y) {
        // The background shows by the pixel's transparency.
        BlendRow(RowPointer(y), background, TransparencyWeights{AlphaPointer(0, y)}, width, table);
    }
    return true;
}

uint8_t* RasterImage::ExtractChannel(int kind) const {
    if (!Is24Bit(*this)) return nullptr;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    auto* plane = static_cast<uint8_t*>(std::malloc(width * height));
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
