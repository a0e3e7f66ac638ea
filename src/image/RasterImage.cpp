// RasterImage life cycle, information fields, palette, alpha plane and pixel access.
#include "image/RasterImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/RasterBlockPool.h"

namespace {
constexpr uint32_t kInfoHeaderSize = sizeof(RasterBitmapInfoHeader);

std::atomic<uint64_t> g_memoryLimit{RASTER_MAX_MEMORY};

uint32_t PaletteEntriesFor(uint32_t bpp) {
    switch (bpp) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

uint32_t RoundedDepth(uint32_t bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

// Pixel blocks and alpha planes come from the shared pool, which hands a large block freed
// by one picture to the next picture of about the same size, and go back to it.
uint8_t* AllocatePictureBlock(size_t bytes) {
    return RasterBlockPool::Shared().Allocate(bytes);
}

void ReleasePictureBlock(void* block) {
    RasterBlockPool::Shared().Release(block);
}

int32_t PixelsPerMetre(int32_t dpi) {
    // A resolution read from a file can be absurd; the header field must not overflow.
    const double perMetre = std::floor(double(dpi) * 10000.0 / 254.0 + 0.5);
    return perMetre >= double(INT32_MAX) ? INT32_MAX : int32_t(perMetre);
}
}  // namespace

RasterImage::RasterImage(uint32_t type) {
    ResetInfo(type);
}

RasterImage::RasterImage(const char* path, uint32_t type) {
    ResetInfo(type);
    Load(path, type);
}

RasterImage::RasterImage(const RasterImage& source) {
    ResetInfo(RASTER_FORMAT_UNKNOWN);
    Copy(source);
}

RasterImage& RasterImage::operator=(const RasterImage& source) {
    if (this != &source) Copy(source);
    return *this;
}

RasterImage::~RasterImage() {
    ReleaseFrames();
    Destroy();
}

void RasterImage::ResetInfo(uint32_t type) {
    std::memset(&m_info, 0, sizeof(m_info));
    std::memset(&m_header, 0, sizeof(m_header));
    m_info.type = type;
    m_info.jpegQuality = RASTER_DEFAULT_JPEG_QUALITY;
    m_info.alphaMax = RASTER_ALPHA_OPAQUE;
    m_info.transparentIndex = -1;
    m_info.littleEndianHost = true;
    SetXDpi(RASTER_DEFAULT_DPI);
    SetYDpi(RASTER_DEFAULT_DPI);
}

void RasterImage::ClearHeaderAndPointers() {
    m_block = nullptr;
    m_bits = nullptr;
    m_alpha = nullptr;
    m_stride = 0;
    // Back to the state of a new image: plain zeroes would read as "palette index 0 is
    // transparent" and 0 dpi if the emptied image were used again.
    ResetInfo(RASTER_FORMAT_UNKNOWN);
}

bool RasterImage::Destroy() {
    if (m_info.borrowed) return false;
    ReleasePictureBlock(m_alpha);
    ReleasePictureBlock(m_block);
    m_alpha = nullptr;
    m_block = nullptr;
    m_bits = nullptr;
    return true;
}

bool RasterImage::ReleaseFrames() {
    if (m_info.borrowed) return false;
    for (RasterImage* frame : m_frames) delete frame;
    m_frames.clear();
    return true;
}

bool RasterImage::AddFrame(RasterImage* frame) {
    if (!frame || m_info.borrowed) return false;
    m_frames.push_back(frame);
    return true;
}

uint64_t RasterImage::StrideFor(uint64_t width, uint32_t bpp) { return (width * bpp + 31) / 32 * 4; }

uint64_t RasterImage::PixelBytes(uint64_t width, uint64_t height, uint32_t bpp) {
    const uint64_t stride = StrideFor(width, bpp);
    // Past this the product could wrap; no limit comes near it.
    if (stride != 0 && height > UINT64_MAX / 2 / stride) return UINT64_MAX;
    return stride * height;
}

bool RasterImage::FitsMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp) {
    if (width == 0 || height == 0) return true;
    if (width > uint64_t(INT32_MAX) || height > uint64_t(INT32_MAX)) return false;
    // The padded block counts (a 1-bit column pads every row to 4 bytes).
    return PixelBytes(width, height, bpp) <= MemoryLimit();
}

bool RasterImage::CheckMemoryLimit(uint64_t width, uint64_t height, uint32_t bpp) {
    return FitsMemoryLimit(width, height, bpp) || RefuseTooLarge(width, height, PixelBytes(width, height, bpp));
}

bool RasterImage::RefuseTooLarge(uint64_t width, uint64_t height, uint64_t bytes) {
    char text[RASTER_ERROR_TEXT_SIZE];
    RasterTooLargeText(text, width, height, bytes);
    SetLastError(text);
    return false;
}

void RasterImage::SetMemoryLimit(uint64_t bytes) {
    g_memoryLimit.store(std::min<uint64_t>(bytes, RASTER_MAX_MEMORY), std::memory_order_relaxed);
}

uint64_t RasterImage::MemoryLimit() { return g_memoryLimit.load(std::memory_order_relaxed); }

void RasterTooLargeText(char* text, uint64_t width, uint64_t height, uint64_t bytes) {
    std::snprintf(text, RASTER_ERROR_TEXT_SIZE, "%s: %llu x %llu pixels, %llu bytes", RASTER_TOO_LARGE,
                  static_cast<unsigned long long>(width), static_cast<unsigned long long>(height),
                  static_cast<unsigned long long>(bytes));
}

RasterTooLargeError RasterTooLargeFor(uint64_t width, uint64_t height, uint32_t bpp) {
    RasterTooLargeError error;
    RasterTooLargeText(error.text, width, height, RasterImage::PixelBytes(width, height, bpp));
    return error;
}

bool RasterTooLargeFromText(const char* text, RasterTooLarge& size) {
    const size_t prefix = std::strlen(RASTER_TOO_LARGE);
    if (!text || std::strncmp(text, RASTER_TOO_LARGE, prefix) != 0) return false;
    unsigned long long width = 0, height = 0, bytes = 0;
    if (std::sscanf(text + prefix, ": %llu x %llu pixels, %llu bytes", &width, &height, &bytes) != 3) return false;
    size = RasterTooLarge{width, height, bytes};
    return true;
}

size_t RasterImage::GetBlockSize() const {
    if (!m_block) return 0;
    return kInfoHeaderSize + size_t(m_header.biClrUsed) * sizeof(RasterRgbQuad) + m_header.biSizeImage;
}

uint8_t* RasterImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("RasterImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = RoundedDepth(bpp);
    if (!CheckMemoryLimit(width, height, bpp)) return nullptr;

    const uint32_t entries = PaletteEntriesFor(bpp);
    // Both fit 32 bits: the limit lies below 4 GB.
    const auto stride = uint32_t(StrideFor(width, bpp));
    m_header.biSize = kInfoHeaderSize;
    m_header.biWidth = int32_t(width);
    m_header.biHeight = int32_t(height);
    m_header.biPlanes = 1;
    m_header.biBitCount = uint16_t(bpp);
    m_header.biCompression = 0;
    m_header.biSizeImage = stride * height;
    m_header.biClrUsed = entries;
    m_header.biClrImportant = 0;
    m_stride = stride;
    m_info.type = type;

    const size_t paletteBytes = size_t(entries) * sizeof(RasterRgbQuad);
    auto* block = AllocatePictureBlock(kInfoHeaderSize + paletteBytes + m_header.biSizeImage);
    if (!block) {
        SetLastError("RasterImage::Create can't allocate memory");
        return nullptr;
    }
    std::memset(block + kInfoHeaderSize, 0, paletteBytes);
    std::memcpy(block, &m_header, kInfoHeaderSize);
    m_block = block;
    m_bits = block + kInfoHeaderSize + paletteBytes;
    ClearRowEnds();
    return m_block;
}

void RasterImage::ClearRowEnds() {
    // The bytes past the last whole byte of pixels: a reused block holds another picture's
    // bytes there, which no pixel write covers and which would otherwise end up in files.
    const size_t whole = size_t(GetWidth()) * GetBpp() / 8;
    const size_t rest = m_stride - whole;
    if (rest == 0) return;
    for (uint32_t y = 0; y < GetHeight(); ++y) std::memset(RowPointer(y) + whole, 0, rest);
}

bool RasterImage::Copy(const RasterImage& source) {
    if (this == &source) return true;
    if (m_info.borrowed) return false;  // a borrowed view never replaces storage
    if (source.m_info.borrowed) {
        MakeBorrowedView(source);
        return true;
    }
    m_info = source.m_info;
    m_header = source.m_header;
    if (!source.IsValid()) {
        Destroy();
        return false;
    }
    if (!Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.GetType())) return false;
    // Palette and pixels are copied on their own so that this block's header and layout,
    // which Create just wrote from the source's header, stay consistent even if a decoder
    // left an unusual palette size in the source's header.
    const uint32_t entries = std::min(GetPaletteSize(), source.GetPaletteSize());
    if (entries > 0) std::memcpy(GetPalette(), source.GetPalette(), size_t(entries) * sizeof(RasterRgbQuad));
    std::memcpy(m_bits, source.m_bits, m_header.biSizeImage);
    if (source.m_alpha) {
        const size_t n = size_t(GetWidth()) * GetHeight();
        m_alpha = AllocatePictureBlock(n);
        if (!m_alpha) {
            Destroy();
            SetLastError("RasterImage::Create can't allocate memory");
            return false;
        }
        std::memcpy(m_alpha, source.m_alpha, n);
    }
    return true;
}

void RasterImage::MakeBorrowedView(const RasterImage& source) {
    if (this == &source) return;
    ReleaseFrames();  // a borrowed view can no longer release them
    Destroy();
    m_header = source.m_header;
    m_info = source.m_info;
    m_block = source.m_block;
    m_bits = source.m_bits;
    m_alpha = source.m_alpha;
    m_stride = source.m_stride;
    m_info.borrowed = true;
}

bool RasterImage::TakeOver(RasterImage& source, bool withFrames) {
    if (this == &source) return true;
    if (!Destroy()) return false;
    m_block = source.m_block;
    m_bits = source.m_bits;
    m_alpha = source.m_alpha;
    m_stride = source.m_stride;
    m_header = source.m_header;
    m_info = source.m_info;
    if (withFrames) {
        ReleaseFrames();
        m_frames.swap(source.m_frames);
    }
    source.ClearHeaderAndPointers();
    return true;
}

namespace {

// A text field of the information block: cut to fit, always terminated; null reads as empty.
void StoreInfoText(char (&field)[RASTER_ERROR_TEXT_SIZE], const char* text) {
    if (!text) text = "";
    const size_t n = strnlen(text, RASTER_ERROR_TEXT_SIZE - 1);
    std::memmove(field, text, n);  // the text may be the field itself
    field[n] = '\0';
}

}  // namespace

void RasterImage::SetLastError(const char* text) { StoreInfoText(m_info.lastError, text); }

void RasterImage::SetLoadWarning(const char* text) { StoreInfoText(m_info.loadWarning, text); }

void RasterImage::SetXDpi(int32_t dpi) {
    if (dpi <= 0) dpi = RASTER_DEFAULT_DPI;
    m_info.xDpi = dpi;
    m_header.biXPelsPerMeter = PixelsPerMetre(dpi);
    if (m_block && !m_info.borrowed) {
        reinterpret_cast<RasterBitmapInfoHeader*>(m_block)->biXPelsPerMeter = m_header.biXPelsPerMeter;
    }
}

void RasterImage::SetYDpi(int32_t dpi) {
    if (dpi <= 0) dpi = RASTER_DEFAULT_DPI;
    m_info.yDpi = dpi;
    m_header.biYPelsPerMeter = PixelsPerMetre(dpi);
    if (m_block && !m_info.borrowed) {
        reinterpret_cast<RasterBitmapInfoHeader*>(m_block)->biYPelsPerMeter = m_header.biYPelsPerMeter;
    }
}

uint32_t RasterImage::GetCodecOption(uint32_t type) const {
    return type < RASTER_FORMAT_COUNT ? m_info.codecOptions[type] : 0;
}

void RasterImage::SetCodecOption(uint32_t type, uint32_t option) {
    if (type < RASTER_FORMAT_COUNT) m_info.codecOptions[type] = option;
}

// ---- palette -----------------------------------------------------------------------------

RasterRgbQuad* RasterImage::GetPalette() {
    if (!m_block || m_header.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RasterRgbQuad*>(m_block + kInfoHeaderSize);
}

const RasterRgbQuad* RasterImage::GetPalette() const {
    if (!m_block || m_header.biClrUsed == 0) return nullptr;
    return reinterpret_cast<const RasterRgbQuad*>(m_block + kInfoHeaderSize);
}

void RasterImage::SetPalette(const RasterRgbQuad* entries, uint32_t count) {
    RasterRgbQuad* palette = GetPalette();
    if (!palette || !entries) return;
    if (count > m_header.biClrUsed) count = m_header.biClrUsed;
    std::memcpy(palette, entries, size_t(count) * sizeof(RasterRgbQuad));
}

void RasterImage::SetGrayPalette() {
    RasterRgbQuad* palette = GetPalette();
    if (!palette) return;
    const uint32_t n = m_header.biClrUsed;
    for (uint32_t i = 0; i < n; ++i) {
        const auto v = uint8_t(n > 1 ? i * 255 / (n - 1) : 0);
        palette[i] = RasterRgbQuad{v, v, v, 0};
    }
}

bool RasterImage::IsGrayPalette() const {
    const RasterRgbQuad* palette = GetPalette();
    if (!palette) return false;
    for (uint32_t i = 0; i < m_header.biClrUsed; ++i) {
        if (palette[i].rgbBlue != palette[i].rgbGreen || palette[i].rgbGreen != palette[i].rgbRed) return false;
    }
    return true;
}

uint8_t RasterImage::GetPixelIndex(uint32_t x, uint32_t y) const {
    const uint8_t* row = RowPointer(y);
    switch (m_header.biBitCount) {
        case 8: return row[x];
        case 4: return uint8_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
        case 1: return uint8_t((row[x >> 3] >> (7 - (x & 7))) & 0x01);
        default: return 0;
    }
}

void RasterImage::SetPixelIndex(uint32_t x, uint32_t y, uint8_t index) {
    uint8_t* row = RowPointer(y);
    switch (m_header.biBitCount) {
        case 8:
            row[x] = index;
            break;
        case 4: {
            const int shift = (x & 1) ? 0 : 4;
            row[x >> 1] = uint8_t((row[x >> 1] & ~(0x0F << shift)) | ((index & 0x0F) << shift));
            break;
        }
        case 1: {
            const int shift = 7 - int(x & 7);
            row[x >> 3] = uint8_t((row[x >> 3] & ~(1 << shift)) | ((index & 1) << shift));
            break;
        }
        default:
            break;
    }
}

// ---- alpha -------------------------------------------------------------------------------

bool RasterImage::CreateAlpha() {
    if (m_alpha) return true;
    // A 1-bit picture's plane is eight times its pixel block: it may not fit where they do.
    if (!IsValid() || !FitsMemoryLimit(GetWidth(), GetHeight(), 8)) return false;
    const size_t n = size_t(GetWidth()) * GetHeight();
    m_alpha = AllocatePictureBlock(n);
    if (!m_alpha) return false;
    std::memset(m_alpha, RASTER_ALPHA_OPAQUE, n);
    return true;
}

void RasterImage::DeleteAlpha() {
    if (m_info.borrowed) return;
    ReleasePictureBlock(m_alpha);
    m_alpha = nullptr;
}

void RasterImage::AdoptAlphaPlane(uint8_t* plane) {
    if (m_info.borrowed) return;
    ReleasePictureBlock(m_alpha);
    m_alpha = plane;
}

void RasterImage::SetAlphaLevel(uint8_t level) {
    if (!m_alpha) return;
    std::memset(m_alpha, level, size_t(GetWidth()) * GetHeight());
}

bool RasterImage::CopyAlpha(const RasterImage& source) {
    if (&source == this) return HasAlpha();
    if (!source.m_alpha || !IsValid()) return false;
    if (source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight()) return false;
    if (!CreateAlpha()) return false;
    std::memcpy(m_alpha, source.m_alpha, size_t(GetWidth()) * GetHeight());
    m_info.alphaMax = source.m_info.alphaMax;
    return true;
}

bool RasterImage::AlphaFromTransparentIndex() {
    if (!IsValid() || m_info.transparentIndex < 0) return false;
    if (!CreateAlpha()) return false;
    const uint32_t width = GetWidth();
    const uint32_t height = GetHeight();
    const bool palette = GetBpp() <= 8;
    const RasterRgbQuad key = m_info.transparentColor;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* alpha = m_alpha + size_t(y) * width;
        if (palette) {
            for (uint32_t x = 0; x < width; ++x) {
                if (int32_t(GetPixelIndex(x, y)) == m_info.transparentIndex) alpha[x] = 0;
            }
        } else {
            const uint8_t* p = RowPointer(y);
            for (uint32_t x = 0; x < width; ++x, p += 3) {
                if (p[0] == key.rgbBlue && p[1] == key.rgbGreen && p[2] == key.rgbRed) alpha[x] = 0;
            }
        }
    }
    return true;
}

// ---- pixel colours -----------------------------------------------------------------------

RasterRgbQuad RasterImage::GetPixelColor(uint32_t x, uint32_t y, bool withAlpha) const {
    RasterRgbQuad color{0, 0, 0, 0};
    // Outside the image there is nothing to read: black, alpha 0.
    if (!IsValid() || x >= GetWidth() || y >= GetHeight()) return color;
    if (GetBpp() == 24) {
        const uint8_t* p = PixelPointer(x, y);
        color = RasterRgbQuad{p[0], p[1], p[2], 0};
    } else {
        const RasterRgbQuad* palette = GetPalette();
        const uint8_t index = GetPixelIndex(x, y);
        if (palette && index < m_header.biClrUsed) color = palette[index];
    }
    if (withAlpha && m_alpha) color.rgbReserved = *AlphaPointer(x, y);
    return color;
}

namespace {
uint8_t NearestPaletteIndex(const RasterRgbQuad* palette, uint32_t entries, RasterRgbQuad c) {
    uint32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (uint32_t i = 0; i < entries; ++i) {
        const int64_t db = int64_t(palette[i].rgbBlue) - c.rgbBlue;
        const int64_t dg = int64_t(palette[i].rgbGreen) - c.rgbGreen;
        const int64_t dr = int64_t(palette[i].rgbRed) - c.rgbRed;
        const int64_t d = db * db + dg * dg + dr * dr;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return uint8_t(best);
}
}  // namespace

void RasterImage::SetPixelColor(int64_t x, int64_t y, RasterRgbQuad color, bool withAlpha) {
    if (!IsValid() || x < 0 || y < 0 || x >= int64_t(GetWidth()) || y >= int64_t(GetHeight())) return;
    const auto ux = uint32_t(x);
    const auto uy = uint32_t(y);
    if (GetBpp() == 24) {
        uint8_t* p = PixelPointer(ux, uy);
        p[0] = color.rgbBlue;
        p[1] = color.rgbGreen;
        p[2] = color.rgbRed;
    } else {
        SetPixelIndex(ux, uy, NearestPaletteIndex(GetPalette(), m_header.biClrUsed, color));
    }
    if (withAlpha && m_alpha) *AlphaPointer(ux, uy) = color.rgbReserved;
}
