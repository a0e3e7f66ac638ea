#include "app/RibbonCategory.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/MainRibbonBar.h"
#include "app/RibbonAtlas.h"
#include "app/RibbonLook.h"
#include "app/RibbonPanelPopup.h"
#include "app/VisualStyles.h"

namespace {
constexpr int kSmallRowsPerColumn = 3;
constexpr int kPanelSpacing = 2;
constexpr int kCategoryMargin = 2;
constexpr int kPanelGap = 3;  // between neighbouring panels of a category
}  // namespace

// ---- RibbonPanel --------------------------------------------------------------------------------------

RibbonPanel::RibbonPanel(const QString& name, QWidget* parent)
    : QWidget(parent), m_name(name), m_collapsedButton(new CollapsedPanelButton(this, parent)) {
    m_collapsedButton->hide();
    setObjectName(QStringLiteral("ribbonPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(3, 2, 3, 1);
    outer->setSpacing(0);
    m_columns = new QHBoxLayout;
    m_columns->setSpacing(kPanelSpacing);
    outer->addLayout(m_columns, 1);
    // Room for the caption, which the panel paints itself: a panel is never narrower than
    // its name.
    outer->addSpacerItem(new QSpacerItem(fontMetrics().horizontalAdvance(m_name) + 6, fontMetrics().height(),
                                         QSizePolicy::Minimum, QSizePolicy::Fixed));
}

QIcon RibbonPanel::FirstIcon() const {
    for (RibbonElement* element : m_elements) {
        if (const auto* button = dynamic_cast<const QToolButton*>(element->Widget()); button && !button->icon().isNull()) {
            return button->icon();
        }
    }
    return {};
}

void RibbonPanel::SetCollapsed(bool collapsed) {
    if (collapsed == m_collapsed) return;
    m_collapsed = collapsed;
    if (collapsed) {
        if (m_collapsedButton->icon().isNull()) m_collapsedButton->SetPanelIcon(FirstIcon());
        // Unless the popup holds it, the panel stays hidden in its category.
        if (parentWidget() == m_collapsedButton->parentWidget()) hide();
        m_collapsedButton->show();
    } else {
        m_collapsedButton->ClosePopup();
        m_collapsedButton->hide();
        show();
    }
}

void RibbonPanel::paintEvent(QPaintEvent* event) {
    (void)event;
    const LookColours& look = CurrentLookColours();
    QPainter painter(this);
    PaintRoundedFrame(&painter, rect(), look.panelBorder);
    const int line = fontMetrics().height();
    painter.setPen(look.caption);
    painter.drawText(QRect(0, height() - line - 1, width(), line), Qt::AlignCenter, m_name);
}

void RibbonPanel::EndColumn() {
    m_smallColumn = nullptr;
    m_smallRows = 0;
}

void RibbonPanel::AddRowElement(QWidget* widget) {
    if (m_smallColumn == nullptr || m_smallRows == kSmallRowsPerColumn) {
        m_smallColumn = new QGridLayout;
        m_smallColumn->setSpacing(1);
        m_smallColumn->setContentsMargins(0, 0, 0, 0);
        m_columns->addLayout(m_smallColumn);
        m_smallRows = 0;
    }
    m_smallColumn->addWidget(widget, m_smallRows, 0, Qt::AlignLeft | Qt::AlignVCenter);
    ++m_smallRows;
    // Keep the rows at the top when a column is not full.
    m_smallColumn->setRowStretch(kSmallRowsPerColumn, 1);
}

void RibbonPanel::AddColumnElement(RibbonElement* element, QWidget* widget) {
    EndColumn();
    m_columns->addWidget(widget);
    m_elements.push_back(element);
}

RibbonButton* RibbonPanel::AddLargeButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex) {
    auto* button = new RibbonButton(id, text, RibbonKind::LargeButton, icon, iconIndex, this);
    button->SetAlwaysLarge(true);
    AddColumnElement(button, button);
    return button;
}

RibbonButton* RibbonPanel::AddMenuButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex,
                                         QMenu* menu) {
    auto* button = new RibbonButton(id, text, RibbonKind::MenuButton, icon, iconIndex, this);
    button->SetAlwaysLarge(true);
    button->SetDropDownMenu(menu);
    AddColumnElement(button, button);
    return button;
}

RibbonButton* RibbonPanel::AddSmallButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex) {
    return AddRow(new RibbonButton(id, text, RibbonKind::SmallButton, icon, iconIndex, this));
}

RibbonCheckBox* RibbonPanel::AddCheckBox(uint32_t id, const QString& text) {
    return AddRow(new RibbonCheckBox(id, text, this));
}

RibbonSlider* RibbonPanel::AddLabelledSlider(const QString& label, uint32_t id, const QString& sliderText) {
    auto* group = new QWidget(this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* caption = new RibbonLabel(label, group);
    auto* slider = new RibbonSlider(id, sliderText, group);
    row->addWidget(caption);
    row->addWidget(slider);
    AddRowElement(group);
    m_elements.push_back(caption);
    m_elements.push_back(slider);
    return slider;
}

RibbonEdit* RibbonPanel::AddEdit(uint32_t id, const QString& label) {
    return AddRow(new RibbonEdit(id, label, this));
}

void RibbonPanel::AddSeparator() {
    auto* separator = new RibbonSeparator(this);
    AddColumnElement(separator, separator);
}

// ---- RibbonCategory ---------------------------------------------------------------------------------------

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
