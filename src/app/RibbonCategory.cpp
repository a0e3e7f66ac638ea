#include "app/RibbonCategory.h"

#include <QEvent>
#include <QPixmap>

#include "app/MainRibbonBar.h"
#include "app/RibbonAtlas.h"
#include "app/RibbonPanelPopup.h"

namespace {
constexpr int kCategoryMargin = 2;
constexpr int kPanelGap = 3;  // between neighbouring panels of a category
}  // namespace

RibbonCategory::RibbonCategory(MainRibbonBar* ribbon, const QString& name, int smallY, int smallWidth, int largeY,
                         int largeWidth, QWidget* parent)
    : QWidget(parent ? parent : ribbon),
      m_name(name),
      m_smallIcons(CutIconList(smallY, smallWidth, kSmallIconSize)),
      m_largeIcons(CutIconList(largeY, largeWidth, kLargeIconSize)) {
    setObjectName(QStringLiteral("ribbonCategory"));
    // It may be as narrow as its panels collapsed: they give way rather than the window.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

RibbonCategory::~RibbonCategory() {
    // The window is going away: a panel shown in its popup goes down with the popup.
    for (RibbonPanel* panel : m_panels) {
        if (PanelPopup* popup = panel->CollapsedButton()->Popup()) popup->KeepPanelOnClose();
    }
}

RibbonPanel* RibbonCategory::AddPanel(const QString& name) {
    auto* panel = new RibbonPanel(name, this);
    m_panels.push_back(panel);
    updateGeometry();
    return panel;
}

std::vector<PanelWidths> RibbonCategory::PanelWidthList() const {
    std::vector<PanelWidths> widths;
    widths.reserve(m_panels.size());
    for (const RibbonPanel* panel : m_panels) {
        widths.push_back({panel->sizeHint().width(), panel->CollapsedButton()->sizeHint().width()});
    }
    return widths;
}

QSize RibbonCategory::sizeHint() const {
    int height = 0;
    for (const RibbonPanel* panel : m_panels) height = std::max(height, panel->sizeHint().height());
    const std::vector<PanelWidths> widths = PanelWidthList();
    return {PanelRowWidth(widths, 0, kPanelGap) + 2 * kCategoryMargin, height + 2 * kCategoryMargin};
}

QSize RibbonCategory::minimumSizeHint() const {
    const std::vector<PanelWidths> widths = PanelWidthList();
    return {PanelRowWidth(widths, int(widths.size()), kPanelGap) + 2 * kCategoryMargin, 0};
}

void RibbonCategory::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangePanels();
}

bool RibbonCategory::event(QEvent* event) {
    // A panel's or button's size hint changed (or a popup gave its panel back).
    if (event->type() == QEvent::LayoutRequest) {
        ArrangePanels();
        updateGeometry();
    }
    return QWidget::event(event);
}

void RibbonCategory::ArrangePanels() {
    const std::vector<PanelWidths> widths = PanelWidthList();
    const QRect room = rect().adjusted(kCategoryMargin, kCategoryMargin, -kCategoryMargin, -kCategoryMargin);
    m_collapsedCount = CollapsedPanelCount(widths, room.width(), kPanelGap);
    const size_t firstCollapsed = m_panels.size() - size_t(m_collapsedCount);
    int x = room.left();
    for (size_t i = 0; i < m_panels.size(); ++i) {
        RibbonPanel* panel = m_panels[i];
        const bool collapsed = i >= firstCollapsed;
        panel->SetCollapsed(collapsed);
        const int width = collapsed ? widths[i].collapsed : widths[i].full;
        const QRect slot(x, room.top(), width, room.height());
        if (collapsed) {
            panel->CollapsedButton()->setGeometry(slot);
        } else {
            panel->setGeometry(slot);
        }
        x += width + kPanelGap;
    }
}

QIcon RibbonCategory::SmallIcon(int index) const {
    return index >= 0 && index < SmallIconCount() ? m_smallIcons[size_t(index)] : QIcon();
}

QIcon RibbonCategory::LargeIcon(int index) const {
    return index >= 0 && index < LargeIconCount() ? m_largeIcons[size_t(index)] : QIcon();
}

std::vector<QIcon> RibbonCategory::CutIconList(int y, int width, int cellSize) {
    std::vector<QIcon> icons;
    const QImage strip = CutAtlasStrip(y, 0, width, cellSize);
    if (strip.isNull()) return icons;  // a strip outside the atlas: no icons
    for (int x = 0; x + cellSize <= strip.width(); x += cellSize) {
        icons.emplace_back(QPixmap::fromImage(strip.copy(x, 0, cellSize, cellSize)));
    }
    return icons;
}
