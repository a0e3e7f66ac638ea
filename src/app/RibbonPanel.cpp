#include "app/RibbonPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/RibbonLook.h"
#include "app/VisualStyles.h"
#include "app/RibbonPanelPopup.h"

namespace {
constexpr int kSmallRowsPerColumn = 3;
constexpr int kPanelSpacing = 2;
}  // namespace

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

RibbonSlider* RibbonPanel::AddLabelledSlider(const QString& label, uint32_t id, const QString& sliderText,
                                             const RibbonSliderScale& scale) {
    auto* group = new QWidget(this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* caption = new RibbonLabel(label, group);
    auto* slider = new RibbonSlider(id, sliderText, group, scale);
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
