// The process-wide interface image atlas (owned by the application object) and the cutting of
// its icon strips into images the widgets can paint.
#pragma once

#include <QImage>

class RasterImage;

// Set by the application object when it is constructed; null when there is none.
void SetInterfaceAtlas(const RasterImage* atlas);
const RasterImage* InterfaceAtlas();

// The atlas region (x, y, width, height) as a premultiplied 32-bit image ready to paint; a
// null image when there is no atlas or the region does not fit inside it.
QImage CutAtlasStrip(int y, int x, int width, int height);

// Loads the embedded atlas into atlas; false when it is missing or cannot be decoded.
bool LoadInterfaceAtlas(RasterImage& atlas);
