#include "browser/BrokenPictureGlyph.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace {

// The sign's size as shares of the box's shorter side.
constexpr double kWidthShare = 0.6;
constexpr double kHeightShare = 0.46;
const QColor kOutline(0x70, 0x70, 0x70);
const QColor kSky(0xD8, 0xE4, 0xF0);
const QColor kHill(0x90, 0xB0, 0x80);
const QColor kSun(0xF0, 0xC0, 0x40);
const QColor kTear(0xC0, 0x20, 0x20);

// A jagged line from the top edge to the bottom edge of frame, a little right of its middle.
QPolygonF TearLine(const QRectF& frame) {
    const double x = frame.left() + frame.width() * 0.55;
    const double step = frame.width() * 0.08;
    QPolygonF line;
    const int teeth = 5;
    for (int i = 0; i <= teeth; ++i) {
        const double y = frame.top() + frame.height() * i / teeth;
        line << QPointF(i % 2 == 0 ? x - step : x + step, y);
    }
    return line;
}

}  // namespace

void DrawBrokenPictureGlyph(QPainter& painter, const QRect& box) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double side = std::min(box.width(), box.height());
    const QSizeF size(side * kWidthShare, side * kHeightShare);
    const QRectF frame(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2,
                       size.width(), size.height());
    // The picture: sky, a hill and a sun, in a grey frame.
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSky);
    painter.drawRect(frame);
    QPainterPath hill;
    hill.moveTo(frame.bottomLeft());
    hill.lineTo(frame.left() + frame.width() * 0.35, frame.top() + frame.height() * 0.45);
    hill.lineTo(frame.left() + frame.width() * 0.7, frame.bottom() - frame.height() * 0.25);
    hill.lineTo(frame.right(), frame.top() + frame.height() * 0.55);
    hill.lineTo(frame.bottomRight());
    hill.closeSubpath();
    painter.setBrush(kHill);
    painter.drawPath(hill);
    painter.setBrush(kSun);
    const double sun = frame.height() * 0.22;
    painter.drawEllipse(QRectF(frame.right() - 2.2 * sun, frame.top() + 0.5 * sun, sun, sun));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kOutline, 1));
    painter.drawRect(frame);
    // The tear: a white gap with a red edge, right through the picture.
    const QPolygonF tear = TearLine(frame);
    painter.setPen(QPen(Qt::white, std::max(2.0, side * 0.06), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPolyline(tear);
    painter.setPen(QPen(kTear, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPolyline(tear);
    painter.restore();
}
