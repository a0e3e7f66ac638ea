// Cutting the interface image atlas's icon cells into images the ribbon's widgets paint.
#pragma once

#include <QIcon>
#include <QImage>

// The region (x, y, width, height) of the process-wide atlas, premultiplied; a null image
// when there is no atlas or the region does not fit inside it.
QImage CutAtlasStrip(int y, int x, int width, int height);
// One square icon of the atlas; a null icon when it cannot be cut.
QIcon AtlasIcon(int y, int x, int size);
