#include "app/IconAtlas.h"

#include <QFile>

#include <cstdint>

#include "image/RasterFile.h"
#include "platform/RasterQtBridge.h"

namespace {

const RasterImage* g_interfaceAtlas = nullptr;

void PremultiplyByAlpha(RasterImage& image) {
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

void SetInterfaceAtlas(const RasterImage* atlas) { g_interfaceAtlas = atlas; }

const RasterImage* InterfaceAtlas() { return g_interfaceAtlas; }

namespace {

// The long way, for atlases without an alpha plane or of another depth: a black, fully
// transparent 24-bit strip, the area copied in, premultiplied, made a bitmap.
QImage ExtractStripByCopy(const RasterImage& atlas, int y, int x, int width, int height) {
    RasterImage strip;
    if (!strip.Create(uint32_t(width), uint32_t(height), 24, 0)) return QImage();
    strip.FillColor(0);
    if (!strip.CreateAlpha()) return QImage();
    strip.SetAlphaLevel(0);
    if (!atlas.CopyRegion(x, y, strip)) return QImage();
    PremultiplyByAlpha(strip);
    return MakeAlphaBitmap(strip);
}

// The same bitmap straight from a 24-bit atlas with alpha: every pixel is read once and
// written once. The ribbon cuts its strips at every start, so this is start-up time.
QImage ExtractStripDirectly(const RasterImage& atlas, int y, int x, int width, int height) {
    QImage bitmap(width, height, QImage::Format_ARGB32);
    if (bitmap.isNull()) return bitmap;
    const uint8_t* product = ProductTable();
    const uint32_t top = atlas.GetHeight() - 1 - uint32_t(y);  // stored rows run bottom-up
    for (int row = 0; row < height; ++row) {
        const uint32_t stored = top - uint32_t(row);
        const uint8_t* pixel = atlas.PixelPointer(uint32_t(x), stored);
        const uint8_t* alpha = atlas.AlphaPointer(uint32_t(x), stored);
        auto* out = reinterpret_cast<QRgb*>(bitmap.scanLine(row));
        for (int column = 0; column < width; ++column, pixel += 3) {
            // Icons are mostly clear ground and solid ink, which the product leaves as they are.
            const uint8_t a = alpha[column];
            if (a == 0) {
                out[column] = 0;
            } else if (a == RASTER_ALPHA_OPAQUE) {
                out[column] = qRgb(pixel[2], pixel[1], pixel[0]);
            } else {
                const uint8_t* scaled = product + a;  // product[value * 256 + alpha]
                out[column] = qRgba(scaled[pixel[2] * 256u], scaled[pixel[1] * 256u], scaled[pixel[0] * 256u], a);
            }
        }
    }
    return bitmap;
}

}  // namespace

QImage ExtractIconStrip(const RasterImage& atlas, int y, int x, int width, int height) {
    // Checked in 64 bits so that no sum can wrap; empty and left-of-atlas areas are refused
    // too, as they can never give a usable bitmap.
    if (!atlas.IsValid() || x < 0 || y < 0 || width <= 0 || height <= 0) return QImage();
    if (int64_t(x) + width > int64_t(atlas.GetWidth()) || int64_t(y) + height > int64_t(atlas.GetHeight()))
        return QImage();

    const bool direct = atlas.GetBpp() == 24 && atlas.HasAlpha();
    QImage bitmap = direct ? ExtractStripDirectly(atlas, y, x, width, height)
                           : ExtractStripByCopy(atlas, y, x, width, height);
    // The bytes are premultiplied now; saying so lets Qt blend them as they are.
    if (!bitmap.isNull()) bitmap.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return bitmap;
}
