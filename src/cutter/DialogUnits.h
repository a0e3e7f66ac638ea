// Dialog template units to pixels, from the dialog font: a horizontal unit is a quarter of the
// average character width, a vertical unit an eighth of the font height. Corners are mapped
// separately and rounded, so neighbouring controls keep their spacing.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : m_baseX(metrics.averageCharWidth()), m_baseY(metrics.height()) {}
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int X(int units) const { return Scale(units, m_baseX, 4); }
    int Y(int units) const { return Scale(units, m_baseY, 8); }
    QRect Map(int x, int y, int width, int height) const {
        return QRect(QPoint(X(x), Y(y)), QPoint(X(x + width) - 1, Y(y + height) - 1));
    }
    QSize MapSize(int width, int height) const { return QSize(X(width), Y(height)); }

private:
    // units x base / divisor, rounded half away from zero.
    static int Scale(int units, int base, int divisor) {
        const long long product = static_cast<long long>(units) * base;
        const long long half = divisor / 2;
        return static_cast<int>(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
    }

    int m_baseX;
    int m_baseY;
};
