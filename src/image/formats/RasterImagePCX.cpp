#include "image/formats/RasterImagePCX.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/formats/RasterFormatSupport.h"

// ZSoft PCX: a 128-byte header, then every scan line as one run of planes (each
// BytesPerLine bytes), usually run-length encoded; 256-colour files end with a palette
// marked by 0x0C 769 bytes from the end.

namespace {

constexpr size_t kHeaderSize = 128;
constexpr uint8_t kManufacturer = 0x0A;
constexpr uint8_t kVersionNoPalette = 3;
constexpr size_t kTrailerSize = 769;
constexpr uint8_t kTrailerMarker = 0x0C;
// One run byte (0xC0 | count) with its value byte gives at most 63 bytes.
constexpr uint32_t kMaxRun = 63;
constexpr uint8_t kRunFlag = 0xC0;

// The 16 colours of the EGA default palette, for files that carry no palette (version 3)
// or an empty one.
constexpr uint8_t kEgaPalette[16][3] = {
    {0, 0, 0},       {0, 0, 170},     {0, 170, 0},     {0, 170, 170},   {170, 0, 0},     {170, 0, 170},
    {170, 85, 0},    {170, 170, 170}, {85, 85, 85},    {85, 85, 255},   {85, 255, 85},   {85, 255, 255},
    {255, 85, 85},   {255, 85, 255},  {255, 255, 85},  {255, 255, 255},
};

struct PcxHeader {
    uint8_t version;
    uint8_t encoding;
    uint8_t bitsPerPixel;
    uint16_t xMin, yMin, xMax, yMax;
    uint16_t hDpi, vDpi;
    const uint8_t* palette;  // 16 red-green-blue triples
    uint8_t planes;
    uint16_t bytesPerLine;

    uint32_t Width() const { return uint32_t(xMax) - xMin + 1; }
    uint32_t Height() const { return uint32_t(yMax) - yMin + 1; }
    uint32_t LineBytes() const { return uint32_t(planes) * bytesPerLine; }
    bool TrueColor() const { return bitsPerPixel == 8 && planes >= 3; }
    // Depth of the picture made from it.
    uint32_t OutputBpp() const {
        if (TrueColor()) return 24;
        const uint32_t bits = uint32_t(bitsPerPixel) * planes;
        return bits == 1 ? 1 : bits <= 4 ? 4 : 8;
    }
};

PcxHeader ParseHeader(const uint8_t* p) {
    PcxHeader h;
    h.version = p[1];
    h.encoding = p[2];
    h.bitsPerPixel = p[3];
    h.xMin = Le16(p + 4);
    h.yMin = Le16(p + 6);
    h.xMax = Le16(p + 8);
    h.yMax = Le16(p + 10);
    h.hDpi = Le16(p + 12);
    h.vDpi = Le16(p + 14);
    h.palette = p + 16;
    h.planes = p[65];
    h.bytesPerLine = Le16(p + 66);
    return h;
}

bool IsSupportedLayout(uint32_t bits, uint32_t planes) {
    if (planes == 1) return bits == 1 || bits == 2 || bits == 4 || bits == 8;
    if (bits == 1) return planes >= 2 && planes <= 4;
    return bits == 8 && (planes == 3 || planes == 4);
}

const char* HeaderProblem(const uint8_t* p, const PcxHeader& h) {
    if (p[0] != kManufacturer) return "PCX: not a PCX file";
    if (h.version > 5 || h.version == 1 || h.encoding > 1) return "PCX: unknown version or encoding";
    if (h.xMax < h.xMin || h.yMax < h.yMin) return "PCX: invalid picture window";
    if (!IsSupportedLayout(h.bitsPerPixel, h.planes)) return "PCX: unsupported bit depth and plane count";
    if (uint64_t(h.bytesPerLine) * 8 < uint64_t(h.Width()) * h.bitsPerPixel) return "PCX: BytesPerLine too small";
    return nullptr;
}

// Scan-line bytes from RLE or plain data. Runs may continue into the next line.
class LineSource {
public:
    LineSource(const uint8_t* data, size_t size, bool rle) : m_data(data), m_size(size), m_rle(rle) {}

    bool Read(uint8_t* out, size_t n) {
        if (!m_rle) {
            if (m_size - m_pos < n) return false;
            std::memcpy(out, m_data + m_pos, n);
            m_pos += n;
            return true;
        }
        while (n > 0) {
            if (m_runLeft == 0) {
                if (m_pos >= m_size) return false;
                const uint8_t b = m_data[m_pos++];
                if ((b & kRunFlag) == kRunFlag) {
                    if (m_pos >= m_size) return false;
                    m_runLeft = b & kMaxRun;
                    m_runValue = m_data[m_pos++];
                    continue;  // a zero-length run is skipped
                }
                m_runLeft = 1;
                m_runValue = b;
            }
            const size_t take = std::min<size_t>(n, m_runLeft);
            std::memset(out, m_runValue, take);
            out += take;
            n -= take;
            m_runLeft -= uint32_t(take);
        }
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    bool m_rle;
    size_t m_pos = 0;
    uint32_t m_runLeft = 0;
    uint8_t m_runValue = 0;
};

// Fewest encoded bytes that can hold the decoded picture.
uint64_t MinimumDataBytes(const PcxHeader& h) {
    const uint64_t total = uint64_t(h.Height()) * h.LineBytes();
    return h.encoding ? total / kMaxRun * 2 : total;
}

RasterRgbQuad Quad(const uint8_t* rgb) { return RasterRgbQuad{rgb[2], rgb[1], rgb[0], 0}; }

// Palette of a 1- to 4-bit picture: the header's colours, with the usual stand-ins for
// files that leave them out.
void SetLowDepthPalette(RasterImage& image, const PcxHeader& h) {
    RasterRgbQuad entries[16];
    const uint32_t colours = 1u << (uint32_t(h.bitsPerPixel) * h.planes);
    const bool empty = std::all_of(h.palette, h.palette + 3 * colours, [](uint8_t v) { return v == 0; });
    for (uint32_t i = 0; i < 16; ++i) {
        entries[i] = (h.version == kVersionNoPalette || empty) ? Quad(kEgaPalette[i]) : Quad(h.palette + 3 * i);
    }
    if (colours == 2) {
        // Monochrome files often leave the header palette unset: then 0 is black, 1 white.
        const bool same = std::memcmp(h.palette, h.palette + 3, 3) == 0;
        if (h.version == kVersionNoPalette || same) {
            entries[0] = RasterRgbQuad{0, 0, 0, 0};
            entries[1] = RasterRgbQuad{255, 255, 255, 0};
        }
    }
    image.SetPalette(entries, 16);
}

// The 256-colour trailer, or a grey ramp when the file has none.
void SetByteDepthPalette(RasterImage& image, const std::vector<uint8_t>& rest) {
    if (rest.size() < kTrailerSize || rest[rest.size() - kTrailerSize] != kTrailerMarker) {
        image.SetGrayPalette();
        return;
    }
    const uint8_t* rgb = rest.data() + rest.size() - kTrailerSize + 1;
    RasterRgbQuad entries[256];
    for (uint32_t i = 0; i < 256; ++i) entries[i] = Quad(rgb + 3 * i);
    image.SetPalette(entries, 256);
}

// Palette index of pixel x from the planes of one scan line.
uint8_t PixelIndex(const uint8_t* line, const PcxHeader& h, uint32_t x) {
    const uint32_t bits = h.bitsPerPixel;
    const uint32_t bit = x * bits;
    const uint32_t shift = 8 - bits - (bit & 7);
    const uint32_t mask = (1u << bits) - 1;
    uint32_t index = 0;
    for (uint32_t p = 0; p < h.planes; ++p) {
        index |= ((uint32_t(line[size_t(p) * h.bytesPerLine + bit / 8]) >> shift) & mask) << (p * bits);
    }
    return uint8_t(index);
}

}  // namespace

bool RasterImagePCX::Decode(RasterFile* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    uint8_t headerBytes[kHeaderSize];
    if (!ReadExact(file, headerBytes, kHeaderSize)) {
        SetLastError("PCX: file too short");
        return false;
    }
    const PcxHeader h = ParseHeader(headerBytes);
    if (const char* problem = HeaderProblem(headerBytes, h)) {
        SetLastError(problem);
        return false;
    }
    const uint32_t width = h.Width();
    const uint32_t height = h.Height();
    const uint32_t outBpp = h.OutputBpp();
    if (!CheckMemoryLimit(width, height, outBpp)) {
        return false;
    }
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest)) {
        SetLastError("PCX: cannot read the file");
        return false;
    }
    if (rest.size() < MinimumDataBytes(h)) {
        SetLastError("PCX: image data truncated");
        return false;
    }
    if (!Create(width, height, outBpp, RASTER_FORMAT_PCX)) return false;
    if (outBpp == 8) {
        SetByteDepthPalette(*this, rest);
    } else if (outBpp < 8) {
        SetLowDepthPalette(*this, h);
    }
    const bool withAlpha = h.TrueColor() && h.planes == 4;
    if (withAlpha && !CreateAlpha()) {
        Destroy();
        SetLastError("PCX: cannot allocate the alpha plane");
        return false;
    }

    std::vector<uint8_t> line(h.LineBytes());
    LineSource source(rest.data(), rest.size(), h.encoding != 0);
    for (uint32_t row = 0; row < height; ++row) {
        if (!source.Read(line.data(), line.size())) {
            Destroy();
            SetLastError("PCX: image data truncated");
            return false;
        }
        const uint32_t y = height - 1 - row;
        if (h.TrueColor()) {
            const uint8_t* red = line.data();
            const uint8_t* green = red + h.bytesPerLine;
            const uint8_t* blue = green + h.bytesPerLine;
            uint8_t* out = RowPointer(y);
            for (uint32_t x = 0; x < width; ++x) {
                out[3 * x] = blue[x];
                out[3 * x + 1] = green[x];
                out[3 * x + 2] = red[x];
            }
            if (withAlpha) std::memcpy(AlphaPointer(0, y), blue + h.bytesPerLine, width);
        } else {
            std::memset(RowPointer(y), 0, GetStride());
            for (uint32_t x = 0; x < width; ++x) SetPixelIndex(x, y, PixelIndex(line.data(), h, x));
        }
    }
    if (h.hDpi > 0 && h.vDpi > 0) {
        SetXDpi(h.hDpi);
        SetYDpi(h.vDpi);
    }
    return true;
}

bool RasterImagePCX::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "PCX");
}

bool RasterImagePCX::Sniff(const uint8_t* head, size_t count, uint64_t) {
    return count >= kHeaderSize && HeaderProblem(head, ParseHeader(head)) == nullptr;
}
