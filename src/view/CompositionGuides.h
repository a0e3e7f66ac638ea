// Composition guides drawn inside the crop box while it is placed: the rule of thirds, the
// golden ratio's phi grid, the diagonal method and the golden spiral. Pure geometry in the
// box's own coordinates; the view paints it.
#pragma once

#include <QLineF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <vector>

enum class CompositionGuide : int { None = 0, Thirds, GoldenRatio, Diagonals, GoldenSpiral };
inline constexpr int kCompositionGuideCount = 5;
// The spiral can wind toward any of the four corners.
inline constexpr int kSpiralTurns = 4;

// The guide after guide, None following the last (what O does).
CompositionGuide NextGuide(CompositionGuide guide);
// A stored number as a guide; None for anything out of range.
CompositionGuide GuideFromNumber(int number);
// As the status bar and menus name it.
QString GuideName(CompositionGuide guide);

// The straight lines of guide inside box: two verticals and two horizontals for the grids, the
// corner-to-side lines at 45 degrees for the diagonal method, and for the spiral the edges of
// the squares it winds through. Empty for None.
std::vector<QLineF> GuideLines(CompositionGuide guide, const QRectF& box, int spiralTurn = 0);
// Pixels between the lines of the fine grid drawn while the picture is straightened.
inline constexpr double kFineGridSpacing = 24.0;
// The fine grid over area: verticals and horizontals `spacing` apart, one of each through the
// area's centre, so that a line of the picture can be laid along one wherever it lies. Empty
// for a spacing that is not positive.
std::vector<QLineF> FineGridLines(const QRectF& area, double spacing = kFineGridSpacing);

// The golden spiral fitted to box (its long side along the box's long side) as a polyline,
// from the corner it starts at inward; spiralTurn (0..3) mirrors it so that it winds toward
// another corner.
QPolygonF GoldenSpiral(const QRectF& box, int spiralTurn);
