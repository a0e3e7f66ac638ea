#include "RibbonAtlas.h"

#include "RasterImage.h"

#if __has_include("ResImageLib.h")
#include "ResImageLib.h"
#define SNIPWELL_HAVE_RES_IMAGE_LIB 1
#endif

namespace {
const RasterImage* g_atlas = nullptr;
}  // namespace

void SetInterfaceAtlas(const RasterImage* atlas) {
    g_atlas = atlas;
}

const RasterImage* InterfaceAtlas() {
    return g_atlas;
}

QImage CutAtlasStrip(int y, int x, int width, int height) {
#ifdef SNIPWELL_HAVE_RES_IMAGE_LIB
    if (g_atlas == nullptr) return {};
    const QImage strip = ExtractIconStrip(*g_atlas, y, x, width, height);
    if (strip.isNull()) return {};
    // The strip's colour bytes are already multiplied by alpha: paint it as premultiplied.
    if (strip.format() == QImage::Format_ARGB32) {
        QImage premultiplied = strip;
        premultiplied.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        return premultiplied;
    }
    return strip;
#else
    (void)y, (void)x, (void)width, (void)height;
    return {};
#endif
}

bool LoadInterfaceAtlas(RasterImage& atlas) {
#ifdef SNIPWELL_HAVE_RES_IMAGE_LIB
    return LoadAtlas(atlas) && atlas.IsValid();
#else
    (void)atlas;
    return false;
#endif
}
