// The small JPEG picture an EXIF block carries for quick previews, made anew from the picture
// it describes.
#pragma once

#include <cstdint>
#include <vector>

#include "image/RasterImage.h"

// Longest side of the thumbnail, in pixels.
constexpr uint32_t kExifThumbnailSide = 160;

// A JPEG of picture (24-bit) fitted into kExifThumbnailSide; false when it cannot be made.
// Each thumbnail pixel averages a small grid of samples of the picture, which keeps the cost
// independent of the picture's size.
bool MakeExifThumbnail(const RasterImage& picture, std::vector<uint8_t>& jpeg);
