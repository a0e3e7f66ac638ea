// The sign a thumbnail cell shows for a picture whose thumbnail could not be made: a small
// landscape picture torn across, drawn rather than taken from the icon atlas so that it is
// sharp at any device pixel ratio.
#pragma once

#include <QRect>

class QPainter;

// Draws the sign centred in box (logical pixels); the painter's pen, brush and hints are left
// as they were.
void DrawBrokenPictureGlyph(QPainter& painter, const QRect& box);
