#include "app/RibbonAtlas.h"

#include <QPixmap>

#include "app/IconAtlas.h"

QImage CutAtlasStrip(int y, int x, int width, int height) {
    const QImage* atlas = InterfaceAtlas();
    if (atlas == nullptr) return {};
    return ExtractIconStrip(*atlas, y, x, width, height);
}

QIcon AtlasIcon(int y, int x, int size) {
    const QImage image = CutAtlasStrip(y, x, size, size);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}
