// What a paint of the picture view shows: the fitted view copy centred on black, and over it
// the crop box with the light preview of the zone Cut turns white, the shape outline, the frame
// and the handles. Everything is in client pixels; the pictures are only read.
#pragma once

#include <QImage>

#include "CropBoxModel.h"
#include "RasterImage.h"

// The whole client area of clientWidth x clientHeight as one 32-bit bitmap.
QImage RenderViewClient(const RasterImage& view, const cropbox::CropBoxModel& box, int clientWidth,
                        int clientHeight);

// Lightens one colour value toward white for a mask value: a = mask div 6, P(c, 255 - a) + a.
uint8_t LightenTowardWhite(uint8_t colour, uint8_t mask);
