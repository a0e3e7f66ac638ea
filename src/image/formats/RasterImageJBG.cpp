// JBIG (ITU-T T.82) through jbigkit: bilevel pictures and grey pictures stored as several
// bit planes (Gray-coded, as jbigkit's own tools write them).
#include "image/formats/RasterImageJBG.h"

extern "C" {
#include <jbig.h>  // jbigkit has no C++ guards
}

#include <cstring>
#include <vector>

#include "image/formats/RasterFormatSupport.h"

namespace {

// The bi-level image header that starts every JBIG file.
constexpr size_t kHeaderSize = 20;
// Grey pictures with more planes than this would not fit an 8-bit palette.
constexpr uint32_t kMaxPlanes = 8;
// Adaptive template offsets above this are invalid.
constexpr uint8_t kMaxTemplateOffset = 127;
constexpr uint8_t kOrderReservedBits = 0xF0;
constexpr uint8_t kOptionsReservedBits = 0x80;
// Arithmetic coding squeezes blank pages enormously, but not beyond this: a picture larger
// than its data could fill is refused before jbigkit allocates its planes.
constexpr uint64_t kMaxExpansion = 8192;
constexpr uint64_t kSmallPlaneBytes = 16u << 20;

struct JbigHeader {
    uint32_t width;
    uint32_t height;
    uint32_t planes;
};

// Cheap check of the header fields that a JBIG file must have.
bool ParseHeader(const uint8_t* bih, JbigHeader& header) {
    const uint8_t lowestLayer = bih[0];
    const uint8_t layers = bih[1];
    const uint8_t planes = bih[2];
    const uint8_t reserved = bih[3];
    const uint8_t mx = bih[16];
    const uint8_t order = bih[18];
    const uint8_t options = bih[19];
    if (lowestLayer != 0 || layers < lowestLayer || reserved != 0) return false;
    if (planes == 0 || planes > kMaxPlanes || mx > kMaxTemplateOffset) return false;
    if ((order & kOrderReservedBits) != 0 || (options & kOptionsReservedBits) != 0) return false;
    header.width = Be32(bih + 4);
    header.height = Be32(bih + 8);
    header.planes = planes;
    return header.width != 0 && header.height != 0 && Be32(bih + 12) != 0;
}

// Owns a jbigkit decoder state.
class JbigDecoder {
public:
    JbigDecoder() { jbg_dec_init(&m_state); }
    ~JbigDecoder() { jbg_dec_free(&m_state); }
    JbigDecoder(const JbigDecoder&) = delete;
    JbigDecoder& operator=(const JbigDecoder&) = delete;
    jbg_dec_state* operator->() { return &m_state; }
    jbg_dec_state* get() { return &m_state; }

private:
    jbg_dec_state m_state;
};

void AppendMerged(unsigned char* start, size_t length, void* target) {
    auto* out = static_cast<std::vector<uint8_t>*>(target);
    out->insert(out->end(), start, start + length);
}

// Bilevel plane rows (MSB first, 1 = black) into a 1-bit image with a white/black palette.
void StoreBilevel(RasterImage& image, const uint8_t* plane, uint32_t width, uint32_t height) {
    const RasterRgbQuad palette[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    image.SetPalette(palette, 2);
    const size_t rowBytes = (size_t(width) + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image.RowPointer(height - 1 - y);
        std::memcpy(row, plane + y * rowBytes, rowBytes);
        // Clear the bits past the last pixel so the padding stays clean.
        const uint32_t spare = uint32_t(rowBytes * 8 - width);
        if (spare) row[rowBytes - 1] &= uint8_t(0xFF << spare);
    }
}

// Merged grey values (one byte per pixel, 0 = black) into an 8-bit grey image.
void StoreGrey(RasterImage& image, const std::vector<uint8_t>& merged, uint32_t width, uint32_t height,
               uint32_t planes) {
    const uint32_t maxValue = (1u << planes) - 1;
    uint8_t scale[256];
    for (uint32_t v = 0; v < 256; ++v) scale[v] = uint8_t(v >= maxValue ? 255 : (v * 255 + maxValue / 2) / maxValue);
    image.SetGrayPalette();
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = image.RowPointer(height - 1 - y);
        const uint8_t* src = merged.data() + size_t(y) * width;
        for (uint32_t x = 0; x < width; ++x) row[x] = scale[src[x]];
    }
}

}  // namespace

bool RasterImageJBG::Decode(RasterFile* file) {
    uint8_t bih[kHeaderSize];
    JbigHeader header{};
    if (!file || !ReadExact(file, bih, kHeaderSize) || !ParseHeader(bih, header)) {
        SetLastError("JBIG: not a JBIG file");
        return false;
    }
    const uint32_t bpp = header.planes == 1 ? 1 : 8;
    if (!CheckMemoryLimit(header.width, header.height, bpp) ||
        !CheckMemoryLimit(header.width, header.height, header.planes)) {
        return false;
    }
    std::vector<uint8_t> data(bih, bih + kHeaderSize);
    std::vector<uint8_t> rest;
    if (!ReadAllBytes(file, rest)) {
        SetLastError("JBIG: cannot read the file");
        return false;
    }
    data.insert(data.end(), rest.begin(), rest.end());
    const uint64_t planeBytes = (uint64_t(header.width) + 7) / 8 * header.height * header.planes;
    if (planeBytes > kSmallPlaneBytes && planeBytes / kMaxExpansion > data.size()) {
        SetLastError("JBIG: the picture is larger than its data can fill");
        return false;
    }

    JbigDecoder decoder;
    jbg_dec_maxsize(decoder.get(), header.width, header.height);
    size_t used = 0;
    int result = JBG_EAGAIN;
    size_t offset = 0;
    while (offset < data.size()) {
        result = jbg_dec_in(decoder.get(), data.data() + offset, data.size() - offset, &used);
        offset += used;
        if (result != JBG_EOK_INTR) break;
    }
    if (result != JBG_EOK) {
        SetLastError(result == JBG_EAGAIN ? "JBIG: the file is truncated" : jbg_strerror(result));
        return false;
    }
    const unsigned long width = jbg_dec_getwidth(decoder.get());
    const unsigned long height = jbg_dec_getheight(decoder.get());
    const int planes = jbg_dec_getplanes(decoder.get());
    if (width != header.width || height == 0 || height > header.height || planes != int(header.planes)) {
        SetLastError("JBIG: inconsistent picture size");
        return false;
    }

    if (!Create(uint32_t(width), uint32_t(height), bpp, RASTER_FORMAT_JBG)) return false;
    if (planes == 1) {
        StoreBilevel(*this, jbg_dec_getimage(decoder.get(), 0), uint32_t(width), uint32_t(height));
        return true;
    }
    std::vector<uint8_t> merged;
    merged.reserve(size_t(width) * height);
    jbg_dec_merge_planes(decoder.get(), 1, AppendMerged, &merged);
    if (merged.size() != size_t(width) * height) {
        Destroy();
        SetLastError("JBIG: inconsistent plane data");
        return false;
    }
    StoreGrey(*this, merged, uint32_t(width), uint32_t(height), uint32_t(planes));
    return true;
}

bool RasterImageJBG::Encode(RasterFile*) {
    return RasterFormatNotWritable(*this, "JBIG");
}

bool RasterImageJBG::Sniff(const uint8_t* head, size_t count, uint64_t) {
    JbigHeader header{};
    return count >= kHeaderSize && ParseHeader(head, header);
}
