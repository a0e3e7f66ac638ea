#include "image/formats/RasterImageBMP.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/formats/RasterBmpLayout.h"
#include "image/formats/RasterBmpPixels.h"
#include "image/formats/RasterFormatSupport.h"

// ---- reading -----------------------------------------------------------------------------

namespace {

constexpr uint32_t kMaxPaletteBytes = 256 * 4;
constexpr const char* kTruncated = "BMP: pixel data is truncated";
constexpr const char* kNoMemory = "BMP: not enough memory";

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using MallocBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

MallocBuffer Allocate(uint64_t bytes) {
    return MallocBuffer(static_cast<uint8_t*>(std::malloc(size_t(bytes ? bytes : 1))));
}

// dpi = floor(ppm * 254 / 10000 + 0.5); 0 (unknown) lets the image keep its default.
int32_t DpiFromPelsPerMeter(int32_t ppm) {
    if (ppm <= 0) return 0;
    return int32_t((int64_t(ppm) * 254 + 5000) / 10000);
}

bool AllEqual(const uint8_t* bytes, size_t n) {
    for (size_t i = 1; i < n; ++i) {
        if (bytes[i] != bytes[0]) return false;
    }
    return true;
}



// The palette of the file into the picture's palette (reserved bytes cleared: they would
// later be taken for alpha). A file without palette gets a grey ramp.
bool ReadPalette(RasterFile* file, int64_t start, const BmpLayout& layout, RasterImage& image) {
    RasterRgbQuad* palette = image.GetPalette();
    if (!palette) return false;
    if (layout.paletteEntries == 0) {
        const uint32_t entries = 1u << layout.bitCount;
        for (uint32_t i = 0; i < entries; ++i) {
            const auto v = uint8_t(i * 255 / (entries - 1));
            palette[i] = RasterRgbQuad{v, v, v, 0};
        }
        return true;
    }
    uint8_t bytes[kMaxPaletteBytes];
    const size_t size = size_t(layout.paletteEntries) * layout.paletteEntrySize;
    if (!file->Seek(start + int64_t(layout.paletteOffset), RASTER_SEEK_SET) || !ReadExact(file, bytes, size)) return false;
    for (uint32_t i = 0; i < layout.paletteEntries; ++i) {
        const uint8_t* entry = bytes + size_t(i) * layout.paletteEntrySize;
        palette[i] = RasterRgbQuad{entry[0], entry[1], entry[2], 0};
    }
    return true;
}

// Reads the uncompressed rows in file order; each lands in buffer (or straight in the picture
// row when buffer is null) and is then handed to finish(buffer or row, stored row). The last
// file row may lack its padding.
template <class Finish>
bool ReadRows(RasterFile* file, const BmpLayout& layout, RasterImage& image, uint8_t* buffer, Finish finish) {
    const uint32_t height = layout.height;
    const size_t stride = size_t(layout.FileStride());
    for (uint32_t i = 0; i < height; ++i) {
        if (DecodeStopRequested(image)) return false;
        const uint32_t row = layout.topDown ? height - 1 - i : i;
        uint8_t* target = buffer ? buffer : image.RowPointer(row);
        const size_t want = (i + 1 == height) ? size_t(layout.RowDataBytes()) : stride;
        if (!ReadExact(file, target, want)) return false;
        if (want < stride) std::memset(target + want, 0, stride - want);
        finish(target, row);
    }
    return true;
}

bool ReadIndexedOrBgrRows(RasterFile* file, const BmpLayout& layout, RasterImage& image) {
    return ReadRows(file, layout, image, nullptr, [](const uint8_t*, uint32_t) {});
}

bool ReadTwoBitRows(RasterFile* file, const BmpLayout& layout, RasterImage& image, const char*& error) {
    MallocBuffer buffer = Allocate(layout.FileStride());
    if (!buffer) {
        error = kNoMemory;
        return false;
    }
    const uint32_t stride = image.GetStride();
    return ReadRows(file, layout, image, buffer.get(), [&](const uint8_t* in, uint32_t row) {
        uint8_t* out = image.RowPointer(row);
        std::memset(out, 0, stride);
        ExpandTwoBitRow(in, layout.width, out);
    });
}

// 16- and 32-bit pixels. An alpha channel whose bytes are all the same carries nothing (many
// writers leave it 0) and gives no alpha plane.
bool ReadMaskedRows(RasterFile* file, const BmpLayout& layout, RasterImage& image, const char*& error) {
    const BmpMaskedRows rows(layout.masks, layout.bitCount);
    MallocBuffer buffer = Allocate(layout.FileStride());
    const size_t pixels = size_t(layout.width) * layout.height;
    MallocBuffer alpha = rows.HasAlpha() ? Allocate(pixels) : nullptr;
    if (!buffer || (rows.HasAlpha() && !alpha)) {
        error = kNoMemory;
        return false;
    }
    const uint32_t stride = image.GetStride();
    const size_t used = size_t(layout.width) * 3;
    const bool ok = ReadRows(file, layout, image, buffer.get(), [&](const uint8_t* in, uint32_t row) {
        uint8_t* out = image.RowPointer(row);
        uint8_t* alphaRow = alpha ? alpha.get() + size_t(row) * layout.width : nullptr;
        rows.Convert(in, layout.width, out, alphaRow);
        std::memset(out + used, 0, stride - used);
    });
    if (!ok) return false;
    if (alpha && !AllEqual(alpha.get(), pixels)) image.AdoptAlphaPlane(alpha.release());
    return true;
}

bool ReadRleRows(RasterFile* file, const BmpLayout& layout, RasterImage& image, const char*& error) {
    std::memset(image.GetBits(), 0, image.GetHeader().biSizeImage);
    MallocBuffer data = Allocate(layout.pixelBytes);
    if (!data) {
        error = kNoMemory;
        return false;
    }
    if (!ReadExact(file, data.get(), size_t(layout.pixelBytes))) return false;
    return ExpandBmpRle(data.get(), size_t(layout.pixelBytes), layout.encoding == BmpEncoding::Rle4,
                        layout.topDown, image);
}

bool ReadPixels(RasterFile* file, const BmpLayout& layout, RasterImage& image, const char*& error) {
    switch (layout.encoding) {
        case BmpEncoding::Rle8:
        case BmpEncoding::Rle4: return ReadRleRows(file, layout, image, error);
        case BmpEncoding::Masked: return ReadMaskedRows(file, layout, image, error);
        case BmpEncoding::Rgb: break;
    }
    return layout.bitCount == 2 ? ReadTwoBitRows(file, layout, image, error) : ReadIndexedOrBgrRows(file, layout, image);
}

}  // namespace

bool RasterImageBMP::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    const int64_t start = file->Tell();
    BmpLayout layout;
    const char* layoutError = nullptr;
    if (start < 0 || !ReadBmpLayout(file, layout, layoutError)) {
        // A refusal for size is told with the size the layout read.
        if (layoutError != nullptr && std::strcmp(layoutError, RASTER_TOO_LARGE) == 0) {
            return CheckMemoryLimit(layout.width, layout.height, layout.StoredDepth());
        }
        SetLastError(layoutError ? layoutError : "BMP: not a BMP file");
        return false;
    }
    if (!Create(layout.width, layout.height, layout.StoredDepth(), RASTER_FORMAT_BMP)) return false;
    SetXDpi(DpiFromPelsPerMeter(layout.xPelsPerMeter));
    SetYDpi(DpiFromPelsPerMeter(layout.yPelsPerMeter));
    if (layout.bitCount <= 8 && !ReadPalette(file, start, layout, *this)) {
        Destroy();
        SetLastError("BMP: the palette cannot be read");
        return false;
    }
    const char* error = kTruncated;
    if (!file->Seek(start + int64_t(layout.pixelOffset), RASTER_SEEK_SET) || !ReadPixels(file, layout, *this, error)) {
        Destroy();
        SetLastError(IsEscaped() ? RASTER_DECODE_STOPPED : error);
        return false;
    }
    return true;
}

// ---- writing -----------------------------------------------------------------------------

namespace {

constexpr uint32_t kBgraBitCount = 32;

void PutFileHeader(uint8_t* out, uint32_t fileSize, uint32_t pixelOffset) {
    out[0] = 'B';
    out[1] = 'M';
    PutLe32(out + 2, fileSize);
    PutLe32(out + 6, 0);   // two reserved 16-bit words
    PutLe32(out + 10, pixelOffset);
}

bool WriteAll(RasterFile* file, const void* data, size_t size) {
    return size == 0 || file->Write(data, 1, size) == size;
}

void PutInfoHeader(uint8_t* out, const RasterBitmapInfoHeader& h) {
    PutLe32(out, h.biSize);
    PutLe32(out + 4, uint32_t(h.biWidth));
    PutLe32(out + 8, uint32_t(h.biHeight));
    PutLe16(out + 12, h.biPlanes);
    PutLe16(out + 14, h.biBitCount);
    PutLe32(out + 16, h.biCompression);
    PutLe32(out + 20, h.biSizeImage);
    PutLe32(out + 24, uint32_t(h.biXPelsPerMeter));
    PutLe32(out + 28, uint32_t(h.biYPelsPerMeter));
    PutLe32(out + 32, h.biClrUsed);
    PutLe32(out + 36, h.biClrImportant);
}

bool WriteHeaders(RasterFile* file, const RasterBitmapInfoHeader& header, uint32_t paletteBytes) {
    uint8_t bytes[BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE];
    const uint32_t pixelOffset = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + paletteBytes;
    PutFileHeader(bytes, pixelOffset + header.biSizeImage, pixelOffset);
    PutInfoHeader(bytes + BMP_FILE_HEADER_SIZE, header);
    return WriteAll(file, bytes, sizeof(bytes));
}

// The storage block as it is: header, palette, bottom-up padded rows.
bool WriteStorageBlock(RasterFile* file, const RasterImage& image) {
    const RasterBitmapInfoHeader& header = image.GetHeader();
    const uint32_t paletteBytes = header.biClrUsed * uint32_t(sizeof(RasterRgbQuad));
    return WriteHeaders(file, header, paletteBytes) &&
           WriteAll(file, image.GetBlock() + BMP_INFO_HEADER_SIZE, image.GetBlockSize() - BMP_INFO_HEADER_SIZE);
}

// A 24-bit picture with an alpha plane: a 32-bit file of blue, green, red, alpha pixels in
// stored row order.
bool WriteBgra(RasterFile* file, const RasterImage& image) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    RasterBitmapInfoHeader header = image.GetHeader();
    header.biBitCount = kBgraBitCount;
    header.biCompression = BMP_RGB;
    // The file's size fields hold 32 bits: a larger picture cannot be written as one.
    const uint64_t pixelBytes = uint64_t(width) * height * 4;
    if (pixelBytes > UINT32_MAX - BMP_FILE_HEADER_SIZE - sizeof(header)) return false;
    header.biSizeImage = uint32_t(pixelBytes);
    header.biClrUsed = 0;
    header.biClrImportant = 0;
    MallocBuffer row = Allocate(uint64_t(width) * 4);
    if (!row || !WriteHeaders(file, header, 0)) return false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* bgr = image.RowPointer(y);
        const uint8_t* alpha = image.AlphaPointer(0, y);
        uint8_t* out = row.get();
        for (uint32_t x = 0; x < width; ++x, bgr += 3, out += 4) {
            out[0] = bgr[0];
            out[1] = bgr[1];
            out[2] = bgr[2];
            out[3] = alpha[x];
        }
        if (!WriteAll(file, row.get(), size_t(width) * 4)) return false;
    }
    return true;
}

}  // namespace

bool RasterImageBMP::Encode(RasterFile* file) {
    if (!CanEncode(*this, file)) return false;
    const bool ok = (GetBpp() == 24 && HasAlpha()) ? WriteBgra(file, *this) : WriteStorageBlock(file, *this);
    if (!ok) SetLastError("BMP: the file could not be written");
    return ok;
}

bool RasterImageBMP::Sniff(const uint8_t* head, size_t count, uint64_t) {
    // What ReadBmpLayout reads first: the file header and the info header's size, "BM" first.
    return count >= BMP_FILE_HEADER_SIZE + 4 && head[0] == 'B' && head[1] == 'M';
}
