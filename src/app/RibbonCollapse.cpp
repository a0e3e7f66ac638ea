#include "app/RibbonCollapse.h"

int PanelRowWidth(const std::vector<PanelWidths>& panels, int collapsedCount, int spacing) {
    const int count = int(panels.size());
    const int firstCollapsed = count - collapsedCount;
    int width = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) width += spacing;
        width += i < firstCollapsed ? panels[std::size_t(i)].full : panels[std::size_t(i)].collapsed;
    }
    return width;
}

int CollapsedPanelCount(const std::vector<PanelWidths>& panels, int available, int spacing) {
    const int count = int(panels.size());
    for (int collapsed = 0; collapsed < count; ++collapsed) {
        if (PanelRowWidth(panels, collapsed, spacing) <= available) return collapsed;
    }
    return count;
}
