// The bitmap Print hands the printer: the picture itself, or a copy reduced by the image core
// when a side is longer than any print can use. The painter draws at most 32767 pixels a side
// and a full-size 32-bit copy of the largest pictures would take gigabytes.
#pragma once

#include <QImage>

#include <cstdint>

#include "image/RasterImage.h"

namespace printbitmap {

// 16384 pixels are 54 inches at 300 dpi, beyond any paper the print dialogs offer.
inline constexpr uint32_t kLongestPrintSide = 16384;

// The pixel size the print bitmap of a width x height picture gets: the picture's own when its
// long side is at most kLongestPrintSide, else reduced to that long side with its proportions.
QSize PrintSize(uint32_t width, uint32_t height);

// The opaque RGB32 bitmap of picture at PrintSize; picture itself is reduced in place first
// (so that the full-size pixels are given back before the bitmap is made) and a palette
// picture turned into 24 bits. Null when the picture is invalid or memory runs out.
QImage MakePrintBitmap(RasterImage& picture);

}  // namespace printbitmap
