// What a paint of the picture view shows: the fitted view copy centred on black, and over it
// the crop box with the light preview of the zone Cut turns white, the shape outline, the frame
// and the handles. Everything is in client pixels; the pictures are only read.
#pragma once

#include <QImage>
#include <QLineF>

#include "doc/CropBoxModel.h"
#include "image/RasterImage.h"
#include "view/CompositionGuides.h"

// Renders paints, keeping the client-sized buffers from one paint to the next so that a paint
// does not allocate (and fault in) fresh pages every time.
//
// On a screen of device pixel ratio r (2 on most HiDPI screens, 1.5 on some) a paint is made
// at the screen's own pixels: the bitmap is r times the client size, carries r as its device
// pixel ratio, and shows `shown`, the picture at r times the size of the view copy, pixel for
// pixel; the box, its preview, outline, frame and handles are drawn at those pixels too. The
// view copy and the box keep their client coordinates: they place the picture and the box.
class ViewPainter {
public:
    // The whole client area of clientWidth x clientHeight as one 32-bit bitmap. The bitmap
    // shares the painter's buffer: drop it before the next paint or it is copied then.
    QImage Render(const RasterImage& view, const cropbox::CropBoxModel& box, int clientWidth, int clientHeight);
    // The same at device pixel ratio `ratio`. When `shown` is not r times the view copy's size
    // (no memory for it), the view copy is drawn at client pixels instead.
    QImage Render(const RasterImage& view, const RasterImage& shown, const cropbox::CropBoxModel& box, int clientWidth,
                  int clientHeight, qreal ratio);

    // The size of the picture a paint at that ratio shows for a view copy of viewSize.
    static QSize ShownSize(QSize viewSize, qreal ratio);

    // The composition guide drawn inside the box from the next paint on.
    void SetGuide(CompositionGuide guide, int spiralTurn) {
        m_guide = guide;
        m_spiralTurn = spiralTurn;
    }

    // While straightening: the fine grid inside the box, and the line being drawn along a
    // horizon (client pixels; a null line for none).
    void SetStraightenMarks(bool fineGrid, const QLineF& horizon) {
        m_fineGrid = fineGrid;
        m_horizon = horizon;
    }

private:
    bool PrepareBuffers(int width, int height);

    RasterImage m_composite;  // 24 bits, bottom-up, as the image core composes it
    QImage m_bitmap;          // what is blitted
    CompositionGuide m_guide = CompositionGuide::None;
    int m_spiralTurn = 0;
    bool m_fineGrid = false;
    QLineF m_horizon;
};

// One paint with buffers of its own.
QImage RenderViewClient(const RasterImage& view, const cropbox::CropBoxModel& box, int clientWidth,
                        int clientHeight);

// Lightens one colour value toward white for a mask value: a = mask div 6, P(c, 255 - a) + a.
uint8_t LightenTowardWhite(uint8_t colour, uint8_t mask);
