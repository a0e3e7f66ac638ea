// Dialog template units to pixels, from the dialog font: a horizontal unit is a quarter of the
// average width of the 52 letters A-Z and a-z (rounded to whole pixels), a vertical unit an
// eighth of the font height. Corners are mapped separately and rounded, so neighbouring
// controls keep their spacing.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : m_baseX(AverageLetterWidth(metrics.horizontalAdvance(QStringLiteral(
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")))),
          m_baseY(metrics.height()) {}
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int X(int units) const { return Scale(units, m_baseX, 4); }
    int Y(int units) const { return Scale(units, m_baseY, 8); }
    QRect Map(int x, int y, int width, int height) const {
        return QRect(QPoint(X(x), Y(y)), QPoint(X(x + width) - 1, Y(y + height) - 1));
    }
    QSize MapSize(int width, int height) const { return QSize(X(width), Y(height)); }

    // The average of 52 letters whose widths add up to `advance`, rounded half up. A font's
    // declared average character width is not this figure and often differs by a pixel, which
    // over a template several hundred units wide is a fifth of its size.
    static int AverageLetterWidth(int advance) { return (advance / 26 + 1) / 2; }

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
