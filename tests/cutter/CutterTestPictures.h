// Pictures, cutters and model set-ups shared by the cutter tests.
#pragma once

#include <cstdint>

#include "cutter/CutterModel.h"
#include "image/RasterImage.h"

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
// A vignette: alpha 0 over the middle, 255 at the edges and a soft ring between. With its
// own colours a 24-bit picture with that alpha plane over a colour pattern; otherwise grey
// levels without alpha (black in the middle, white at the edges).
RasterImage MakeVignetteCutter(uint32_t width, uint32_t height, bool ownColours);

// Side of the square control the models are built for.
constexpr int32_t kControl = 500;
// A model with the picture and the cutter (none when invalid), built for a kControl x
// kControl control.
cutter::CutterModel BuiltModel(const RasterImage& picture, const RasterImage& cutter);
// Drags from one point to the other in a single step, then releases.
void Drag(cutter::CutterModel& model, cutter::Point from, cutter::Point to);

}  // namespace cuttertest
