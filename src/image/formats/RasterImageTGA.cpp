#include "image/formats/RasterImageTGA.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/RasterFormatSupport.h"

// Truevision TGA: an 18-byte header, an optional identification field, an optional colour
// map, then the pixels, uncompressed or run-length encoded; a TGA 2.0 file ends with a
// 26-byte footer that may point at an extension area telling what the alpha bits mean.
//
// TGA has no leading signature, so the header is checked for plausibility before anything
// else (detection tries this format on data of other kinds), and every size is checked
// against the data present before the picture is allocated.

namespace {

constexpr size_t kHeaderSize = 18;
constexpr size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";  // followed by a NUL in the file
constexpr size_t kExtensionAreaSize = 495;
constexpr size_t kAttributesTypeOffset = 494;
// Pixels one RLE packet covers at most.
constexpr uint32_t kMaxPacketPixels = 128;

enum : uint8_t { kTypeColorMapped = 1, kTypeTrueColor = 2, kTypeGrey = 3, kRleFlag = 8 };

// Values of the extension area's attributes type.
enum : uint8_t {
    kAttributesNone = 0,
    kAttributesIgnore = 1,
    kAttributesRetain = 2,
    kAttributesAlpha = 3,
    kAttributesPremultiplied = 4,
};

struct TgaHeader {
    uint8_t idLength;
    uint8_t colorMapType;
    uint8_t imageType;
    uint16_t mapFirst;
    uint16_t mapLength;
    uint8_t mapEntryBits;
    uint16_t width;
    uint16_t height;
    uint8_t pixelBits;
    uint8_t descriptor;

    uint8_t BaseType() const { return uint8_t(imageType & ~kRleFlag); }
    bool Rle() const { return (imageType & kRleFlag) != 0; }
    uint32_t AlphaBits() const { return descriptor & 0x0Fu; }
    bool RightToLeft() const { return (descriptor & 0x10) != 0; }
    bool TopDown() const { return (descriptor & 0x20) != 0; }
    uint32_t PixelBytes() const { return (pixelBits + 7u) / 8u; }
    uint32_t MapEntryBytes() const { return (mapEntryBits + 7u) / 8u; }
    size_t MapBytes() const { return colorMapType ? size_t(mapLength) * MapEntryBytes() : 0; }
};

TgaHeader ParseHeader(const uint8_t* p) {
    TgaHeader h;
    h.idLength = p[0];
    h.colorMapType = p[1];
    h.imageType = p[2];
    h.mapFirst = Le16(p + 3);
    h.mapLength = Le16(p + 5);
    h.mapEntryBits = p[7];
    // p[8..11]: screen origin, not needed for a still picture.
    h.width = Le16(p + 12);
    h.height = Le16(p + 14);
    h.pixelBits = p[16];
    h.descriptor = p[17];
    return h;
}

bool IsColorEntryDepth(uint32_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Null when the header is plausible, otherwise the reason it is not.
const char* HeaderProblem(const TgaHeader& h) {
    const uint8_t base = h.BaseType();
    if ((h.imageType & ~(kRleFlag | 3)) != 0 || base == 0) return "TGA: unknown or unsupported image type";
    if (h.colorMapType > 1) return "TGA: invalid colour map type";
    if (h.colorMapType == 1) {
        if (!IsColorEntryDepth(h.mapEntryBits) || h.mapLength == 0) return "TGA: invalid colour map";
    } else if (h.mapLength != 0 || (h.mapEntryBits != 0 && !IsColorEntryDepth(h.mapEntryBits))) {
        return "TGA: invalid colour map";
    }
    if (h.width == 0 || h.height == 0) return "TGA: invalid picture size";
    if ((h.descriptor & 0xC0) != 0 || h.AlphaBits() > 8) return "TGA: unsupported image descriptor";
    switch (base) {
        case kTypeColorMapped:
            if (h.colorMapType != 1 || h.pixelBits != 8) return "TGA: unsupported colour-mapped depth";
            break;
        case kTypeTrueColor:
            if (!IsColorEntryDepth(h.pixelBits)) return "TGA: unsupported true-colour depth";
            break;
        default:  // grey
            if (h.pixelBits != 8) return "TGA: unsupported grey depth";
            break;
    }
    return nullptr;
}

// One colour of 15, 16, 24 or 32 bits as stored in the file (little-endian, blue first).
// The fourth byte is the alpha or attribute value: 32-bit alpha as it is, the 16-bit
// attribute bit as 0 or 255, 255 for depths without alpha.
RasterRgbQuad DecodeColor(const uint8_t* p, uint32_t bits) {
    if (bits <= 16) {
        const uint16_t v = Le16(p);
        auto expand = [](uint32_t five) { return uint8_t((five << 3) | (five >> 2)); };
        return RasterRgbQuad{expand(v & 0x1Fu), expand((v >> 5) & 0x1Fu), expand((v >> 10) & 0x1Fu),
                             uint8_t((v & 0x8000u) ? 255 : 0)};
    }
    return RasterRgbQuad{p[0], p[1], p[2], bits == 32 ? p[3] : uint8_t(255)};
}

// Hands out the raw pixels row by row in file order, expanding RLE packets. A packet may
// run on into the next row; whatever it holds beyond the last pixel is ignored.
class PixelSource {
public:
    PixelSource(const uint8_t* data, size_t size, uint32_t pixelBytes, bool rle)
        : m_data(data), m_size(size), m_pixelBytes(pixelBytes), m_rle(rle) {}

    // Fills count pixels; false when the data ends first.
    bool Read(uint8_t* out, uint32_t count) {
        if (!m_rle) return Take(out, size_t(count) * m_pixelBytes);
        while (count > 0) {
            if (m_packetLeft == 0 && !StartPacket()) return false;
            const uint32_t n = std::min(count, m_packetLeft);
            if (m_repeat) {
                for (uint32_t i = 0; i < n; ++i) std::memcpy(out + size_t(i) * m_pixelBytes, m_value, m_pixelBytes);
            } else if (!Take(out, size_t(n) * m_pixelBytes)) {
                return false;
            }
            out += size_t(n) * m_pixelBytes;
            count -= n;
            m_packetLeft -= n;
        }
        return true;
    }

private:
    bool Take(uint8_t* out, size_t n) {
        if (m_size - m_pos < n) return false;
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

    bool StartPacket() {
        if (m_pos >= m_size) return false;
        const uint8_t head = m_data[m_pos++];
        m_packetLeft = (head & 0x7Fu) + 1;
        m_repeat = (head & 0x80) != 0;
        if (m_repeat) return Take(m_value, m_pixelBytes);
        return true;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    uint32_t m_pixelBytes;
    bool m_rle;
    uint32_t m_packetLeft = 0;
    bool m_repeat = false;
    uint8_t m_value[4] = {};
};

// The attributes type of a TGA 2.0 extension area, or -1 when the file has none.
// rest holds the file from the end of the header on.
int AttributesType(const std::vector<uint8_t>& rest) {
    if (rest.size() < kFooterSize) return -1;
    const uint8_t* footer = rest.data() + rest.size() - kFooterSize;
    if (std::memcmp(footer + 8, kFooterSignature, sizeof(kFooterSignature)) != 0) return -1;
    const uint32_t offset = Le32(footer);
    if (offset < kHeaderSize) return -1;
    const uint64_t start = uint64_t(offset) - kHeaderSize;
    if (start + kExtensionAreaSize > rest.size() - kFooterSize) return -1;
    if (Le16(rest.data() + start) != kExtensionAreaSize) return -1;
    return rest[start + kAttributesTypeOffset];
}

// Fewest bytes the pixel data can take for the header's picture.
uint64_t MinimumPixelBytes(const TgaHeader& h) {
    const uint64_t pixels = uint64_t(h.width) * h.height;
    if (!h.Rle()) return pixels * h.PixelBytes();
    return (pixels + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + h.PixelBytes());
}

void Unpremultiply(uint8_t* bgr, uint8_t alpha) {
    if (alpha == 0 || alpha == 255) return;
    for (int i = 0; i < 3; ++i) bgr[i] = uint8_t(std::min(255u, (bgr[i] * 255u + alpha / 2u) / alpha));
}

}  // namespace

bool RasterImageTGA::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t headerBytes[kHeaderSize];
    if (!ReadExact(file, headerBytes, kHeaderSize)) {
        SetLastError("TGA: file too short");
        return false;
    }
    const TgaHeader h = ParseHeader(headerBytes);
    if (const char* problem = HeaderProblem(h)) {
        SetLastError(problem);
        return false;
    }
    const bool palette = h.BaseType() != kTypeTrueColor;
    const uint32_t outBpp = palette ? 8 : 24;
    if (!CheckMemoryLimit(h.width, h.height, outBpp)) {
        return false;
    }
    // Header plausible: the rest of the file is needed for the colour map, the pixels and
    // the footer.
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest)) {
        SetLastError("TGA: cannot read the file");
        return false;
    }
    const size_t pixelStart = size_t(h.idLength) + h.MapBytes();
    if (pixelStart > rest.size() || rest.size() - pixelStart < MinimumPixelBytes(h)) {
        SetLastError("TGA: image data truncated");
        return false;
    }

    if (!Create(h.width, h.height, outBpp, RASTER_FORMAT_TGA)) return false;
    if (h.BaseType() == kTypeGrey) {
        SetGrayPalette();
    } else if (palette) {
        // 8-bit indices address map entries mapFirst .. mapFirst + mapLength - 1; any other
        // index shows black.
        RasterRgbQuad* entries = GetPalette();
        const uint8_t* map = rest.data() + h.idLength;
        for (uint32_t v = 0; v < 256; ++v) {
            RasterRgbQuad c{0, 0, 0, 0};
            if (v >= h.mapFirst && v - h.mapFirst < h.mapLength) {
                c = DecodeColor(map + size_t(v - h.mapFirst) * h.MapEntryBytes(), h.mapEntryBits);
                c.rgbReserved = 0;
            }
            entries[v] = c;
        }
    }

    // The attribute values travel alongside the colours: 32 bits, or 16 bits that declare
    // their attribute bit.
    const bool carriesAlpha = h.pixelBits == 32 || (h.pixelBits == 16 && h.AlphaBits() == 1);
    std::vector<uint8_t> alpha;
    if (carriesAlpha) alpha.resize(size_t(h.width) * h.height);

    const uint32_t pixelBytes = h.PixelBytes();
    std::vector<uint8_t> raw(size_t(h.width) * pixelBytes);
    PixelSource source(rest.data() + pixelStart, rest.size() - pixelStart, pixelBytes, h.Rle());
    // Left-to-right rows of 8-bit indices or 24-bit blue-green-red pixels are already laid
    // out as the stored rows: they go straight in.
    const bool direct = !h.RightToLeft() && (palette || h.pixelBits == 24);
    for (uint32_t row = 0; row < h.height; ++row) {
        const uint32_t y = h.TopDown() ? h.height - 1 - row : row;
        uint8_t* out = RowPointer(y);
        if (!source.Read(direct ? out : raw.data(), h.width)) {
            Destroy();
            SetLastError("TGA: image data truncated");
            return false;
        }
        if (direct) continue;
        for (uint32_t c = 0; c < h.width; ++c) {
            const uint32_t x = h.RightToLeft() ? h.width - 1 - c : c;
            const uint8_t* p = raw.data() + size_t(c) * pixelBytes;
            if (palette) {
                out[x] = p[0];
                continue;
            }
            const RasterRgbQuad color = DecodeColor(p, h.pixelBits);
            out[3 * x] = color.rgbBlue;
            out[3 * x + 1] = color.rgbGreen;
            out[3 * x + 2] = color.rgbRed;
            if (carriesAlpha) alpha[size_t(y) * h.width + x] = color.rgbReserved;
        }
    }

    // The alpha values become a plane unless the file says they mean nothing or they are
    // all zero (writers that declare no alpha often leave the bytes at zero; a wholly
    // transparent picture is never what such a file means). All opaque needs no plane.
    // An extension area's "no alpha" (0) is also what writers leave in an area they never
    // filled in, so it only counts when the descriptor declares no alpha bits either.
    const int attributes = AttributesType(rest);
    const bool meaningless = attributes == kAttributesIgnore || attributes == kAttributesRetain ||
                             (attributes == kAttributesNone && h.AlphaBits() == 0);
    if (carriesAlpha && !meaningless &&
        std::any_of(alpha.begin(), alpha.end(), [](uint8_t a) { return a != 0; }) &&
        std::any_of(alpha.begin(), alpha.end(), [](uint8_t a) { return a != RASTER_ALPHA_OPAQUE; })) {
        if (attributes == kAttributesPremultiplied) {
            for (uint32_t y = 0; y < h.height; ++y) {
                for (uint32_t x = 0; x < h.width; ++x) {
                    Unpremultiply(PixelPointer(x, y), alpha[size_t(y) * h.width + x]);
                }
            }
        }
        if (!CreateAlpha()) {
            Destroy();
            SetLastError("TGA: cannot allocate the alpha plane");
            return false;
        }
        std::memcpy(GetAlphaPlane(), alpha.data(), alpha.size());
    }
    return true;
}

bool RasterImageTGA::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "TGA");
}

bool RasterImageTGA::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kHeaderSize && HeaderProblem(ParseHeader(head)) == nullptr;
}
