#include "image/formats/RasterImageICO.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImagePNG.h"

// Windows icons and cursors: a 6-byte header, a directory of 16-byte entries, and for each
// entry either a PNG file or a device-independent bitmap whose height counts twice (the
// colour rows, then a 1-bit AND mask where 1 means transparent).
//
// The directory's own width, height and depth fields are often wrong, so the entries are
// ranked by what their image headers say. The largest (then deepest) image is decoded; if
// it turns out damaged, the next one in rank is tried.

namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint16_t kTypeIcon = 1;
constexpr uint16_t kTypeCursor = 2;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Signature, then the IHDR chunk's length, type and 13 data bytes.
constexpr size_t kPngHeadSize = 33;
// Images tried before giving up: a damaged best image falls back to the next ones, but a
// directory of thousands of entries over one costly broken image must not be decoded
// thousands of times.
constexpr size_t kMaxAttempts = 4;

struct IconEntry {
    size_t offset;
    size_t size;  // clamped to the end of the file
    uint32_t width;
    uint32_t height;
    uint32_t depth;  // bits per pixel
    bool png;
};

bool IsPng(const uint8_t* p, size_t n) {
    return n >= sizeof(kPngSignature) && std::memcmp(p, kPngSignature, sizeof(kPngSignature)) == 0;
}

// Fills the picture size and depth from the entry's own image header; false when the
// entry holds no image this decoder understands.
bool ReadEntryImageHeader(const uint8_t* p, IconEntry& e) {
    if (IsPng(p, e.size)) {
        if (e.size < kPngHeadSize) return false;
        static constexpr uint8_t kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        const uint8_t colorType = p[25];
        if (colorType > 6 || kChannels[colorType] == 0) return false;
        e.width = Be32(p + 16);
        e.height = Be32(p + 20);
        e.depth = uint32_t(p[24]) * kChannels[colorType];
        e.png = true;
        return e.width > 0 && e.height > 0;
    }
    if (e.size < kInfoHeaderSize) return false;
    const uint32_t headerSize = Le32(p);
    const auto width = int32_t(Le32(p + 4));
    const auto doubledHeight = int32_t(Le32(p + 8));
    const uint16_t bits = Le16(p + 14);
    if (headerSize < kInfoHeaderSize || headerSize > e.size || width <= 0 || doubledHeight < 2) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    if (Le32(p + 16) != 0) return false;  // compressed bitmaps do not occur in icons
    e.width = uint32_t(width);
    e.height = uint32_t(doubledHeight) / 2;
    e.depth = bits;
    e.png = false;
    return true;
}

// Entries whose image could be read, best first: the largest, then the deepest.
std::vector<IconEntry> RankedEntries(const std::vector<uint8_t>& file, uint32_t count) {
    std::vector<IconEntry> entries;
    const size_t directoryEnd = kHeaderSize + size_t(count) * kEntrySize;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* d = file.data() + kHeaderSize + size_t(i) * kEntrySize;
        IconEntry e{};
        e.offset = Le32(d + 12);
        if (e.offset < directoryEnd || e.offset >= file.size()) continue;
        e.size = std::min<size_t>(Le32(d + 8), file.size() - e.offset);
        if (ReadEntryImageHeader(file.data() + e.offset, e)) entries.push_back(e);
    }
    // Entries sharing one image count once.
    std::sort(entries.begin(), entries.end(), [](const IconEntry& a, const IconEntry& b) { return a.offset < b.offset; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const IconEntry& a, const IconEntry& b) { return a.offset == b.offset; }),
                  entries.end());
    std::stable_sort(entries.begin(), entries.end(), [](const IconEntry& a, const IconEntry& b) {
        const uint64_t areaA = uint64_t(a.width) * a.height;
        const uint64_t areaB = uint64_t(b.width) * b.height;
        return areaA != areaB ? areaA > areaB : a.depth > b.depth;
    });
    return entries;
}

// Alpha plane from the AND mask (1 = transparent), or none when every pixel is opaque.
bool ApplyAndMask(RasterImage& image, const uint8_t* mask, uint32_t maskStride) {
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    auto transparent = [&](uint32_t x, uint32_t y) {
        return (mask[size_t(y) * maskStride + x / 8] >> (7 - (x & 7))) & 1;
    };
    bool any = false;
    for (uint32_t y = 0; y < height && !any; ++y) {
        for (uint32_t x = 0; x < width && !any; ++x) any = transparent(x, y);
    }
    if (!any) return true;
    if (!image.CreateAlpha()) return false;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* alpha = image.AlphaPointer(0, y);
        for (uint32_t x = 0; x < width; ++x) alpha[x] = transparent(x, y) ? 0 : RASTER_ALPHA_OPAQUE;
    }
    return true;
}

// A PNG entry, decoded by the PNG reader over the entry's bytes.
bool DecodePngEntry(RasterImage& image, uint8_t* p, size_t n) {
    RasterImagePNG png;
    png.CopyInfoFrom(image);
    png.ClearLastError();
    RasterMemFile stream(p, uint32_t(n));
    if (!png.Decode(&stream)) {
        image.SetLastError(png.LastErrorText());
        return false;
    }
    image.TakeOver(png);
    image.SetType(RASTER_FORMAT_ICO);
    return true;
}

// A bitmap entry: info header, palette, colour rows (bottom-up, padded to 4 bytes), then
// the AND mask rows. 32-bit colours carry their own alpha; when all of it is zero the mask
// decides, as for the other depths.
bool DecodeBitmapEntry(RasterImage& image, const uint8_t* p, size_t n) {
    const uint32_t headerSize = Le32(p);
    const uint32_t width = Le32(p + 4);
    const uint32_t height = Le32(p + 8) / 2;
    const uint32_t bits = Le16(p + 14);
    const uint32_t colorsUsed = Le32(p + 32);
    const uint32_t outBpp = bits == 32 ? 24 : bits;
    if (!image.CheckMemoryLimit(width, height, outBpp)) {
        return false;
    }
    uint32_t paletteEntries = 0;
    if (bits <= 8) {
        paletteEntries = colorsUsed == 0 ? 1u << bits : colorsUsed;
        if (paletteEntries > (1u << bits)) {
            image.SetLastError("ICO: invalid palette size");
            return false;
        }
    }
    const uint64_t pixelOffset = uint64_t(headerSize) + uint64_t(paletteEntries) * sizeof(RasterRgbQuad);
    const uint64_t colorStride = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t maskStride = (uint64_t(width) + 31) / 32 * 4;
    const uint64_t maskOffset = pixelOffset + colorStride * height;
    if (maskOffset > n) {
        image.SetLastError("ICO: image data truncated");
        return false;
    }
    // Some writers leave the mask out of 32-bit entries: then the colours' alpha is all.
    const bool hasMask = maskOffset + maskStride * height <= n;
    if (!image.Create(width, height, outBpp, RASTER_FORMAT_ICO)) return false;

    if (paletteEntries > 0) {
        RasterRgbQuad* palette = image.GetPalette();
        std::memcpy(palette, p + headerSize, size_t(paletteEntries) * sizeof(RasterRgbQuad));
        for (uint32_t i = 0; i < paletteEntries; ++i) palette[i].rgbReserved = 0;
    }
    const uint8_t* colors = p + pixelOffset;
    bool realAlpha = false;   // some alpha byte is not zero: the alpha is meant
    bool translucent = false;  // some alpha byte is below opaque: a plane is needed
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = colors + size_t(y) * colorStride;
        uint8_t* out = image.RowPointer(y);
        if (bits != 32) {
            std::memcpy(out, in, image.GetStride());
            continue;
        }
        for (uint32_t x = 0; x < width; ++x) {
            std::memcpy(out + 3 * size_t(x), in + 4 * size_t(x), 3);
            const uint8_t a = in[4 * size_t(x) + 3];
            realAlpha = realAlpha || a != 0;
            translucent = translucent || a != RASTER_ALPHA_OPAQUE;
        }
    }
    if (realAlpha) {
        if (!translucent) return true;
        if (!image.CreateAlpha()) {
            image.SetLastError("ICO: cannot allocate the alpha plane");
            return false;
        }
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* in = colors + size_t(y) * colorStride;
            uint8_t* alpha = image.AlphaPointer(0, y);
            for (uint32_t x = 0; x < width; ++x) alpha[x] = in[4 * size_t(x) + 3];
        }
    } else if (hasMask && !ApplyAndMask(image, p + maskOffset, uint32_t(maskStride))) {
        image.SetLastError("ICO: cannot allocate the alpha plane");
        return false;
    }
    return true;
}

}  // namespace

bool RasterImageICO::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t header[kHeaderSize];
    if (!ReadExact(file, header, kHeaderSize)) {
        SetLastError("ICO: file too short");
        return false;
    }
    const uint16_t type = Le16(header + 2);
    const uint16_t count = Le16(header + 4);
    if (Le16(header) != 0 || (type != kTypeIcon && type != kTypeCursor) || count == 0) {
        SetLastError("ICO: not an icon or cursor file");
        return false;
    }
    if (RemainingBytes(file) < size_t(count) * kEntrySize) {
        SetLastError("ICO: icon directory truncated");
        return false;
    }
    // Entries point anywhere in the file: keep the whole file at hand. A memory stream
    // addresses at most INT32_MAX bytes, which bounds what a PNG entry can use.
    std::vector<uint8_t> data(header, header + kHeaderSize);
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest, uint64_t(INT32_MAX) - kHeaderSize)) {
        SetLastError("ICO: cannot read the file");
        return false;
    }
    data.insert(data.end(), rest.begin(), rest.end());
    rest.clear();
    rest.shrink_to_fit();

    const std::vector<IconEntry> entries = RankedEntries(data, count);
    if (entries.empty()) {
        SetLastError("ICO: no readable image in the icon directory");
        return false;
    }
    for (size_t i = 0; i < entries.size() && i < kMaxAttempts; ++i) {
        const IconEntry& e = entries[i];
        const bool ok = e.png ? DecodePngEntry(*this, data.data() + e.offset, e.size)
                              : DecodeBitmapEntry(*this, data.data() + e.offset, e.size);
        if (ok) return true;
    }
    Destroy();    // the last entry's error text stays
    return false;
}

bool RasterImageICO::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "ICO");
}

bool RasterImageICO::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kHeaderSize && Le16(head) == 0 && (Le16(head + 2) == kTypeIcon || Le16(head + 2) == kTypeCursor) &&
           Le16(head + 4) != 0;
}
