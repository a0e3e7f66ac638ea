// Entry points of the WMF and EMF players: cheap format checks and playback of a whole
// file (held in memory) into a 24-bit picture on white.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/RasterImage.h"

namespace metafile {

bool IsWmf(const uint8_t* data, size_t size);
bool IsEmf(const uint8_t* data, size_t size);
// On failure error names the reason (a static text).
bool PlayWmf(const uint8_t* data, size_t size, RasterImage& picture, const char*& error);
bool PlayEmf(const uint8_t* data, size_t size, RasterImage& picture, const char*& error);

}  // namespace metafile
