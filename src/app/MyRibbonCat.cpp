#include "app/MyRibbonCat.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/MainRibbonBar.h"
#include "app/RibbonAtlas.h"
#include "app/RibbonLook.h"
#include "app/VisualStyles.h"

namespace {
constexpr int kSmallRowsPerColumn = 3;
constexpr int kPanelSpacing = 2;
}  // namespace

// ---- RibbonPanel --------------------------------------------------------------------------------------

RibbonPanel::RibbonPanel(const QString& name, QWidget* parent) : QWidget(parent), m_name(name) {
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

// ---- MyRibbonCat ---------------------------------------------------------------------------------------

MyRibbonCat::MyRibbonCat(MainRibbonBar* ribbon, const QString& name, int smallY, int smallWidth, int largeY,
                         int largeWidth, QWidget* parent)
    : QWidget(parent ? parent : ribbon),
      m_name(name),
      m_smallIcons(CutIconList(smallY, smallWidth, kSmallIconSize)),
      m_largeIcons(CutIconList(largeY, largeWidth, kLargeIconSize)) {
    setObjectName(QStringLiteral("ribbonCategory"));
    m_panelRow = new QHBoxLayout(this);
    m_panelRow->setContentsMargins(2, 2, 2, 2);
    m_panelRow->setSpacing(3);
    m_panelRow->addStretch(1);
}

RibbonPanel* MyRibbonCat::AddPanel(const QString& name) {
    auto* panel = new RibbonPanel(name, this);
    m_panelRow->insertWidget(m_panelRow->count() - 1, panel);
    m_panels.push_back(panel);
    return panel;
}

QIcon MyRibbonCat::SmallIcon(int index) const {
    return index >= 0 && index < SmallIconCount() ? m_smallIcons[size_t(index)] : QIcon();
}

QIcon MyRibbonCat::LargeIcon(int index) const {
    return index >= 0 && index < LargeIconCount() ? m_largeIcons[size_t(index)] : QIcon();
}

std::vector<QIcon> MyRibbonCat::CutIconList(int y, int width, int cellSize) {
    std::vector<QIcon> icons;
    const QImage strip = CutAtlasStrip(y, 0, width, cellSize);
    if (strip.isNull()) return icons;  // a strip outside the atlas: no icons
    for (int x = 0; x + cellSize <= strip.width(); x += cellSize) {
        icons.emplace_back(QPixmap::fromImage(strip.copy(x, 0, cellSize, cellSize)));
    }
    return icons;
}
