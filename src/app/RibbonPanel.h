// A panel of a ribbon category: a row of elements (large buttons in columns of their own,
// small ones stacked three to a column) with the panel's name underneath. When its category
// is too narrow the panel collapses into a drop-down button that shows it in a popup.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

#include "app/RibbonWidgets.h"

class CollapsedPanelButton;
class QGridLayout;
class QHBoxLayout;

class RibbonPanel : public QWidget {
    Q_OBJECT
public:
    RibbonPanel(const QString& name, QWidget* parent);

    const QString& Name() const { return m_name; }
    const std::vector<RibbonElement*>& Elements() const { return m_elements; }

    // Elements in the order they appear. Large elements take a column of their own; small
    // ones (buttons, check boxes, groups) stack three to a column.
    RibbonButton* AddLargeButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex);
    RibbonButton* AddMenuButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex, QMenu* menu);
    RibbonButton* AddSmallButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex);
    RibbonCheckBox* AddCheckBox(uint32_t id, const QString& text);
    // A group on one row: a label, then a slider carrying the command.
    RibbonSlider* AddLabelledSlider(const QString& label, uint32_t id, const QString& sliderText,
                                    const RibbonSliderScale& scale = RibbonSliderScale());
    RibbonEdit* AddEdit(uint32_t id, const QString& label);
    void AddSeparator();

    // The panel's icon when collapsed: that of its first element with one (null when none has).
    QIcon FirstIcon() const;
    // Collapsed, the panel is hidden and its button stands in for it; the button's popup
    // shows the panel.
    void SetCollapsed(bool collapsed);
    bool IsCollapsed() const { return m_collapsed; }
    CollapsedPanelButton* CollapsedButton() const { return m_collapsedButton; }

protected:
    // The panel's frame and its name underneath the elements.
    void paintEvent(QPaintEvent* event) override;

private:
    void AddColumnElement(RibbonElement* element, QWidget* widget);
    void AddRowElement(QWidget* rowWidget);
    // A small element that is its own widget, stacked in the current column.
    template <class Element>
    Element* AddRow(Element* element) {
        AddRowElement(element);
        m_elements.push_back(element);
        return element;
    }
    void EndColumn();

    QString m_name;
    std::vector<RibbonElement*> m_elements;
    QHBoxLayout* m_columns;
    QGridLayout* m_smallColumn = nullptr;  // the column small elements go into
    int m_smallRows = 0;
    CollapsedPanelButton* m_collapsedButton;
    bool m_collapsed = false;
};
