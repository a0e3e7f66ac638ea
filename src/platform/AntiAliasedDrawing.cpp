#include "platform/AntiAliasedDrawing.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// The painter's spans hold their columns in 16 bits.
constexpr int kPainterReach = 32767;

int UsableTileSide(int tileSide) { return std::clamp(tileSide, 1, kPainterReach); }

}  // namespace

GreySurface::GreySurface(int width, int height, int tileSide)
    : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0), m_tileSide(UsableTileSide(tileSide)) {
    m_owned.assign(size_t(m_width) * size_t(m_height), 0);
}

GreySurface::GreySurface(uint8_t* pixels, int width, int height, int tileSide)
    : m_width(pixels && width > 0 && height > 0 ? width : 0),
      m_height(pixels && width > 0 && height > 0 ? height : 0),
      m_tileSide(UsableTileSide(tileSide)),
      m_external(pixels) {}

bool GreySurface::IsValid() const {
    if (m_width <= 0 || m_height <= 0) return false;
    return m_external || m_owned.size() == size_t(m_width) * size_t(m_height);
}

// Grey levels are drawn as the alpha of a premultiplied colour: source-over on an Alpha8 tile
// that shares the surface's bytes gives level where covered, a blend at the anti-aliased edge.
template <class Draw>
void GreySurface::PaintTiles(uint8_t level, Draw draw) {
    if (!IsValid()) return;
    for (int top = 0; top < m_height; top += m_tileSide) {
        const int rows = std::min(m_tileSide, m_height - top);
        for (int left = 0; left < m_width; left += m_tileSide) {
            const int columns = std::min(m_tileSide, m_width - left);
            QImage tile(Bits() + size_t(top) * size_t(m_width) + size_t(left), columns, rows, qsizetype(m_width),
                        QImage::Format_Alpha8);
            QPainter painter(&tile);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, level));
            painter.translate(-left, -top);
            draw(painter);
        }
    }
}

void GreySurface::FillPath(const QPainterPath& path, uint8_t level) {
    PaintTiles(level, [&](QPainter& p) { p.drawPath(path); });
}

void GreySurface::FillRect(double x, double y, double width, double height, uint8_t level) {
    PaintTiles(level, [&](QPainter& p) { p.drawRect(QRectF(x, y, width, height)); });
}

void GreySurface::FillEllipse(double x, double y, double width, double height, uint8_t level) {
    PaintTiles(level, [&](QPainter& p) { p.drawEllipse(QRectF(x, y, width, height)); });
}

const uint8_t* GreySurface::Row(int y) const {
    return Bits() + size_t(y) * size_t(m_width);
}

std::vector<uint8_t> GreySurface::BottomUpBytes() const {
    std::vector<uint8_t> out(size_t(m_width) * size_t(m_height));
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(out.data() + size_t(m_height - 1 - y) * size_t(m_width), Row(y), size_t(m_width));
    }
    return out;
}
