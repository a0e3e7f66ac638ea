#include "image/formats/RasterBmpLayout.h"

#include <climits>
#include <cstring>

#include "image/formats/RasterFormatSupport.h"
#include "image/RasterImage.h"

namespace {

constexpr uint32_t kV2HeaderSize = 52;   // INFO + red, green, blue masks
constexpr uint32_t kV3HeaderSize = 56;   // + alpha mask
constexpr uint32_t kV4HeaderSize = 108;
// OS/2 2.x headers may be cut short anywhere between these sizes; missing fields are zero.
constexpr uint32_t kOs2MinHeaderSize = 16;
constexpr uint32_t kOs2MaxHeaderSize = 64;
constexpr uint32_t kMaskBytes = 12;
constexpr uint32_t kMaskBytesWithAlpha = 16;
constexpr uint32_t kRgbQuadSize = 4;
constexpr uint32_t kRgbTripleSize = 3;

// Info header field offsets (Windows and OS/2 2.x; the OS/2 1.x core header has its own).
constexpr size_t kWidthAt = 4;
constexpr size_t kHeightAt = 8;
constexpr size_t kBitCountAt = 14;
constexpr size_t kCompressionAt = 16;
constexpr size_t kXPelsAt = 24;
constexpr size_t kYPelsAt = 28;
constexpr size_t kClrUsedAt = 32;
constexpr size_t kMasksAt = 40;
constexpr size_t kCoreWidthAt = 4;
constexpr size_t kCoreHeightAt = 6;
constexpr size_t kCoreBitCountAt = 10;

constexpr BmpMasks kDefault16Masks{0x7C00, 0x03E0, 0x001F, 0};
constexpr BmpMasks kDefault32Masks{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

enum class HeaderKind { Core, Os2, Windows };

bool HeaderKindForSize(uint32_t size, HeaderKind& kind) {
    switch (size) {
        case BMP_CORE_HEADER_SIZE:
            kind = HeaderKind::Core;
            return true;
        case BMP_INFO_HEADER_SIZE:
        case kV2HeaderSize:
        case kV3HeaderSize:
        case kV4HeaderSize:
        case BMP_V5_HEADER_SIZE:
            kind = HeaderKind::Windows;
            return true;
        default:
            if (size >= kOs2MinHeaderSize && size <= kOs2MaxHeaderSize) {
                kind = HeaderKind::Os2;
                return true;
            }
            return false;
    }
}

bool ValidBitCount(uint32_t bitCount) {
    switch (bitCount) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32: return true;
        default: return false;
    }
}

// A mask must be one run of bits that fits in the pixel.
bool ValidMask(uint32_t mask, uint32_t bitCount) {
    if (bitCount < 32 && (mask >> bitCount) != 0) return false;
    if (mask == 0) return true;
    const uint32_t run = mask >> __builtin_ctz(mask);
    return (run & (run + 1)) == 0;
}

// The compression field, checked against the depth it needs.
bool EncodingFor(uint32_t compression, uint32_t bitCount, HeaderKind kind, BmpEncoding& encoding,
                 const char*& error) {
    const bool masked = compression == BMP_BITFIELDS || compression == BMP_ALPHABITFIELDS;
    // OS/2 2.x uses 3 and 4 for Huffman and 24-bit RLE, which nobody writes any more.
    if (compression == BMP_RGB) {
        encoding = (bitCount == 16 || bitCount == 32) ? BmpEncoding::Masked : BmpEncoding::Rgb;
    } else if (compression == BMP_RLE8 && bitCount == 8) {
        encoding = BmpEncoding::Rle8;
    } else if (compression == BMP_RLE4 && bitCount == 4) {
        encoding = BmpEncoding::Rle4;
    } else if (masked && kind == HeaderKind::Windows && (bitCount == 16 || bitCount == 32)) {
        encoding = BmpEncoding::Masked;
    } else {
        error = (compression == BMP_JPEG || compression == BMP_PNG) && kind == HeaderKind::Windows
                    ? "BMP: JPEG or PNG data inside a BMP file is not supported"
                    : "BMP: unsupported compression";
        return false;
    }
    return true;
}

// Masks of a masked file: in the header of V2 and later, right behind a 40-byte header
// otherwise; the defaults for uncompressed 16- and 32-bit files.
bool ReadMasks(RasterFile* file, const uint8_t* info, uint32_t headerSize, uint32_t compression,
               uint32_t bitCount, uint64_t available, BmpMasks& masks, uint32_t& maskBytes,
               const char*& error) {
    maskBytes = 0;
    const BmpMasks defaults = bitCount == 16 ? kDefault16Masks : kDefault32Masks;
    if (compression == BMP_RGB) {
        masks = defaults;
        return true;
    }
    uint8_t bytes[kMaskBytesWithAlpha] = {};
    if (headerSize >= kV2HeaderSize) {
        std::memcpy(bytes, info + kMasksAt, headerSize >= kV3HeaderSize ? kMaskBytesWithAlpha : kMaskBytes);
    } else {
        maskBytes = compression == BMP_ALPHABITFIELDS ? kMaskBytesWithAlpha : kMaskBytes;
        if (BMP_FILE_HEADER_SIZE + uint64_t(headerSize) + maskBytes > available ||
            !ReadExact(file, bytes, maskBytes)) {
            error = "BMP: the header runs past the end of the file";
            return false;
        }
    }
    masks = BmpMasks{Le32(bytes), Le32(bytes + 4), Le32(bytes + 8), Le32(bytes + 12)};
    // Some writers leave the colour masks empty and mean the usual layout.
    if (masks.red == 0 && masks.green == 0 && masks.blue == 0) {
        masks.red = defaults.red;
        masks.green = defaults.green;
        masks.blue = defaults.blue;
    }
    if (!ValidMask(masks.red, bitCount) || !ValidMask(masks.green, bitCount) ||
        !ValidMask(masks.blue, bitCount) || !ValidMask(masks.alpha, bitCount)) {
        error = "BMP: bad colour masks";
        return false;
    }
    return true;
}

// Places the palette and the pixels. The pixel offset of the file header wins; a palette
// shorter than the depth allows ends where the pixels begin. A pixel offset that points into
// the headers (some writers leave it 0) is replaced by the natural one.
bool PlacePaletteAndPixels(BmpLayout& layout, HeaderKind kind, uint32_t clrUsed, uint32_t dataOffset,
                           uint64_t paletteStart, uint64_t available, const char*& error) {
    layout.paletteOffset = paletteStart;
    layout.paletteEntrySize = kind == HeaderKind::Core ? kRgbTripleSize : kRgbQuadSize;
    uint64_t declared = (kind == HeaderKind::Core) ? 0 : clrUsed;
    if (layout.bitCount <= 8) {
        const uint32_t most = 1u << layout.bitCount;
        if (declared == 0) declared = most;
        layout.paletteEntries = uint32_t(declared < most ? declared : most);
    }
    const uint64_t entrySize = layout.paletteEntrySize;
    if (dataOffset >= paletteStart) {
        const uint64_t room = (dataOffset - paletteStart) / entrySize;
        if (room < layout.paletteEntries) layout.paletteEntries = uint32_t(room);
        layout.pixelOffset = dataOffset;
    } else {
        layout.pixelOffset = paletteStart + declared * entrySize;
    }
    if (paletteStart + layout.paletteEntries * entrySize > available) {
        error = "BMP: the palette runs past the end of the file";
        return false;
    }
    if (layout.pixelOffset >= available) {
        error = "BMP: pixel data offset past the end of the file";
        return false;
    }
    layout.pixelBytes = available - layout.pixelOffset;
    return true;
}

}  // namespace

bool ReadBmpLayout(RasterFile* file, BmpLayout& layout, const char*& error) {
    layout = BmpLayout{};
    const uint64_t available = RemainingBytes(file);
    uint8_t head[BMP_FILE_HEADER_SIZE + 4];
    if (!ReadExact(file, head, sizeof(head)) || head[0] != 'B' || head[1] != 'M') {
        error = "BMP: not a BMP file";
        return false;
    }
    const uint32_t dataOffset = Le32(head + 10);
    const uint32_t headerSize = Le32(head + BMP_FILE_HEADER_SIZE);
    HeaderKind kind;
    if (!HeaderKindForSize(headerSize, kind)) {
        error = "BMP: unsupported header size";
        return false;
    }
    uint8_t info[BMP_V5_HEADER_SIZE] = {};
    if (BMP_FILE_HEADER_SIZE + uint64_t(headerSize) > available || !ReadExact(file, info + 4, headerSize - 4)) {
        error = "BMP: the header runs past the end of the file";
        return false;
    }

    int64_t width;
    int64_t height;
    uint32_t compression = BMP_RGB;
    uint32_t clrUsed = 0;
    if (kind == HeaderKind::Core) {
        width = Le16(info + kCoreWidthAt);
        height = Le16(info + kCoreHeightAt);
        layout.bitCount = Le16(info + kCoreBitCountAt);
    } else {
        width = int32_t(Le32(info + kWidthAt));
        height = int32_t(Le32(info + kHeightAt));
        layout.bitCount = Le16(info + kBitCountAt);
        compression = Le32(info + kCompressionAt);
        layout.xPelsPerMeter = int32_t(Le32(info + kXPelsAt));
        layout.yPelsPerMeter = int32_t(Le32(info + kYPelsAt));
        clrUsed = Le32(info + kClrUsedAt);
    }
    // The planes field is not checked: it says nothing about the data and some writers get
    // it wrong in files that are otherwise sound.
    layout.topDown = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || height > INT32_MAX) {
        error = "BMP: bad width or height";
        return false;
    }
    layout.width = uint32_t(width);
    layout.height = uint32_t(height);
    if (!ValidBitCount(layout.bitCount)) {
        error = "BMP: unsupported bit depth";
        return false;
    }
    if (!EncodingFor(compression, layout.bitCount, kind, layout.encoding, error)) return false;

    uint32_t maskBytes = 0;
    if (layout.encoding == BmpEncoding::Masked &&
        !ReadMasks(file, info, headerSize, compression, layout.bitCount, available, layout.masks, maskBytes, error)) {
        return false;
    }
    const uint64_t paletteStart = uint64_t(BMP_FILE_HEADER_SIZE) + headerSize + maskBytes;
    if (!PlacePaletteAndPixels(layout, kind, clrUsed, dataOffset, paletteStart, available, error)) return false;

    if (!RasterImage::FitsMemoryLimit(layout.width, layout.height, layout.StoredDepth())) {
        error = RASTER_TOO_LARGE;
        return false;
    }
    // Uncompressed rows must all be there; only the last row may lack its padding.
    const bool compressed = layout.encoding == BmpEncoding::Rle8 || layout.encoding == BmpEncoding::Rle4;
    if (!compressed && layout.FileStride() * (layout.height - 1) + layout.RowDataBytes() > layout.pixelBytes) {
        error = "BMP: pixel data is truncated";
        return false;
    }
    return true;
}
