// The round-corner figure shared by Cut and the view's painting.
#pragma once

#include <QPainterPath>

// One closed figure over the pixels left..right-1 and top..bottom-1 with four corners of
// radius rounded(0.05 x ((right - left + bottom - top) halved)), at least 3; each corner a
// cubic Bezier curve whose inner control points lie rounded(0.45 x radius) from the corner.
QPainterPath MakeRoundCornerPath(int left, int top, int right, int bottom);
// The radius the figure uses for that rectangle.
int RoundCornerRadius(int left, int top, int right, int bottom);

// The figure as Cut keeps it and the view marks it, on surfaces whose pixels are unit squares
// (pixel x covers x .. x + 1): MakeRoundCornerPath runs along the last column and row
// (x = right - 1, y = bottom - 1), which would leave that column and row outside it. Stretched
// by one pixel on the right and at the bottom, it covers the pixels left..right - 1 and
// top..bottom - 1 like the other shapes; its corners keep their radius.
QPainterPath RoundCornerFigureCovering(int left, int top, int right, int bottom);
