// The first page of an open TIFF file as the TIFF readers see it, and the two ways of reading
// its pixels: our own sample reader for the common layouts, and libtiff's RGBA conversion
// for the rest (YCbCr without JPEG, old-style JPEG, CIE Lab, LogLuv, ...).
#pragma once

#include <tiffio.h>

#include <cstdint>

#include "image/formats/RasterDecodeSupport.h"
#include "image/RasterImage.h"

enum class TiffColour { Grey, Palette, Rgb, Cmyk };

struct TiffPage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 1;
    uint16_t samplesPerPixel = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool tiled = false;
    uint32_t tileWidth = 0;
    uint32_t tileLength = 0;
    uint32_t rowsPerStrip = 0;
    // Set only for layouts our own reader handles.
    TiffColour colour = TiffColour::Grey;
    int alphaSample = -1;       // index of the alpha sample, -1 = none
    bool associatedAlpha = false;
    uint16_t usedSamples = 1;   // samples 0 .. usedSamples - 1 are read, the rest skipped

    // Picture size after the orientation is applied.
    bool Transposed() const { return orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT; }
    uint32_t PictureWidth() const { return Transposed() ? height : width; }
    uint32_t PictureHeight() const { return Transposed() ? width : height; }
};

// Maps file pixel positions (row 0 first as stored) to picture positions (top row first).
class TiffOrientation {
public:
    explicit TiffOrientation(const TiffPage& page)
        : m_orientation(page.orientation), m_width(page.width), m_height(page.height) {}

    void Map(uint32_t x, uint32_t y, uint32_t& px, uint32_t& py) const {
        const uint32_t rx = m_width - 1 - x;
        const uint32_t ry = m_height - 1 - y;
        switch (m_orientation) {
            case ORIENTATION_TOPRIGHT: px = rx; py = y; break;
            case ORIENTATION_BOTRIGHT: px = rx; py = ry; break;
            case ORIENTATION_BOTLEFT: px = x; py = ry; break;
            case ORIENTATION_LEFTTOP: px = y; py = x; break;
            case ORIENTATION_RIGHTTOP: px = ry; py = x; break;
            case ORIENTATION_RIGHTBOT: px = ry; py = rx; break;
            case ORIENTATION_LEFTBOT: px = y; py = rx; break;
            default: px = x; py = y; break;
        }
    }

private:
    uint16_t m_orientation;
    uint32_t m_width;
    uint32_t m_height;
};

// value * max / alpha, rounded and clamped: undoes premultiplication by alpha.
inline uint32_t Unpremultiply(uint32_t value, uint32_t alpha, uint32_t max) {
    if (alpha == 0) return 0;
    if (alpha >= max) return value;
    const uint64_t v = (uint64_t(value) * max + alpha / 2) / alpha;
    return v > max ? max : uint32_t(v);
}

// Both create image and fill it from the page; false with the last error.
bool ReadTiffSamples(RasterImage& image, TIFF* tif, const TiffPage& page);
bool ReadTiffRgba(RasterImage& image, TIFF* tif, const TiffPage& page);
