#include "app/AppIcon.h"

#include <QPainter>

#include "app/IconAtlas.h"

AppIcon::AppIcon(QWidget* parent) : QWidget(parent) {}

bool AppIcon::AttachIcon(const QImage* atlas) {
    if (!atlas) return false;
    QImage icon = ExtractIconStrip(*atlas, ATLAS_ABOUT_ICON_Y, ATLAS_ABOUT_ICON_X, ATLAS_ABOUT_ICON_SIZE,
                                   ATLAS_ABOUT_ICON_SIZE);
    if (icon.isNull()) return false;
    m_iconBitmap = std::move(icon);
    const QRect old = geometry();
    setGeometry(old.left() + old.width() / 2 - m_iconBitmap.width() / 2,
                old.top() + old.height() / 2 - m_iconBitmap.height() / 2, m_iconBitmap.width(), m_iconBitmap.height());
    update();
    return true;
}

void AppIcon::paintEvent(QPaintEvent*) {
    if (m_iconBitmap.isNull()) return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPoint(0, 0), m_iconBitmap);
}
