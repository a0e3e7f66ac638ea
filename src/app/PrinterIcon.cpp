#include "app/PrinterIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A printer on a 32 x 32 grid: a sheet going in at the top, the grey body with its paper
// slot and a green light, and the printed sheet coming out at the front.
QPixmap DrawPrinter(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    const QPen outline(QColor(60, 60, 60), 1);

    painter.setPen(outline);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9.5, 3.5, 13, 10));

    QPainterPath body;
    body.addRoundedRect(QRectF(3.5, 11.5, 25, 12), 2.5, 2.5);
    QLinearGradient grey(0, 11, 0, 24);
    grey.setColorAt(0, QColor(200, 200, 200));
    grey.setColorAt(1, QColor(130, 130, 130));
    painter.setBrush(grey);
    painter.drawPath(body);
    painter.setBrush(QColor(70, 70, 70));
    painter.drawRect(QRectF(7.5, 19.5, 17, 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 200, 60));
    painter.drawEllipse(QPointF(24.5, 15), 1.3, 1.3);

    painter.setPen(outline);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(9.5, 20.5, 13, 9));
    painter.setPen(QPen(QColor(120, 150, 200), 1));
    for (double y : {23.5, 25.5, 27.5}) painter.drawLine(QPointF(11.5, y), QPointF(20.5, y));
    return pixmap;
}

}  // namespace

QIcon PrinterIcon() {
    QIcon drawn;
    for (int size : {16, 32}) drawn.addPixmap(DrawPrinter(size));
    return QIcon::fromTheme(QStringLiteral("document-print"), drawn);
}
