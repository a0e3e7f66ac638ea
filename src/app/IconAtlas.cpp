#include "app/IconAtlas.h"

#include <cstdint>

namespace {

const QImage* g_interfaceAtlas = nullptr;

}  // namespace

// Outside any namespace, as Q_INIT_RESOURCE requires. The resource object lives in a static
// library, so it is registered explicitly rather than by a static initialiser the linker
// might drop.
static void RegisterEmbeddedResources() { Q_INIT_RESOURCE(snipwell); }

bool LoadAtlas(QImage& atlas) {
    RegisterEmbeddedResources();
    return atlas.load(QString::fromLatin1(ATLAS_RESOURCE_PATH), "PNG") && !atlas.isNull();
}

void SetInterfaceAtlas(const QImage* atlas) { g_interfaceAtlas = atlas; }

const QImage* InterfaceAtlas() { return g_interfaceAtlas; }

QImage ExtractIconStrip(const QImage& atlas, int y, int x, int width, int height) {
    // Checked in 64 bits so that no sum can wrap; QImage::copy would instead fill whatever
    // lies outside the atlas, and an icon half made of filler is worse than none.
    if (atlas.isNull() || x < 0 || y < 0 || width <= 0 || height <= 0) return QImage();
    if (int64_t(x) + width > atlas.width() || int64_t(y) + height > atlas.height()) return QImage();
    return atlas.copy(x, y, width, height).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
