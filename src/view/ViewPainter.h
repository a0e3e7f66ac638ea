// What a paint of the picture view shows: the fitted view copy centred on black, and over it
// the crop box with the light preview of the zone Cut turns white, the shape outline, the frame
// and the handles. Everything is in client pixels; the pictures are only read.
#pragma once

#include <QImage>

#include "view/CropBoxModel.h"
#include "image/RasterImage.h"

// Renders paints, keeping the client-sized buffers from one paint to the next so that a paint
// does not allocate (and fault in) fresh pages every time.
class ViewPainter {
public:
    // The whole client area of clientWidth x clientHeight as one 32-bit bitmap. The bitmap
    // shares the painter's buffer: drop it before the next paint or it is copied then.
    QImage Render(const RasterImage& view, const cropbox::CropBoxModel& box, int clientWidth, int clientHeight);

private:
    bool PrepareBuffers(int clientWidth, int clientHeight);

    RasterImage m_composite;  // 24 bits, bottom-up, as the image core composes it
    QImage m_bitmap;          // what is blitted
};

// One paint with buffers of its own.
QImage RenderViewClient(const RasterImage& view, const cropbox::CropBoxModel& box, int clientWidth,
                        int clientHeight);

// Lightens one colour value toward white for a mask value: a = mask div 6, P(c, 255 - a) + a.
uint8_t LightenTowardWhite(uint8_t colour, uint8_t mask);
