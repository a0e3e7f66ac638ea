#include "app/RibbonPanelPopup.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QtMath>
#include <QScreen>
#include <QVBoxLayout>

#include "app/RibbonPanel.h"
#include "app/RibbonLook.h"
#include "app/VisualStyles.h"

namespace {
constexpr int kPopupMargin = 3;
constexpr int kLargeIconSize = 32;
}  // namespace

// ---- PanelPopup ---------------------------------------------------------------------------------------

PanelPopup::PanelPopup(RibbonPanel* panel, QWidget* parent)
    : QFrame(parent, Qt::Popup), m_panel(panel), m_home(parent) {
    setObjectName(QStringLiteral("ribbonPanelPopup"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPopupMargin, kPopupMargin, kPopupMargin, kPopupMargin);
    CloseWhenCommandsRun();
}

void PanelPopup::CloseWhenCommandsRun() {
    for (RibbonElement* element : m_panel->Elements()) {
        if (auto* button = dynamic_cast<RibbonButton*>(element)) {
            if (button->menu() != nullptr) {
                connect(button->menu(), &QMenu::triggered, this, &QWidget::hide);
            } else {
                connect(button, &QToolButton::clicked, this, &QWidget::hide);
            }
        } else if (auto* check = dynamic_cast<RibbonCheckBox*>(element)) {
            connect(check, &QCheckBox::clicked, this, &QWidget::hide);
        }
        // Sliders and the edit box keep the popup open: they are used in several steps.
    }
}

void PanelPopup::Open(QPoint globalTopLeft) {
    if (m_panel->parentWidget() != this) {
        m_panel->setParent(this);
        layout()->addWidget(m_panel);
    }
    m_panel->show();
    adjustSize();
    QPoint at = globalTopLeft;
    if (const QScreen* screen = parentWidget()->screen()) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - height())));
    }
    move(at);
    show();
}

void PanelPopup::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    // The panel goes back to its category, hidden; the category lays it out again, in full
    // should the ribbon have grown meanwhile.
    if (m_home != nullptr && m_panel->parentWidget() == this) {
        layout()->removeWidget(m_panel);
        m_panel->hide();
        m_panel->setParent(m_home);
        QCoreApplication::postEvent(m_home, new QEvent(QEvent::LayoutRequest));
    }
}

void PanelPopup::paintEvent(QPaintEvent* event) {
    (void)event;
    const LookColours& look = CurrentLookColours();
    QPainter painter(this);
    PaintGradientBox(&painter, rect(), look.ribbonTop, look.ribbonBottom, look.panelBorder, 0);
}

// ---- CollapsedPanelButton -----------------------------------------------------------------------------

CollapsedPanelButton::CollapsedPanelButton(RibbonPanel* panel, QWidget* parent)
    : QToolButton(parent), m_panel(panel) {
    setObjectName(QStringLiteral("ribbonCollapsedPanel"));
    setProperty("ribbonLarge", true);
    setProperty(RibbonLook::kDropDownProperty, true);
    setText(panel->Name());
    setToolTip(panel->Name());
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setIconSize(QSize(kLargeIconSize, kLargeIconSize));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    connect(this, &QToolButton::clicked, this, &CollapsedPanelButton::ShowPopup);
}

void CollapsedPanelButton::SetPanelIcon(const QIcon& icon) {
    // The panel's icon at its own size in the middle of a large cell, so that every collapsed
    // panel's name sits on the same line whatever the size of its icon, or without one.
    const qreal ratio = devicePixelRatioF();
    QPixmap cell(qCeil(kLargeIconSize * ratio), qCeil(kLargeIconSize * ratio));
    cell.setDevicePixelRatio(ratio);
    cell.fill(Qt::transparent);
    if (!icon.isNull()) {
        const QSize size = icon.actualSize(QSize(kLargeIconSize, kLargeIconSize));
        QPainter painter(&cell);
        icon.paint(&painter, QRect(QPoint((kLargeIconSize - size.width()) / 2, (kLargeIconSize - size.height()) / 2), size));
    }
    setIcon(QIcon(cell));
}

void CollapsedPanelButton::ShowPopup() {
    if (m_popup == nullptr) m_popup = new PanelPopup(m_panel, parentWidget());
    m_popup->Open(mapToGlobal(QPoint(0, height())));
}

void CollapsedPanelButton::ClosePopup() {
    if (m_popup != nullptr) m_popup->hide();
}
