// Our own reader for the common TIFF layouts: bilevel, grey (either polarity), palette, RGB
// and CMYK with 1 to 16 bits per sample, an optional alpha sample, strips or tiles,
// contiguous or separate planes. Rows are decoded a band (a strip, or a row of tiles) at a
// time, so only one band is held besides the picture.
#include <cstring>
#include <new>
#include <vector>

#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterTiffPage.h"

namespace {

// Packed samples of one row of one plane.
struct SampleRow {
    const uint8_t* data;
    uint32_t bits;

    uint32_t Get(uint64_t index) const {
        switch (bits) {
            case 8: return data[index];
            case 16: {
                uint16_t v;  // libtiff has already put 16-bit samples in host order
                std::memcpy(&v, data + index * 2, 2);
                return v;
            }
            default: {
                // Other depths are a big-endian bit stream.
                const uint64_t bit = index * bits;
                const uint8_t* p = data + bit / 8;
                uint32_t window = 0;
                const uint32_t shift = uint32_t(bit % 8);
                const uint32_t bytes = (shift + bits + 7) / 8;
                for (uint32_t i = 0; i < bytes; ++i) window = (window << 8) | p[i];
                return (window >> (bytes * 8 - shift - bits)) & ((1u << bits) - 1);
            }
        }
    }
};

// Decodes the page band by band into one buffer per plane.
class TiffBandReader {
public:
    TiffBandReader(TIFF* tif, const TiffPage& page) : m_tif(tif), m_page(page) {}

    bool Init() {
        const bool separate = m_page.planar == PLANARCONFIG_SEPARATE;
        m_planes = separate ? m_page.usedSamples : 1;  // planes of unused samples are never decoded
        m_bandRows = m_page.tiled ? m_page.tileLength : m_page.rowsPerStrip;
        if (m_bandRows == 0 || m_bandRows > m_page.height) m_bandRows = m_page.height;
        if (m_page.tiled) {
            m_pieceRowBytes = TIFFTileRowSize64(m_tif);
            m_pieceBytes = TIFFTileSize64(m_tif);
            m_tilesAcross = (uint64_t(m_page.width) + m_page.tileWidth - 1) / m_page.tileWidth;
            m_rowBytes = m_pieceRowBytes * m_tilesAcross;
        } else {
            m_rowBytes = TIFFScanlineSize64(m_tif);
            m_pieceBytes = TIFFStripSize64(m_tif);
            m_pieceRowBytes = m_rowBytes;
        }
        const uint64_t samplesPerRow = uint64_t(m_page.width) * (separate ? 1 : m_page.samplesPerPixel);
        if (m_rowBytes == 0 || m_pieceBytes == 0 || m_rowBytes < (samplesPerRow * m_page.bitsPerSample + 7) / 8) {
            return false;
        }
        const uint64_t bandBytes = m_rowBytes * m_bandRows;
        if (bandBytes > RasterImage::MemoryLimit() || m_pieceBytes > RasterImage::MemoryLimit()) return false;
        try {
            m_bands.assign(m_planes, std::vector<uint8_t>(size_t(bandBytes)));
            if (m_page.tiled) m_piece.resize(size_t(m_pieceBytes));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    uint32_t BandRows() const { return m_bandRows; }

    // Decodes the band that starts at row y0.
    bool Load(uint32_t y0) {
        const uint32_t rows = y0 + m_bandRows > m_page.height ? m_page.height - y0 : m_bandRows;
        for (uint16_t plane = 0; plane < m_planes; ++plane) {
            if (!(m_page.tiled ? LoadTiles(y0, rows, plane) : LoadStrip(y0, rows, plane))) return false;
        }
        return true;
    }

    SampleRow Row(uint16_t plane, uint32_t rowInBand) const {
        return SampleRow{m_bands[plane].data() + size_t(rowInBand) * m_rowBytes, m_page.bitsPerSample};
    }

private:
    bool LoadStrip(uint32_t y0, uint32_t rows, uint16_t plane) {
        const uint32_t strip = TIFFComputeStrip(m_tif, y0, plane);
        const tmsize_t got = TIFFReadEncodedStrip(m_tif, strip, m_bands[plane].data(), tmsize_t(m_bands[plane].size()));
        return got >= 0 && uint64_t(got) >= m_rowBytes * rows;
    }

    bool LoadTiles(uint32_t y0, uint32_t rows, uint16_t plane) {
        uint8_t* band = m_bands[plane].data();
        for (uint64_t t = 0; t < m_tilesAcross; ++t) {
            const uint32_t tile = TIFFComputeTile(m_tif, uint32_t(t * m_page.tileWidth), y0, 0, plane);
            const tmsize_t got = TIFFReadEncodedTile(m_tif, tile, m_piece.data(), tmsize_t(m_piece.size()));
            if (got < 0 || uint64_t(got) < m_pieceRowBytes * rows) return false;
            for (uint32_t r = 0; r < rows; ++r) {
                std::memcpy(band + r * m_rowBytes + t * m_pieceRowBytes, m_piece.data() + r * m_pieceRowBytes,
                            size_t(m_pieceRowBytes));
            }
        }
        return true;
    }

    TIFF* m_tif;
    const TiffPage& m_page;
    uint16_t m_planes = 1;
    uint32_t m_bandRows = 0;
    uint64_t m_rowBytes = 0;       // bytes per band row and plane
    uint64_t m_pieceBytes = 0;     // bytes of one decoded strip or tile
    uint64_t m_pieceRowBytes = 0;  // bytes per row of one tile
    uint64_t m_tilesAcross = 0;
    std::vector<std::vector<uint8_t>> m_bands;
    std::vector<uint8_t> m_piece;
};

// Gives the samples of one pixel of the current band row, whatever the planar layout.
class PixelSamples {
public:
    PixelSamples(const TiffBandReader& reader, const TiffPage& page)
        : m_reader(reader),
          m_separate(page.planar == PLANARCONFIG_SEPARATE),
          m_planes(m_separate ? page.usedSamples : 1),
          m_step(m_separate ? 1 : page.samplesPerPixel) {}

    void SetRow(uint32_t rowInBand) {
        m_rows.clear();
        for (uint16_t p = 0; p < m_planes; ++p) m_rows.push_back(m_reader.Row(p, rowInBand));
    }

    // The packed samples of every used channel when they share one plane (Step() apart).
    const uint8_t* Contiguous() const { return m_planes == 1 ? m_rows[0].data : nullptr; }
    uint32_t Step() const { return m_step; }

    uint32_t Get(uint32_t x, uint32_t sample) const {
        if (m_separate) return m_rows[sample].Get(x);
        return m_rows[0].Get(uint64_t(x) * m_step + sample);
    }

private:
    const TiffBandReader& m_reader;
    bool m_separate;
    uint16_t m_planes;
    uint32_t m_step;
    std::vector<SampleRow> m_rows;
};

uint32_t PaletteDepth(uint32_t bits) { return bits == 1 ? 1 : bits <= 4 ? 4 : 8; }

// The colour map in 8 bits. Some writers store 8-bit values in the 16-bit entries; a map with
// no entry above 255 is taken as one of those.
bool ReadColourMap(TIFF* tif, uint32_t entries, std::vector<RasterRgbQuad>& palette) {
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
    bool eightBit = true;
    for (uint32_t i = 0; i < entries; ++i) {
        if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
    }
    const uint32_t max = eightBit ? 255 : 65535;
    palette.resize(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        palette[i] = RasterRgbQuad{ScaleSampleToByte(blue[i], max), ScaleSampleToByte(green[i], max),
                                   ScaleSampleToByte(red[i], max), 0};
    }
    return true;
}

// How the picture is stored: palette indices (palette or grey up to 8 bits) or 24-bit colour.
struct OutputPlan {
    bool indexed = false;
    uint32_t depth = 24;
    std::vector<RasterRgbQuad> palette;  // the palette, or the colour map for 24-bit output
};

bool PlanOutput(RasterImage& image, TIFF* tif, const TiffPage& page, OutputPlan& plan) {
    const uint32_t bits = page.bitsPerSample;
    const uint32_t max = (1u << bits) - 1;
    if (page.colour == TiffColour::Palette) {
        if (!ReadColourMap(tif, max + 1, plan.palette)) {
            image.SetLastError("TIFF: palette picture without a colour map");
            return false;
        }
        plan.indexed = bits <= 8;
    } else if (page.colour == TiffColour::Grey) {
        // Up to 8 bits the samples index a grey palette; deeper ones are scaled into 8 bits.
        plan.indexed = true;
        const uint32_t entries = bits <= 8 ? max + 1 : 256;
        const uint32_t levels = entries - 1;
        const bool inverted = page.photometric == PHOTOMETRIC_MINISWHITE;
        plan.palette.resize(entries);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t v = ScaleSampleToByte(inverted ? levels - i : i, levels);
            plan.palette[i] = RasterRgbQuad{v, v, v, 0};
        }
    }
    plan.depth = plan.indexed ? PaletteDepth(bits > 8 ? 8 : bits) : 24;
    return true;
}

// Converts the pixels of one band row into the picture.
class RowConverter {
public:
    RowConverter(RasterImage& image, const TiffPage& page, const OutputPlan& plan)
        : m_image(image), m_page(page), m_plan(plan), m_orientation(page),
          m_max((1u << page.bitsPerSample) - 1),
          m_direct(page.bitsPerSample == 8 && page.orientation == ORIENTATION_TOPLEFT && !page.associatedAlpha &&
                   (page.colour == TiffColour::Rgb || page.colour == TiffColour::Grey)),
          m_copyIndices(plan.indexed && page.bitsPerSample == plan.depth && page.orientation == ORIENTATION_TOPLEFT &&
                        page.alphaSample < 0 && page.usedSamples == 1) {}

    void Convert(const PixelSamples& samples, uint32_t y) {
        const uint8_t* packed = samples.Contiguous();
        if (m_copyIndices && packed && samples.Step() == 1) {
            // Indices of the picture's own depth, one sample per pixel: the row as it is.
            std::memcpy(m_image.RowPointer(StoredRow(m_image, y)), packed,
                        (size_t(m_page.width) * m_page.bitsPerSample + 7) / 8);
            return;
        }
        if (m_direct && packed) {
            ConvertDirect(packed, samples.Step(), y);
            return;
        }
        for (uint32_t x = 0; x < m_page.width; ++x) {
            uint32_t px;
            uint32_t py;
            m_orientation.Map(x, y, px, py);
            const uint32_t stored = StoredRow(m_image, py);
            uint32_t alpha = m_max;
            if (m_page.alphaSample >= 0) {
                alpha = samples.Get(x, uint32_t(m_page.alphaSample));
                *m_image.AlphaPointer(px, stored) = ScaleSampleToByte(alpha, m_max);
            }
            if (m_plan.indexed) {
                m_image.SetPixelIndex(px, stored, Index(samples, x, alpha));
            } else {
                uint8_t rgb[3];
                Colour(samples, x, alpha, rgb);
                uint8_t* p = m_image.PixelPointer(px, stored);
                p[0] = rgb[2];
                p[1] = rgb[1];
                p[2] = rgb[0];
            }
        }
    }

private:
    // The common case of 8-bit samples in one plane, stored the right way up: plain copies.
    void ConvertDirect(const uint8_t* packed, uint32_t step, uint32_t y) {
        const uint32_t stored = StoredRow(m_image, y);
        uint8_t* out = m_image.RowPointer(stored);
        if (m_page.colour == TiffColour::Rgb) {
            for (uint32_t x = 0; x < m_page.width; ++x, packed += step, out += 3) {
                out[0] = packed[2];
                out[1] = packed[1];
                out[2] = packed[0];
            }
            packed -= size_t(step) * m_page.width;
        } else {
            for (uint32_t x = 0; x < m_page.width; ++x) out[x] = packed[size_t(x) * step];
        }
        if (m_page.alphaSample < 0) return;
        uint8_t* alpha = m_image.AlphaPointer(0, stored);
        const uint32_t a = uint32_t(m_page.alphaSample);
        for (uint32_t x = 0; x < m_page.width; ++x) alpha[x] = packed[size_t(x) * step + a];
    }

    // A colour sample with associated alpha taken out.
    uint32_t Straight(const PixelSamples& samples, uint32_t x, uint32_t sample, uint32_t alpha) const {
        const uint32_t v = samples.Get(x, sample);
        return m_page.associatedAlpha ? Unpremultiply(v, alpha, m_max) : v;
    }

    uint8_t Index(const PixelSamples& samples, uint32_t x, uint32_t alpha) const {
        if (m_page.colour == TiffColour::Palette) return uint8_t(samples.Get(x, 0));
        uint32_t v = samples.Get(x, 0);
        if (m_page.associatedAlpha) {
            // Premultiplication applies to the intensity, whatever the polarity.
            const bool inverted = m_page.photometric == PHOTOMETRIC_MINISWHITE;
            v = Unpremultiply(inverted ? m_max - v : v, alpha, m_max);
            if (inverted) v = m_max - v;
        }
        return m_page.bitsPerSample <= 8 ? uint8_t(v) : ScaleSampleToByte(v, m_max);
    }

    void Colour(const PixelSamples& samples, uint32_t x, uint32_t alpha, uint8_t rgb[3]) const {
        switch (m_page.colour) {
            case TiffColour::Palette: {
                const RasterRgbQuad& c = m_plan.palette[samples.Get(x, 0)];
                rgb[0] = c.rgbRed;
                rgb[1] = c.rgbGreen;
                rgb[2] = c.rgbBlue;
                return;
            }
            case TiffColour::Cmyk: {
                const uint32_t k = 255u - ScaleSampleToByte(Straight(samples, x, 3, alpha), m_max);
                for (uint32_t i = 0; i < 3; ++i) {
                    const uint32_t ink = ScaleSampleToByte(Straight(samples, x, i, alpha), m_max);
                    rgb[i] = uint8_t(((255u - ink) * k + 127) / 255);
                }
                return;
            }
            default:
                for (uint32_t i = 0; i < 3; ++i) rgb[i] = ScaleSampleToByte(Straight(samples, x, i, alpha), m_max);
                return;
        }
    }

    RasterImage& m_image;
    const TiffPage& m_page;
    const OutputPlan& m_plan;
    TiffOrientation m_orientation;
    uint32_t m_max;
    bool m_direct;
    bool m_copyIndices;
};

}  // namespace

bool ReadTiffSamples(RasterImage& image, TIFF* tif, const TiffPage& page) {
    OutputPlan plan;
    if (!PlanOutput(image, tif, page, plan)) return false;
    if (!CreateDecodedImage(image, page.PictureWidth(), page.PictureHeight(), plan.depth)) return false;
    if (plan.indexed) image.SetPalette(plan.palette.data(), uint32_t(plan.palette.size()));
    if (page.alphaSample >= 0 && !CreateDecodedAlpha(image)) return false;

    TiffBandReader reader(tif, page);
    if (!reader.Init()) {
        image.SetLastError("TIFF: strip or tile layout not readable");
        return false;
    }
    PixelSamples samples(reader, page);
    RowConverter converter(image, page, plan);
    for (uint32_t y0 = 0; y0 < page.height; y0 += reader.BandRows()) {
        if (DecodeStopRequested(image)) return false;
        if (!reader.Load(y0)) {
            if (image.LastErrorText()[0] == '\0') image.SetLastError("TIFF: damaged or truncated picture data");
            return false;
        }
        const uint32_t rows = y0 + reader.BandRows() > page.height ? page.height - y0 : reader.BandRows();
        for (uint32_t r = 0; r < rows; ++r) {
            if (DecodeStopRequested(image)) return false;
            samples.SetRow(r);
            converter.Convert(samples, y0 + r);
        }
    }
    return true;
}
