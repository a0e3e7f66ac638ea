#include "ResImageLib.h"

#include <QFile>

#include <cstdint>

#include "RasterFile.h"
#include "RasterQtBridge.h"

namespace {

const RasterImage* g_pInterfaceAtlas = nullptr;

void PremultiplyByAlpha(RasterImage& image) {
    BuildProductTable();
    const uint8_t* product = ProductTable();
    for (uint32_t y = 0; y < image.GetHeight(); ++y) {
        uint8_t* pixel = image.RowPointer(y);
        const uint8_t* alpha = image.AlphaPointer(0, y);
        for (uint32_t x = 0; x < image.GetWidth(); ++x, pixel += 3) {
            const uint32_t a = alpha[x];
            for (int channel = 0; channel < 3; ++channel) pixel[channel] = product[pixel[channel] * 256u + a];
        }
    }
}

}  // namespace

// Outside any namespace, as Q_INIT_RESOURCE requires. The resource object lives in a static
// library, so it is registered explicitly rather than by a static initialiser the linker
// might drop.
static void RegisterEmbeddedResources() { Q_INIT_RESOURCE(snipwell); }

bool LoadAtlas(RasterImage& atlas) {
    RegisterEmbeddedResources();
    QFile resource(QString::fromLatin1(ATLAS_RESOURCE_PATH));
    if (!resource.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = resource.readAll();
    if (bytes.isEmpty()) return false;

    RasterMemFile file;
    if (!file.Open()) return false;
    if (file.Write(bytes.constData(), 1, size_t(bytes.size())) != size_t(bytes.size())) return false;
    file.Seek(0, RASTER_SEEK_SET);
    return atlas.Decode(&file, RASTER_FORMAT_PNG) && atlas.IsValid();
}

void SetInterfaceAtlas(const RasterImage* atlas) { g_pInterfaceAtlas = atlas; }

const RasterImage* InterfaceAtlas() { return g_pInterfaceAtlas; }

QImage ExtractIconStrip(const RasterImage& atlas, int y, int x, int width, int height) {
    // Checked in 64 bits so that no sum can wrap; empty and left-of-atlas areas are refused
    // too, as they can never give a usable bitmap.
    if (!atlas.IsValid() || x < 0 || y < 0 || width <= 0 || height <= 0) return QImage();
    if (int64_t(x) + width > int64_t(atlas.GetWidth()) || int64_t(y) + height > int64_t(atlas.GetHeight()))
        return QImage();

    RasterImage strip;
    if (!strip.Create(uint32_t(width), uint32_t(height), 24, 0)) return QImage();
    strip.FillColor(0);
    if (!strip.CreateAlpha()) return QImage();
    strip.SetAlphaLevel(0);
    if (!atlas.CopyRegion(x, y, strip)) return QImage();
    PremultiplyByAlpha(strip);

    QImage bitmap = MakeAlphaBitmap(strip);
    // The bytes are premultiplied now; saying so lets Qt blend them as they are.
    if (!bitmap.isNull()) bitmap.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return bitmap;
}
