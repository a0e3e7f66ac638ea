// The anti-aliased mask of Cut's kept shape: 255 inside the shape (rectangle, round corner or
// oval, inside the border), 0 outside it, a blend along the edge.
#pragma once

#include <cstdint>

#include "platform/AntiAliasedDrawing.h"

// Fills the kept shape (a cropbox::Shape) at full level on a black surface of the crop's
// size; the area inside the border inset is the shape's frame. An inset that leaves no inner
// area keeps nothing. False for an unknown shape.
bool DrawKeptShape(GreySurface& surface, int shape, int inset);

// The mask of a width x height crop as a plane from the block pool in stored (bottom-up) row
// order, ready to be an alpha plane; null when it cannot be made. It is drawn straight into
// the plane, tileSide pixels a side at a time.
uint8_t* MakeShapeMask(int width, int height, int shape, int inset, int tileSide = GreySurface::kLargestTile);
