#include "app/AppIcon.h"

#include <QPainter>

#include "app/ResImageLib.h"

AppIcon::AppIcon(QWidget* parent) : QWidget(parent) {}

bool AppIcon::AttachIcon(const RasterImage* atlas) {
    if (!atlas) return false;
    QImage icon = ExtractIconStrip(*atlas, ATLAS_ABOUT_ICON_Y, ATLAS_ABOUT_ICON_X, ATLAS_ABOUT_ICON_SIZE,
                                   ATLAS_ABOUT_ICON_SIZE);
    if (icon.isNull()) return false;
    m_bmpIcon = std::move(icon);
    const QRect old = geometry();
    setGeometry(old.left() + old.width() / 2 - m_bmpIcon.width() / 2,
                old.top() + old.height() / 2 - m_bmpIcon.height() / 2, m_bmpIcon.width(), m_bmpIcon.height());
    update();
    return true;
}

void AppIcon::paintEvent(QPaintEvent*) {
    if (m_bmpIcon.isNull()) return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPoint(0, 0), m_bmpIcon);
}
