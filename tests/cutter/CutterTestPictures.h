// Pictures and cutters shared by the cutter tests.
#pragma once

#include <cstdint>

#include "RasterImage.h"

namespace cuttertest {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0xFF0000;

// A size x size white cutter without alpha with a black square over its middle half
// (picture coordinates size/4 .. 3*size/4 - 1).
RasterImage MakeSquareShapeCutter(uint32_t size);
// Paints the rectangle [left, right) x [top, bottom) (picture coordinates) in one colour.
void FillPictureRect(RasterImage& image, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom, uint32_t color);
// Alpha at picture coordinates (y = 0 at the top).
uint8_t PictureAlpha(const RasterImage& image, uint32_t x, uint32_t y);

}  // namespace cuttertest
