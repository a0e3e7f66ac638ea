// Picture format ids, stored in an image's information fields. 0 means "unknown, detect by
// content"; ids 1..RASTER_FORMAT_LAST are the supported ones.
#pragma once

#include <cstdint>

enum RasterFormatId : uint32_t {
    RASTER_FORMAT_UNKNOWN = 0,
    RASTER_FORMAT_BMP = 1,
    RASTER_FORMAT_GIF = 2,
    RASTER_FORMAT_JPG = 3,
    RASTER_FORMAT_PNG = 4,
    RASTER_FORMAT_ICO = 5,
    RASTER_FORMAT_TIF = 6,
    RASTER_FORMAT_TGA = 7,
    RASTER_FORMAT_PCX = 8,
    RASTER_FORMAT_WBMP = 9,
    RASTER_FORMAT_WMF = 10,
    RASTER_FORMAT_JP2 = 11,
    RASTER_FORMAT_JPC = 12,
    RASTER_FORMAT_PGX = 13,
    RASTER_FORMAT_PNM = 14,
    RASTER_FORMAT_RAS = 15,
    RASTER_FORMAT_JBG = 16,
    RASTER_FORMAT_MNG = 17,
    RASTER_FORMAT_SKA = 18,
    RASTER_FORMAT_RAW = 19,
    RASTER_FORMAT_WEBP = 20,
    RASTER_FORMAT_HEIF = 21,
    RASTER_FORMAT_AVIF = 22,
    RASTER_FORMAT_JXL = 23,
};

constexpr uint32_t RASTER_FORMAT_LAST = RASTER_FORMAT_JXL;
// One codec option word per id, index 0 included.
constexpr uint32_t RASTER_FORMAT_COUNT = RASTER_FORMAT_LAST + 1;

constexpr bool IsSupportedRasterFormat(uint32_t type) {
    return type >= RASTER_FORMAT_BMP && type <= RASTER_FORMAT_LAST;
}
