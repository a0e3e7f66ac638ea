#include "app/RibbonLook.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <QTabBar>

#include "app/RibbonCategory.h"
#include "app/VisualStyles.h"

namespace {

constexpr char kChromeProperty[] = "snipwellChrome";
constexpr qreal kCornerRadius = 3;
constexpr int kTabTopMargin = 4;  // the tabs hang from the frame colour above them
constexpr int kTabExtraWidth = 16;

bool IsNamed(const QWidget* widget, const char* name) {
    return widget != nullptr && widget->objectName() == QLatin1String(name);
}

bool IsRibbonTabBar(const QWidget* widget) {
    return IsNamed(widget, "ribbonTabs");
}

// The small downward arrow of a drop-down button, centred on centre.
void PaintDropArrow(QPainter* painter, QPoint centre, const QColor& colour) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    const QPointF corners[] = {QPointF(centre.x() - 3.5, centre.y() - 1.5), QPointF(centre.x() + 3.5, centre.y() - 1.5),
                               QPointF(centre.x(), centre.y() + 2)};
    painter->drawPolygon(corners, 3);
    painter->restore();
}

// The menu's own colours on every text role, so that the platform style writes the item's
// text and marks in them.
void UseMenuColours(QPalette& palette, const LookColours& look) {
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Active, role, look.menuText);
        palette.setColor(QPalette::Inactive, role, look.menuText);
        palette.setColor(QPalette::Disabled, role, look.menuDisabledText);
    }
    palette.setColor(QPalette::Window, look.menuBackground);
}

}  // namespace

void PaintGradientBox(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom,
                      const QColor& border, qreal radius) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF box = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter->setPen(border.isValid() ? QPen(border, 1) : QPen(Qt::NoPen));
    painter->setBrush(fill);
    painter->drawRoundedRect(box, radius, radius);
    painter->restore();
}

void PaintVerticalGradient(QPainter* painter, const QRect& rect, const QColor& top, const QColor& bottom) {
    QLinearGradient fill(rect.topLeft(), rect.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    painter->fillRect(rect, fill);
}

void PaintRoundedFrame(QPainter* painter, const QRect& rect, const QColor& colour) {
    if (rect.width() < 4 || rect.height() < 4) return;
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();
    painter->fillRect(QRect(QPoint(l + 2, t), QPoint(r - 2, t)), colour);
    painter->fillRect(QRect(QPoint(l + 2, b), QPoint(r - 2, b)), colour);
    painter->fillRect(QRect(QPoint(l, t + 2), QPoint(l, b - 2)), colour);
    painter->fillRect(QRect(QPoint(r, t + 2), QPoint(r, b - 2)), colour);
    for (const QPoint corner : {QPoint(l + 1, t + 1), QPoint(r - 1, t + 1), QPoint(l + 1, b - 1), QPoint(r - 1, b - 1)}) {
        painter->fillRect(QRect(corner, QSize(1, 1)), colour);
    }
}

void RibbonLook::Install() {
    if (dynamic_cast<RibbonLook*>(QApplication::style()) != nullptr) return;
    QApplication::setStyle(new RibbonLook);
}

void RibbonLook::MarkChrome(QWidget* root) {
    root->setProperty(kChromeProperty, true);
}

bool RibbonLook::IsChrome(const QWidget* widget) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (w->property(kChromeProperty).toBool()) return true;
    }
    return false;
}

void RibbonLook::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    // The ribbon's tabs light up under the mouse.
    if (IsRibbonTabBar(widget)) widget->setAttribute(Qt::WA_Hover, true);
}

void RibbonLook::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    if (!IsChrome(widget)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const LookColours& look = CurrentLookColours();
    switch (element) {
        case PE_FrameStatusBarItem:
            // One line left of every pane.
            painter->fillRect(QRect(option->rect.left(), option->rect.top(), 1, option->rect.height()), look.panelBorder);
            return;
        case PE_PanelMenu:
            painter->fillRect(option->rect, look.menuBackground);
            [[fallthrough]];
        case PE_FrameMenu:
            painter->save();
            painter->setPen(look.panelBorder);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void RibbonLook::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
    if (element == CE_TabBarTabShape && IsRibbonTabBar(widget)) {
        DrawTabShape(option, painter);
        return;
    }
    if (element == CE_TabBarTabLabel && IsRibbonTabBar(widget)) {
        if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
            const LookColours& look = CurrentLookColours();
            QStyleOptionTab label = *tab;
            const bool lit = (tab->state & State_Selected) || (tab->state & State_MouseOver);
            const QColor colour = lit ? look.caption : look.tabText;
            label.palette.setColor(QPalette::WindowText, colour);
            label.palette.setColor(QPalette::ButtonText, colour);
            label.rect.setTop(label.rect.top() + kTabTopMargin);
            QProxyStyle::drawControl(element, &label, painter, widget);
            return;
        }
    }
    if (element == CE_MenuItem && IsChrome(widget)) {
        DrawMenuItem(option, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void RibbonLook::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const {
    if (control == CC_ToolButton && IsChrome(widget)) {
        DrawToolButton(option, painter, widget);
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QSize RibbonLook::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_ToolButton && IsChrome(widget)) {
        const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option);
        if (button != nullptr && (button->features & QStyleOptionToolButton::HasMenu) &&
            button->toolButtonStyle != Qt::ToolButtonTextUnderIcon && !IsNamed(widget, "ribbonAppButton")) {
            result.rwidth() += kArrowRoom;
        }
    } else if (type == CT_TabBarTab && IsRibbonTabBar(widget)) {
        result += QSize(kTabExtraWidth, kTabTopMargin);
    }
    return result;
}

int RibbonLook::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    // The application menu shows its items with their large icons.
    if (metric == PM_SmallIconSize && IsNamed(widget, "ribbonAppMenu")) return RibbonCategory::kLargeIconSize;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void RibbonLook::DrawToolButton(const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option);
    if (button == nullptr) {
        QProxyStyle::drawComplexControl(CC_ToolButton, option, painter, widget);
        return;
    }
    const LookColours& look = CurrentLookColours();
    // The application button is its icon alone.
    const bool appButton = IsNamed(widget, "ribbonAppButton");
    const bool enabled = (button->state & State_Enabled) != 0;
    if (!appButton && enabled) {
        if (button->state & (State_Sunken | State_On)) {
            PaintGradientBox(painter, button->rect, look.hoverBottom, look.checked, look.checked, kCornerRadius);
        } else if (button->state & State_MouseOver) {
            PaintGradientBox(painter, button->rect, look.hoverTop, look.hoverBottom, look.checked, kCornerRadius);
        }
    }

    const bool arrow = !appButton && ((button->features & QStyleOptionToolButton::HasMenu) ||
                                      (widget != nullptr && widget->property(kDropDownProperty).toBool()));
    const bool under = button->toolButtonStyle == Qt::ToolButtonTextUnderIcon;
    QStyleOptionToolButton label = *button;
    if (!appButton) label.rect = button->rect.adjusted(3, 1, -3, -1);
    if (arrow && !under) label.rect.setRight(label.rect.right() - kArrowRoom);
    proxy()->drawControl(CE_ToolButtonLabel, &label, painter, widget);

    if (arrow) {
        const QColor colour = button->palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
        const QPoint centre = under ? QPoint(button->rect.center().x(), button->rect.bottom() - 5)
                                    : QPoint(button->rect.right() - kArrowRoom / 2, button->rect.center().y());
        PaintDropArrow(painter, centre, colour);
    }
}

void RibbonLook::DrawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr) {
        QProxyStyle::drawControl(CE_MenuItem, option, painter, widget);
        return;
    }
    const LookColours& look = CurrentLookColours();
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->fillRect(QRect(item->rect.left() + 6, item->rect.center().y(), item->rect.width() - 12, 1), look.panelBorder);
        return;
    }
    QStyleOptionMenuItem plain = *item;
    if ((item->state & State_Selected) && (item->state & State_Enabled)) {
        PaintGradientBox(painter, item->rect.adjusted(2, 0, -2, 0), look.hoverTop, look.hoverBottom, look.checked,
                         kCornerRadius);
    }
    // The platform style draws the text and marks on the gradient as on an unselected item.
    plain.state &= ~State_Selected;
    UseMenuColours(plain.palette, look);
    QProxyStyle::drawControl(CE_MenuItem, &plain, painter, widget);
}

void RibbonLook::DrawTabShape(const QStyleOption* option, QPainter* painter) const {
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (tab == nullptr) return;
    const LookColours& look = CurrentLookColours();
    const QRect shape = tab->rect.adjusted(0, kTabTopMargin, 0, 0);
    const bool selected = (tab->state & State_Selected) != 0;
    const bool hovered = (tab->state & State_MouseOver) != 0 && (tab->state & State_Enabled) != 0;
    if (!selected && !hovered) return;
    // Rounded at the top only: the box reaches below the tab, which is clipped away, so the
    // selected tab opens into the page under it.
    painter->save();
    painter->setClipRect(shape);
    const QRect box = shape.adjusted(0, 0, 0, int(kCornerRadius) + 2);
    if (selected) {
        PaintGradientBox(painter, box, look.ribbonTop, look.ribbonTop, look.panelBorder, kCornerRadius);
    } else {
        PaintGradientBox(painter, box, look.hoverTop, look.hoverTop, QColor(), kCornerRadius);
    }
    painter->restore();
}
