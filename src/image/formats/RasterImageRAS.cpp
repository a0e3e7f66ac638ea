// Sun raster pictures: a 32-byte big-endian header (magic 0x59a66a95), an optional colour
// map (red, green and blue planes), then rows padded to 16 bits, stored plainly or with the
// byte-run coding of type 2 (0x80 escapes: 0x80 0 is one 0x80 byte, 0x80 n v is n + 1
// copies of v). 1, 8, 24 and 32 bits per pixel; 24/32-bit pixels are blue-green-red except
// in type 3 files, which store red-green-blue.
#include <cstring>
#include <vector>

#include "image/formats/RasterImageRAS.h"

#include "image/formats/RasterDecodeSupport.h"
#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint32_t kSunMagic = 0x59A66A95;
constexpr uint32_t kSunTypeOld = 0;
constexpr uint32_t kSunTypeStandard = 1;
constexpr uint32_t kSunTypeByteEncoded = 2;
constexpr uint32_t kSunTypeRgb = 3;
constexpr uint32_t kSunMapNone = 0;
constexpr uint32_t kSunMapRgb = 1;
constexpr uint32_t kSunMapRaw = 2;
constexpr uint8_t kSunRunEscape = 0x80;
// Three coded bytes give at most 256 pixel bytes.
constexpr uint64_t kSunRunMaxExpansion = 86;
constexpr uint32_t kMaxPaletteEntries = 256;

struct SunHeader {
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t type;
    uint32_t mapType;
    uint32_t mapLength;
};

bool ReadSunHeader(RasterImage& image, RasterFile* file, SunHeader& header) {
    uint8_t raw[32];
    if (!ReadExact(file, raw, sizeof(raw)) || Be32(raw) != kSunMagic) {
        image.SetLastError("RAS: not a Sun raster file");
        return false;
    }
    header = SunHeader{Be32(raw + 4), Be32(raw + 8), Be32(raw + 12), Be32(raw + 20), Be32(raw + 24), Be32(raw + 28)};
    if (header.width == 0 || header.height == 0 || header.width > 0x7FFFFFFF || header.height > 0x7FFFFFFF) {
        image.SetLastError("RAS: bad picture size");
        return false;
    }
    if (header.depth != 1 && header.depth != 8 && header.depth != 24 && header.depth != 32) {
        image.SetLastError("RAS: unsupported bit depth");
        return false;
    }
    if (header.type != kSunTypeOld && header.type != kSunTypeStandard && header.type != kSunTypeByteEncoded &&
        header.type != kSunTypeRgb) {
        image.SetLastError("RAS: unsupported raster type");
        return false;
    }
    if (header.mapType > kSunMapRaw || (header.mapType == kSunMapNone && header.mapLength != 0) ||
        (header.mapType == kSunMapRgb && (header.mapLength % 3 != 0 || header.mapLength > 3 * kMaxPaletteEntries))) {
        image.SetLastError("RAS: bad colour map");
        return false;
    }
    return true;
}

// Palette from the colour map (entries beyond it stay black); a missing map gives white-on-
// black bits for 1-bit pictures and a grey ramp for 8-bit ones.
bool ReadSunPalette(RasterImage& image, RasterFile* file, const SunHeader& header) {
    std::vector<uint8_t> map(header.mapLength);
    if (!ReadExact(file, map.data(), map.size())) {
        image.SetLastError("RAS: truncated colour map");
        return false;
    }
    if (header.depth > 8) return true;  // a map on a true-colour picture is not applied
    if (header.mapType != kSunMapRgb || header.mapLength == 0) {
        if (header.depth == 8) {
            image.SetGrayPalette();
        } else {
            const RasterRgbQuad bits[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};  // bit 1 is black
            image.SetPalette(bits, 2);
        }
        return true;
    }
    const uint32_t entries = header.mapLength / 3;
    std::vector<RasterRgbQuad> palette(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        palette[i] = RasterRgbQuad{map[2 * entries + i], map[entries + i], map[i], 0};
    }
    image.SetPalette(palette.data(), entries);
    return true;
}

// The pixel byte stream, plain or run-coded.
class SunPixelStream {
public:
    SunPixelStream(RasterFile* file, bool runCoded) : m_file(file), m_runCoded(runCoded) {}

    bool Read(uint8_t* out, size_t n) {
        if (!m_runCoded) return ReadExact(m_file, out, n);
        while (n > 0) {
            if (m_runLeft == 0 && !NextRun()) return false;
            const size_t take = n < m_runLeft ? n : m_runLeft;
            std::memset(out, m_runValue, take);
            out += take;
            n -= take;
            m_runLeft -= take;
        }
        return true;
    }

private:
    bool NextRun() {
        uint8_t b;
        if (!ReadU8(m_file, b)) return false;
        m_runLeft = 1;
        m_runValue = b;
        if (b != kSunRunEscape) return true;
        uint8_t count;
        if (!ReadU8(m_file, count)) return false;
        if (count == 0) return true;  // a literal 0x80
        if (!ReadU8(m_file, m_runValue)) return false;
        m_runLeft = size_t(count) + 1;
        return true;
    }

    RasterFile* m_file;
    bool m_runCoded;
    size_t m_runLeft = 0;
    uint8_t m_runValue = 0;
};

// Moves one file row into stored row y of the picture.
void PutSunRow(RasterImage& image, uint32_t y, const uint8_t* src, const SunHeader& header, bool& padSeen) {
    uint8_t* dst = image.RowPointer(StoredRow(image, y));
    const uint32_t width = image.GetWidth();
    if (header.depth <= 8) {
        std::memcpy(dst, src, (size_t(width) * header.depth + 7) / 8);
        return;
    }
    const bool rgbOrder = header.type == kSunTypeRgb;
    const uint32_t step = header.depth / 8;
    const uint32_t first = step == 4 ? 1 : 0;  // 32-bit pixels lead with a pad (or alpha) byte
    uint8_t* alpha = image.HasAlpha() ? image.AlphaPointer(0, StoredRow(image, y)) : nullptr;
    for (uint32_t x = 0; x < width; ++x, src += step, dst += 3) {
        const uint8_t* c = src + first;
        dst[0] = rgbOrder ? c[2] : c[0];
        dst[1] = c[1];
        dst[2] = rgbOrder ? c[0] : c[2];
        if (step == 4) {
            if (src[0] != 0) padSeen = true;
            if (alpha) alpha[x] = src[0];
        }
    }
}

bool ReadSunPixels(RasterImage& image, RasterFile* file, const SunHeader& header) {
    const size_t rowBytes = (size_t(header.width) * header.depth + 15) / 16 * 2;
    std::vector<uint8_t> row(rowBytes);
    SunPixelStream stream(file, header.type == kSunTypeByteEncoded);
    bool padSeen = false;
    for (uint32_t y = 0; y < header.height; ++y) {
        if (!stream.Read(row.data(), rowBytes)) return false;
        PutSunRow(image, y, row.data(), header, padSeen);
    }
    // 32-bit pictures whose leading bytes vary carry alpha there; all zero is plain padding.
    if (!padSeen) image.DeleteAlpha();
    return true;
}

}  // namespace

bool RasterImageRAS::Decode(RasterFile* file) {
    if (!StartStreamedFormatData(*this, file, &Sniff, "RAS")) return false;
    RasterImage& image = *this;
    SunHeader header{};
    if (!ReadSunHeader(image, file, header)) return false;
    const uint64_t pixelBytes = (uint64_t(header.width) * header.depth + 15) / 16 * 2 * header.height;
    const uint64_t available = RemainingBytes(file);
    const uint64_t needed = header.mapLength + (header.type == kSunTypeByteEncoded
                                                    ? (pixelBytes + kSunRunMaxExpansion - 1) / kSunRunMaxExpansion
                                                    : pixelBytes);
    if (available < needed) {
        image.SetLastError("RAS: file too short for its picture size");
        return false;
    }
    const uint32_t bpp = header.depth > 8 ? 24 : header.depth;
    if (!CreateDecodedImage(image, header.width, header.height, bpp)) return false;
    if (!ReadSunPalette(image, file, header)) {
        image.Destroy();
        return false;
    }
    if ((header.depth == 32 && !CreateDecodedAlpha(image)) || !ReadSunPixels(image, file, header)) {
        image.Destroy();
        image.SetLastError("RAS: damaged or truncated picture data");
        return false;
    }
    return true;
}

bool RasterImageRAS::Encode(RasterFile*) { return RasterFormatNotWritable(*this, "RAS"); }

bool RasterImageRAS::Sniff(const uint8_t* head, size_t count, uint64_t) { return count >= 4 && Be32(head) == kSunMagic; }
