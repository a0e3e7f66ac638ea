// A ribbon category whose small and large icon lists are cut from the interface image atlas:
// the small strip (16 pixels high) and the large strip (32 pixels high) of its rows; icon i is
// cell i of its strip. It holds the category's panels side by side. When the ribbon is
// narrower than the category, panels collapse from the right into one drop-down button each.
#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

#include "app/RibbonCollapse.h"
#include "app/RibbonPanel.h"

class MainRibbonBar;

class RibbonCategory : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSmallIconSize = 16;
    static constexpr int kLargeIconSize = 32;

    RibbonCategory(MainRibbonBar* ribbon, const QString& name, int smallY, int smallWidth, int largeY, int largeWidth,
                QWidget* parent = nullptr);
    ~RibbonCategory() override;

    const QString& Name() const { return m_name; }
    RibbonPanel* AddPanel(const QString& name);
    const std::vector<RibbonPanel*>& Panels() const { return m_panels; }
    // How many panels, counted from the right, are collapsed at the current width.
    int CollapsedCount() const { return m_collapsedCount; }

    // Wide enough for every panel in full; at least as wide as every panel collapsed.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Icon i of the small (16 x 16) or large (32 x 32) list; a null icon when there is none.
    QIcon SmallIcon(int index) const;
    QIcon LargeIcon(int index) const;
    int SmallIconCount() const { return int(m_smallIcons.size()); }
    int LargeIconCount() const { return int(m_largeIcons.size()); }

    // Cuts a strip of the atlas into square cells of its height.
    static std::vector<QIcon> CutIconList(int y, int width, int cellSize);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::vector<PanelWidths> PanelWidthList() const;
    // Collapses as many panels as the width needs and places the rest side by side.
    void ArrangePanels();

    QString m_name;
    std::vector<QIcon> m_smallIcons;
    std::vector<QIcon> m_largeIcons;
    std::vector<RibbonPanel*> m_panels;
    int m_collapsedCount = 0;
};
