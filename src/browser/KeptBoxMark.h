// The mark of a photo that keeps a box: a small crop sign in the corner of its thumbnail
// cell, drawn rather than taken from the icon atlas so that it is sharp at any device pixel
// ratio.
#pragma once

#include <QRect>

class QPainter;

// Draws the mark inside the top right corner of frame (logical pixels); the painter's pen,
// brush and hints are left as they were.
void DrawKeptBoxMark(QPainter& painter, const QRect& frame);
