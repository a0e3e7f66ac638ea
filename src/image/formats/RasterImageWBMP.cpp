#include "image/formats/RasterImageWBMP.h"

#include <cstring>

#include "image/formats/RasterFormatSupport.h"

// Wireless bitmap, type 0 (the only type in use): a type field, a fixed-header byte, width
// and height as multi-byte integers, then 1-bit rows padded to whole bytes, top row first,
// most significant bit leftmost, 1 = white.
//
// The format has no signature, so the checks below are what keep other data (tried before
// or after this format during detection) from passing as a WBMP: type 0, fixed header 0,
// minimally encoded integers of at most four bytes, and a remaining length that is exactly
// the size of the rows.

namespace {

// Four groups of seven bits (up to 268,435,455) are far beyond any real WBMP side.
constexpr int kMaxIntegerBytes = 4;

// Seven bits per byte, most significant group first; the high bit says "more follows".
bool ReadMultiByteInteger(RasterFile* file, uint32_t& value) {
    value = 0;
    for (int i = 0; i < kMaxIntegerBytes; ++i) {
        uint8_t byte;
        if (!ReadU8(file, byte)) return false;
        // A leading empty group is never written by an encoder: treat it as foreign data.
        if (i == 0 && byte == 0x80) return false;
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

// The same over bytes in memory, from at on; at moves past the integer.
bool ParseMultiByteInteger(const uint8_t* bytes, size_t count, size_t& at, uint32_t& value) {
    value = 0;
    for (int i = 0; i < kMaxIntegerBytes; ++i) {
        if (at >= count) return false;
        const uint8_t byte = bytes[at++];
        if (i == 0 && byte == 0x80) return false;
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

}  // namespace

bool RasterImageWBMP::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    uint32_t type = 0;
    uint8_t fixedHeader = 0;
    if (!ReadMultiByteInteger(file, type) || type != 0 || !ReadU8(file, fixedHeader) || fixedHeader != 0) {
        SetLastError("WBMP: not a type 0 wireless bitmap");
        return false;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    if (!ReadMultiByteInteger(file, width) || !ReadMultiByteInteger(file, height) || width == 0 || height == 0) {
        SetLastError("WBMP: invalid picture size");
        return false;
    }
    const uint32_t rowBytes = (width + 7) / 8;
    const uint64_t needed = uint64_t(rowBytes) * height;
    const uint64_t remaining = RemainingBytes(file);
    if (remaining < needed) {
        SetLastError("WBMP: image data truncated");
        return false;
    }
    if (remaining > needed) {
        SetLastError("WBMP: data size does not match the picture size");
        return false;
    }
    if (!Create(width, height, 1, RASTER_FORMAT_WBMP)) return false;

    const RasterRgbQuad palette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    SetPalette(palette, 2);
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t* stored = RowPointer(height - 1 - row);
        std::memset(stored, 0, GetStride());
        if (!ReadExact(file, stored, rowBytes)) {
            Destroy();
            SetLastError("WBMP: image data truncated");
            return false;
        }
    }
    return true;
}

bool RasterImageWBMP::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "WBMP");
}

bool RasterImageWBMP::Sniff(const uint8_t* head, size_t count, uint64_t size) {
    // Every check of Decode before the rows: the header, then the exact length of the rows.
    size_t at = 0;
    uint32_t type = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    if (!ParseMultiByteInteger(head, count, at, type) || type != 0 || at >= count || head[at++] != 0) return false;
    if (!ParseMultiByteInteger(head, count, at, width) || !ParseMultiByteInteger(head, count, at, height) ||
        width == 0 || height == 0) {
        return false;
    }
    const uint64_t needed = uint64_t((width + 7) / 8) * height;
    return size >= at && size - at == needed;
}
