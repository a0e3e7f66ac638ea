// JPEG 2000 box files (JP2) and bare code streams (J2K, JPC) through OpenJPEG, read straight
// from the RasterFile. Grey, RGB and sYCC pictures with an optional alpha component become
// 8-bit grey or 24-bit pictures with an alpha plane; every component is brought to the full
// picture size and to 8 bits.
#include "image/formats/RasterImageJ2K.h"

#include <openjpeg.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "image/formats/RasterDecodeSupport.h"
#include "image/formats/RasterFormatSupport.h"

namespace {

constexpr uint8_t kBoxFileSignature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr uint8_t kCodestreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC then SIZ

bool StartsWith(const uint8_t* head, size_t count, const uint8_t* signature, size_t n) {
    return count >= n && std::memcmp(head, signature, n) == 0;
}

const char* FormName(uint32_t form) { return form == RASTER_FORMAT_JPC ? "JPEG 2000 code stream" : "JP2"; }

// Wavelet coding of near-empty pictures reaches very high ratios; anything beyond this
// over a picture larger than the free allowance is treated as a bomb.
constexpr uint64_t kJpeg2000MaxRatio = 4096;
constexpr uint32_t kMaxPrecision = 31;
constexpr size_t kMaxUsedComponents = 4;

// ---- stream over a RasterFile ------------------------------------------------------------

struct StreamSource {
    RasterFile* file;
    int64_t start;
    int64_t length;
};

OPJ_SIZE_T ReadFromSource(void* buffer, OPJ_SIZE_T n, void* data) {
    auto* source = static_cast<StreamSource*>(data);
    const size_t got = source->file->Read(buffer, 1, n);
    return got == 0 ? OPJ_SIZE_T(-1) : got;
}

OPJ_BOOL SeekInSource(OPJ_OFF_T offset, void* data) {
    auto* source = static_cast<StreamSource*>(data);
    if (offset < 0 || offset > source->length) return OPJ_FALSE;
    return source->file->Seek(source->start + offset, RASTER_SEEK_SET) ? OPJ_TRUE : OPJ_FALSE;
}

OPJ_OFF_T SkipInSource(OPJ_OFF_T n, void* data) {
    auto* source = static_cast<StreamSource*>(data);
    const int64_t here = source->file->Tell() - source->start;
    if (here < 0 || n < -here || n > source->length - here) return -1;
    return source->file->Seek(source->start + here + n, RASTER_SEEK_SET) ? n : -1;
}

// ---- messages into the last error text ---------------------------------------------------

void KeepFirstError(const char* message, void* data) {
    auto* image = static_cast<RasterImage*>(data);
    if (image->LastErrorText()[0] != '\0' || !message) return;
    char text[RASTER_ERROR_TEXT_SIZE];
    std::snprintf(text, sizeof(text), "JPEG 2000: %s", message);
    const size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\n') text[n - 1] = '\0';
    image->SetLastError(text);
}

void IgnoreMessage(const char*, void*) {}

struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

// ---- component layout --------------------------------------------------------------------

enum class Colour { Grey, Rgb, Ycc, Cmyk };

struct Layout {
    Colour colour = Colour::Grey;
    std::vector<uint32_t> colourComps;  // component indices, 1, 3 or 4 of them
    int alphaComp = -1;
};

// Which components carry colour and which one alpha.
bool ChooseLayout(const opj_image_t& image, Layout& layout) {
    const uint32_t n = image.numcomps;
    for (uint32_t i = 0; i < n; ++i) {
        if (image.comps[i].alpha != 0 && layout.alphaComp < 0) layout.alphaComp = int(i);
    }
    const bool cmyk = image.color_space == OPJ_CLRSPC_CMYK && n >= 4;
    // Without a channel definition, a trailing extra component is alpha.
    if (layout.alphaComp < 0 && (n == 2 || (n == 4 && !cmyk))) layout.alphaComp = int(n - 1);
    for (uint32_t i = 0; i < n && layout.colourComps.size() < kMaxUsedComponents; ++i) {
        if (int(i) != layout.alphaComp) layout.colourComps.push_back(i);
    }
    if (cmyk && layout.colourComps.size() >= 4) {
        layout.colour = Colour::Cmyk;
        layout.colourComps.resize(4);
        return true;
    }
    if (layout.colourComps.size() >= 3) {
        layout.colourComps.resize(3);
        const opj_image_comp_t* c = image.comps;
        // Chroma sampled more coarsely than luma means YCC even when the file does not say so.
        const bool subsampledChroma = c[layout.colourComps[0]].dx == 1 && c[layout.colourComps[1]].dx > 1;
        layout.colour = (image.color_space == OPJ_CLRSPC_SYCC || image.color_space == OPJ_CLRSPC_EYCC ||
                         (image.color_space != OPJ_CLRSPC_SRGB && subsampledChroma))
                            ? Colour::Ycc
                            : Colour::Rgb;
        return true;
    }
    if (layout.colourComps.empty()) return false;
    layout.colourComps.resize(1);
    layout.colour = Colour::Grey;
    return true;
}

bool ComponentHeadersUsable(const opj_image_t& image) {
    for (uint32_t i = 0; i < image.numcomps; ++i) {
        const opj_image_comp_t& c = image.comps[i];
        if (c.dx == 0 || c.dy == 0 || c.prec == 0 || c.prec > kMaxPrecision) return false;
    }
    return true;
}

// ---- sampling ----------------------------------------------------------------------------

// Reads one component at picture positions, nearest sample for subsampled components,
// shifted to unsigned.
class ComponentReader {
public:
    ComponentReader(const opj_image_t& image, const opj_image_comp_t& comp, uint32_t width, uint32_t height)
        : m_comp(comp),
          m_max((int64_t(1) << comp.prec) - 1),
          m_offset(comp.sgnd ? int64_t(1) << (comp.prec - 1) : 0),
          m_columns(width),
          m_rows(height) {
        for (uint32_t x = 0; x < width; ++x) m_columns[x] = Index(image.x0 + x, comp.dx, comp.x0, comp.w);
        for (uint32_t y = 0; y < height; ++y) m_rows[y] = Index(image.y0 + y, comp.dy, comp.y0, comp.h);
    }

    int64_t Max() const { return m_max; }

    int64_t At(uint32_t x, uint32_t y) const {
        const int64_t v = int64_t(m_comp.data[size_t(m_rows[y]) * m_comp.w + m_columns[x]]) + m_offset;
        return v < 0 ? 0 : (v > m_max ? m_max : v);
    }

    uint8_t ByteAt(uint32_t x, uint32_t y) const { return ScaleSampleToByte(uint64_t(At(x, y)), uint64_t(m_max)); }

private:
    static uint32_t Index(uint64_t position, uint32_t step, uint32_t origin, uint32_t size) {
        const uint64_t sample = position / step;
        if (sample <= origin) return 0;
        const uint64_t i = sample - origin;
        return i >= size ? size - 1 : uint32_t(i);
    }

    const opj_image_comp_t& m_comp;
    int64_t m_max;
    int64_t m_offset;
    std::vector<uint32_t> m_columns;
    std::vector<uint32_t> m_rows;
};

uint8_t ClampToByte(double v, double max) {
    if (v <= 0.0) return 0;
    if (v >= max) return 255;
    return ScaleSampleToByte(uint64_t(std::lround(v)), uint64_t(max));
}

// sYCC to RGB (ITU-R BT.601 full range) at the components' own precision.
void YccToRgb(const ComponentReader* c, uint32_t x, uint32_t y, uint8_t rgb[3]) {
    const double max = double(c[0].Max());
    const double half = double((c[1].Max() + 1) / 2);
    const double luma = double(c[0].At(x, y));
    const double cb = double(c[1].At(x, y)) - half;
    const double cr = double(c[2].At(x, y)) - half;
    rgb[0] = ClampToByte(luma + 1.402 * cr, max);
    rgb[1] = ClampToByte(luma - 0.344136 * cb - 0.714136 * cr, max);
    rgb[2] = ClampToByte(luma + 1.772 * cb, max);
}

void CmykToRgb(const ComponentReader* c, uint32_t x, uint32_t y, uint8_t rgb[3]) {
    const uint32_t k = 255u - c[3].ByteAt(x, y);
    for (int i = 0; i < 3; ++i) rgb[i] = uint8_t(((255u - c[i].ByteAt(x, y)) * k + 127) / 255);
}

bool FillPicture(RasterImage& out, const opj_image_t& image, const Layout& layout, uint32_t width, uint32_t height) {
    std::vector<ComponentReader> readers;
    readers.reserve(layout.colourComps.size());
    for (uint32_t i : layout.colourComps) readers.emplace_back(image, image.comps[i], width, height);
    const bool grey = layout.colour == Colour::Grey;
    if (!CreateDecodedImage(out, width, height, grey ? 8 : 24, grey)) return false;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = out.RowPointer(StoredRow(out, y));
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t rgb[3] = {0, 0, 0};
            switch (layout.colour) {
                case Colour::Grey: row[x] = readers[0].ByteAt(x, y); continue;
                case Colour::Rgb:
                    for (int i = 0; i < 3; ++i) rgb[i] = readers[size_t(i)].ByteAt(x, y);
                    break;
                case Colour::Ycc: YccToRgb(readers.data(), x, y, rgb); break;
                case Colour::Cmyk: CmykToRgb(readers.data(), x, y, rgb); break;
            }
            row[3 * x] = rgb[2];
            row[3 * x + 1] = rgb[1];
            row[3 * x + 2] = rgb[0];
        }
    }
    if (layout.alphaComp < 0) return true;
    if (!CreateDecodedAlpha(out)) return false;
    const ComponentReader alpha(image, image.comps[layout.alphaComp], width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) PictureAlpha(out, x, y) = alpha.ByteAt(x, y);
    }
    return true;
}

// Checks the header's sizes against the memory limit and the amount of data.
bool SizesAcceptable(RasterImage& out, const opj_image_t& image, uint64_t dataBytes) {
    if (image.x1 <= image.x0 || image.y1 <= image.y0 || image.numcomps == 0 || !ComponentHeadersUsable(image)) {
        out.SetLastError("JPEG 2000: bad picture header");
        return false;
    }
    const uint64_t width = image.x1 - image.x0;
    const uint64_t height = image.y1 - image.y0;
    if (!out.CheckMemoryLimit(width, height, 32)) return false;
    // The codec holds every decoded component as 32-bit samples.
    uint64_t codecBytes = 0;
    for (uint32_t i = 0; i < image.numcomps; ++i) {
        const opj_image_comp_t& c = image.comps[i];
        codecBytes += ((width + c.dx - 1) / c.dx + 1) * ((height + c.dy - 1) / c.dy + 1) * 4;
    }
    if (codecBytes > RasterImage::MemoryLimit()) return out.RefuseTooLarge(width, height, codecBytes);
    return PlausibleDecodedSize(out, width * height * image.numcomps, dataBytes, kJpeg2000MaxRatio);
}

bool DecodedComponentsUsable(const opj_image_t& image, const Layout& layout) {
    auto usable = [&](uint32_t i) {
        const opj_image_comp_t& c = image.comps[i];
        return c.data != nullptr && c.w > 0 && c.h > 0;
    };
    for (uint32_t i : layout.colourComps) {
        if (!usable(i)) return false;
    }
    return layout.alphaComp < 0 || usable(uint32_t(layout.alphaComp));
}

// codestream: true for a bare code stream, false for a box file.
bool DecodeJpeg2000(RasterImage& out, RasterFile* file, bool codestream) {
    StreamSource source{file, file->Tell(), int64_t(RemainingBytes(file))};
    if (source.start < 0 || source.length <= 0) {
        out.SetLastError("JPEG 2000: empty file");
        return false;
    }
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    if (!codec || !stream) {
        out.SetLastError("JPEG 2000: can't start the decoder");
        return false;
    }
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), uint64_t(source.length));
    opj_stream_set_read_function(stream.get(), ReadFromSource);
    opj_stream_set_skip_function(stream.get(), SkipInSource);
    opj_stream_set_seek_function(stream.get(), SeekInSource);

    out.ClearLastError();
    opj_set_error_handler(codec.get(), KeepFirstError, &out);
    opj_set_warning_handler(codec.get(), IgnoreMessage, nullptr);
    opj_set_info_handler(codec.get(), IgnoreMessage, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);

    opj_image_t* raw = nullptr;
    const bool headerRead = opj_setup_decoder(codec.get(), &parameters) && opj_read_header(stream.get(), codec.get(), &raw);
    std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
    if (!headerRead || !image) {
        if (out.LastErrorText()[0] == '\0') out.SetLastError("JPEG 2000: not a JPEG 2000 file");
        return false;
    }
    Layout layout;
    if (!SizesAcceptable(out, *image, uint64_t(source.length))) return false;
    if (!ChooseLayout(*image, layout)) {
        out.SetLastError("JPEG 2000: unsupported components");
        return false;
    }
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
        if (out.LastErrorText()[0] == '\0') out.SetLastError("JPEG 2000: damaged or truncated file");
        return false;
    }
    if (!DecodedComponentsUsable(*image, layout)) {
        out.SetLastError("JPEG 2000: damaged or truncated file");
        return false;
    }
    const uint32_t width = image->x1 - image->x0;
    const uint32_t height = image->y1 - image->y0;
    if (!FillPicture(out, *image, layout, width, height)) {
        out.Destroy();
        return false;
    }
    return true;
}

}  // namespace

bool RasterImageJ2K::Decode(RasterFile* file) {
    if (!StartStreamedFormatData(*this, file, &Sniff, FormName(m_askedForm))) return false;
    // Sniff said yes to one of the two forms; the same bytes say which.
    uint8_t head[sizeof(kCodestreamSignature)] = {};
    const bool codestream = SniffCodestream(head, PeekBytes(file, head, sizeof(head)), 0);
    SetType(codestream ? RASTER_FORMAT_JPC : RASTER_FORMAT_JP2);
    return DecodeJpeg2000(*this, file, codestream);
}

bool RasterImageJ2K::Encode(RasterFile*) { return RasterFormatNotWritable(*this, FormName(m_askedForm)); }

bool RasterImageJ2K::Sniff(const uint8_t* head, size_t count, uint64_t size) {
    return SniffBoxFile(head, count, size) || SniffCodestream(head, count, size);
}

bool RasterImageJ2K::SniffBoxFile(const uint8_t* head, size_t count, uint64_t) {
    return StartsWith(head, count, kBoxFileSignature, sizeof(kBoxFileSignature));
}

bool RasterImageJ2K::SniffCodestream(const uint8_t* head, size_t count, uint64_t) {
    return StartsWith(head, count, kCodestreamSignature, sizeof(kCodestreamSignature));
}
