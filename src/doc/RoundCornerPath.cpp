#include "doc/RoundCornerPath.h"

#include <QTransform>

#include "doc/CropBoxModel.h"

namespace {
constexpr double kRadiusFraction = 0.05;
constexpr int kMinimumRadius = 3;
// Control points this far along the edges approximate a quarter circle.
constexpr double kControlFraction = 0.45;
}  // namespace

int RoundCornerRadius(int left, int top, int right, int bottom) {
    const int radius = cropbox::Round(kRadiusFraction * cropbox::Halve(right - left + bottom - top));
    return radius <= kMinimumRadius ? kMinimumRadius : radius;
}

QPainterPath MakeRoundCornerPath(int left, int top, int right, int bottom) {
    const int r = RoundCornerRadius(left, top, right, bottom);
    const int k = cropbox::Round(kControlFraction * r);
    const int x1 = right - 1;
    const int y1 = bottom - 1;
    QPainterPath path;
    path.moveTo(left, top + r);
    path.cubicTo(left, top + k, left + k, top, left + r, top);
    path.lineTo(x1 - r, top);
    path.cubicTo(x1 - k, top, x1, top + k, x1, top + r);
    path.lineTo(x1, y1 - r);
    path.cubicTo(x1, y1 - k, x1 - k, y1, x1 - r, y1);
    path.lineTo(left + r, y1);
    path.cubicTo(left + k, y1, left, y1 - k, left, y1 - r);
    path.closeSubpath();
    return path;
}

QPainterPath RoundCornerFigureCovering(int left, int top, int right, int bottom) {
    const QPainterPath figure = MakeRoundCornerPath(left, top, right, bottom);
    const int spanX = right - 1 - left;
    const int spanY = bottom - 1 - top;
    if (spanX <= 0 || spanY <= 0) return figure;
    QTransform stretch;
    stretch.translate(left, top);
    stretch.scale(double(right - left) / spanX, double(bottom - top) / spanY);
    stretch.translate(-left, -top);
    return stretch.map(figure);
}
