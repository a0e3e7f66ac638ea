// Which panels of a category give way when the ribbon is narrower than the category: they
// collapse from the right, one at a time, each into a single drop-down button, until the row
// fits the width it has.
#pragma once

#include <cstddef>
#include <vector>

struct PanelWidths {
    int full = 0;       // the panel with all its elements
    int collapsed = 0;  // its drop-down button
};

// The width of a row of panels with the last collapsedCount of them collapsed, spacing
// between neighbours.
int PanelRowWidth(const std::vector<PanelWidths>& panels, int collapsedCount, int spacing);

// The fewest panels to collapse, counted from the right, for the row to fit available; all of
// them when even that does not fit.
int CollapsedPanelCount(const std::vector<PanelWidths>& panels, int available, int spacing);
