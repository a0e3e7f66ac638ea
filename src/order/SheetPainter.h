// One sheet of prints painted on any QPainter: a QPdfWriter's, a QPrinter's or a QImage's for
// the preview. Each print lands at exactly its size, nothing but the prints and, when asked,
// the cut marks.
#pragma once

#include <vector>

#include <QPainter>
#include <QPointF>

#include "order/SheetLayout.h"
#include "order/SheetPrints.h"

namespace order {

// Cut marks: thin lines that carry each print's edges out past its corners, starting
// kCutMarkOffsetMm from the print and kCutMarkLengthMm long. They are clipped off every print
// of the sheet, so with a narrow gap they shorten rather than touch a neighbour.
inline constexpr double kCutMarkOffsetMm = 0.5;
inline constexpr double kCutMarkLengthMm = 2.0;
inline constexpr double kCutMarkWidthMm = 0.1;

struct SheetGeometry {
    double unitsPerMm = 1;  // the painter's device units per millimetre
    QPointF origin;         // the printable area's top left corner, in device units
};

// Paints sheet: prints are indexed as the packing indexed them (prints[indices[placed.print]]
// when indices is given, else prints[placed.print]).
void PaintSheet(QPainter& painter, const Sheet& sheet, const std::vector<SheetPrint>& prints,
                const std::vector<int>* indices, const SheetGeometry& geometry, bool cutMarks);

}  // namespace order
