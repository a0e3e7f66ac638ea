// Reading and checking the headers of a BMP file: the 14-byte file header, every info header
// variant (OS/2 1.x core, OS/2 2.x, Windows INFO, V2/V3, V4, V5) and the colour masks, turned
// into one layout that says where the palette and the pixels are and how to read them.
#pragma once

#include <cstdint>

class RasterFile;

// Sizes and values of the BMP file format.
constexpr uint32_t BMP_FILE_HEADER_SIZE = 14;
constexpr uint32_t BMP_CORE_HEADER_SIZE = 12;
constexpr uint32_t BMP_INFO_HEADER_SIZE = 40;
constexpr uint32_t BMP_V5_HEADER_SIZE = 124;
constexpr uint32_t BMP_RGB = 0;
constexpr uint32_t BMP_RLE8 = 1;
constexpr uint32_t BMP_RLE4 = 2;
constexpr uint32_t BMP_BITFIELDS = 3;
constexpr uint32_t BMP_JPEG = 4;
constexpr uint32_t BMP_PNG = 5;
constexpr uint32_t BMP_ALPHABITFIELDS = 6;

enum class BmpEncoding { Rgb, Rle8, Rle4, Masked };

// Where the bits of each channel of a 16- or 32-bit pixel are. A zero alpha mask means the
// file has no alpha channel.
struct BmpMasks {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
    uint32_t alpha;
};

struct BmpLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool topDown = false;          // negative height in the file
    uint32_t bitCount = 0;         // 1, 2, 4, 8, 16, 24 or 32
    BmpEncoding encoding = BmpEncoding::Rgb;
    BmpMasks masks{};              // Masked encoding only
    // Offsets count from the first byte of the file header.
    uint64_t paletteOffset = 0;
    uint32_t paletteEntries = 0;   // entries present in the file, at most 2^bitCount
    uint32_t paletteEntrySize = 4; // 3 for OS/2 1.x files
    uint64_t pixelOffset = 0;
    uint64_t pixelBytes = 0;       // bytes from pixelOffset to the end of the data
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;

    // Bytes of one uncompressed file row, padded to a multiple of 4.
    uint64_t FileStride() const { return ((uint64_t(width) * bitCount + 31) / 32) * 4; }
    // Bytes of one file row that carry pixels (the rest is padding).
    uint64_t RowDataBytes() const { return (uint64_t(width) * bitCount + 7) / 8; }
    // Depth of the picture that holds the pixels: 2-bit files become 4-bit palette
    // pictures, 16- and 32-bit files 24-bit ones.
    uint32_t StoredDepth() const { return bitCount == 2 ? 4 : bitCount <= 8 ? bitCount : 24; }
};

// Reads the headers at the stream's position. Every size and offset is checked against the
// bytes the stream holds; on failure error names the fault and false is returned. The
// signature is checked first, so that content detection rejects other formats cheaply.
bool ReadBmpLayout(RasterFile* file, BmpLayout& layout, const char*& error);
