// Shared body of the per-format fuzz targets: decode the input with one format class and
// check that a success yields a consistent picture whose every byte can be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/RasterFile.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

// Keeps the checksum below from being optimised away.
inline volatile uint32_t g_fuzzSink = 0;

// Reads every pixel and alpha byte so that the sanitizers see any bad buffer.
inline void CheckDecodedPicture(const RasterImage& image) {
    if (!image.IsValid() || image.GetWidth() == 0 || image.GetHeight() == 0) std::abort();
    const uint32_t bpp = image.GetBpp();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) std::abort();
    uint32_t sum = 0;
    const uint8_t* bits = image.GetBits();
    for (size_t i = 0; i < image.GetHeader().biSizeImage; ++i) sum += bits[i];
    if (const uint8_t* alpha = image.GetAlphaPlane()) {
        for (size_t i = 0; i < size_t(image.GetWidth()) * image.GetHeight(); ++i) sum += alpha[i];
    }
    g_fuzzSink = sum;
}

template <class Format>
int FuzzFormatDecode(const uint8_t* data, size_t size) {
    if (size > RASTER_MAX_MEMORY) return 0;
    RasterMemFile file(const_cast<uint8_t*>(data), uint32_t(size));
    Format format;
    if (format.Decode(&file)) CheckDecodedPicture(format);
    return 0;
}

// A format class that also hands back the metadata blocks it finds, so that their paths run.
template <class Format>
class FuzzWithMetadata : public Format {
public:
    FuzzWithMetadata() { Format::SetMetadataTarget(&m_metadata); }

private:
    PictureMetadata m_metadata;
};
