#include "order/SheetPainter.h"

#include <QPainterPath>
#include <QPen>

namespace order {

namespace {

QRectF DeviceRect(const PlacedPrint& placed, const SheetGeometry& geometry) {
    return {geometry.origin.x() + placed.xMm * geometry.unitsPerMm, geometry.origin.y() + placed.yMm * geometry.unitsPerMm,
            placed.widthMm * geometry.unitsPerMm, placed.heightMm * geometry.unitsPerMm};
}

// A print turned a quarter clockwise: its pixels drawn upright into a rectangle of the turned
// one's sides swapped, about the same centre.
void DrawTurned(QPainter& painter, const QRectF& target, const QImage& pixels) {
    painter.save();
    painter.translate(target.center());
    painter.rotate(90);
    painter.drawImage(QRectF(-target.height() / 2, -target.width() / 2, target.height(), target.width()), pixels);
    painter.restore();
}

// The two short lines that carry the edges meeting at corner outwards, away from the print
// (dx, dy: -1 or 1, the direction away from it along each edge).
void DrawCornerMarks(QPainter& painter, QPointF corner, double dx, double dy, double unitsPerMm) {
    const double start = kCutMarkOffsetMm * unitsPerMm;
    const double end = (kCutMarkOffsetMm + kCutMarkLengthMm) * unitsPerMm;
    painter.drawLine(QPointF(corner.x() + dx * start, corner.y()), QPointF(corner.x() + dx * end, corner.y()));
    painter.drawLine(QPointF(corner.x(), corner.y() + dy * start), QPointF(corner.x(), corner.y() + dy * end));
}

void DrawCutMarks(QPainter& painter, const std::vector<QRectF>& targets, double unitsPerMm) {
    QPainterPath outside;
    outside.addRect(painter.window());
    QPainterPath printsArea;
    for (const QRectF& target : targets) printsArea.addRect(target);
    painter.save();
    painter.setClipPath(outside.subtracted(printsArea));
    QPen pen(Qt::black);
    pen.setWidthF(kCutMarkWidthMm * unitsPerMm);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    for (const QRectF& target : targets) {
        DrawCornerMarks(painter, target.topLeft(), -1, -1, unitsPerMm);
        DrawCornerMarks(painter, target.topRight(), 1, -1, unitsPerMm);
        DrawCornerMarks(painter, target.bottomLeft(), -1, 1, unitsPerMm);
        DrawCornerMarks(painter, target.bottomRight(), 1, 1, unitsPerMm);
    }
    painter.restore();
}

}  // namespace

void PaintSheet(QPainter& painter, const Sheet& sheet, const std::vector<SheetPrint>& prints,
                const std::vector<int>* indices, const SheetGeometry& geometry, bool cutMarks) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    std::vector<QRectF> targets;
    for (const PlacedPrint& placed : sheet.prints) {
        const size_t index = indices != nullptr ? size_t((*indices)[size_t(placed.print)]) : size_t(placed.print);
        const QRectF target = DeviceRect(placed, geometry);
        targets.push_back(target);
        if (placed.turned) {
            DrawTurned(painter, target, prints[index].pixels);
        } else {
            painter.drawImage(target, prints[index].pixels);
        }
    }
    if (cutMarks) DrawCutMarks(painter, targets, geometry.unitsPerMm);
    painter.restore();
}

}  // namespace order
