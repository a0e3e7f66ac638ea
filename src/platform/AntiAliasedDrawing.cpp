#include "platform/AntiAliasedDrawing.h"

#include <QImage>
#include <QPainter>

#include <cstring>

namespace {

// Paints onto an 8-bit alpha image sharing the surface's bytes: the coverage of an opaque
// brush is the grey level (blended over what is there).
template <class Draw>
void PaintGrey(std::vector<uint8_t>& pixels, int width, int height, uint8_t level, Draw draw) {
    if (width <= 0 || height <= 0) return;
    // Grey levels are drawn as the alpha of a premultiplied colour: source-over on an Alpha8
    // surface gives level where covered, a blend at the anti-aliased edge.
    QImage image(pixels.data(), width, height, width, QImage::Format_Alpha8);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, level));
    draw(painter);
}

}  // namespace

GreySurface::GreySurface(int width, int height)
    : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0) {
    m_pixels.assign(size_t(m_width) * size_t(m_height), 0);
}

bool GreySurface::IsValid() const {
    return m_width > 0 && m_height > 0 && m_pixels.size() == size_t(m_width) * size_t(m_height);
}

void GreySurface::FillPath(const QPainterPath& path, uint8_t level) {
    PaintGrey(m_pixels, m_width, m_height, level, [&](QPainter& p) { p.drawPath(path); });
}

void GreySurface::FillRect(double x, double y, double width, double height, uint8_t level) {
    PaintGrey(m_pixels, m_width, m_height, level, [&](QPainter& p) { p.drawRect(QRectF(x, y, width, height)); });
}

void GreySurface::FillEllipse(double x, double y, double width, double height, uint8_t level) {
    PaintGrey(m_pixels, m_width, m_height, level, [&](QPainter& p) { p.drawEllipse(QRectF(x, y, width, height)); });
}

const uint8_t* GreySurface::Row(int y) const {
    return m_pixels.data() + size_t(y) * size_t(m_width);
}

std::vector<uint8_t> GreySurface::BottomUpBytes() const {
    std::vector<uint8_t> out(m_pixels.size());
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(out.data() + size_t(m_height - 1 - y) * size_t(m_width), Row(y), size_t(m_width));
    }
    return out;
}
