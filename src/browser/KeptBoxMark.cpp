#include "browser/KeptBoxMark.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kMarkSide = 13;   // the badge, logical pixels
constexpr int kInset = 2;       // from the frame's corner
const QColor kBadge(0x20, 0x60, 0xC0);

}  // namespace

void DrawKeptBoxMark(QPainter& painter, const QRect& frame) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF badge(frame.right() - kInset - kMarkSide + 1, frame.top() + kInset, kMarkSide, kMarkSide);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kBadge);
    painter.drawRoundedRect(badge, 2.5, 2.5);
    // Two crossing corners: the sign photo tools use for a crop.
    const qreal unit = kMarkSide / 13.0;
    const QPointF o = badge.topLeft();
    QPainterPath corners;
    corners.moveTo(o + QPointF(4 * unit, 2 * unit));
    corners.lineTo(o + QPointF(4 * unit, 9 * unit));
    corners.lineTo(o + QPointF(11 * unit, 9 * unit));
    corners.moveTo(o + QPointF(2 * unit, 4 * unit));
    corners.lineTo(o + QPointF(9 * unit, 4 * unit));
    corners.lineTo(o + QPointF(9 * unit, 11 * unit));
    painter.setPen(QPen(Qt::white, 1.3 * unit, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(corners);
    painter.restore();
}
