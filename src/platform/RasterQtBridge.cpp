#include "platform/RasterQtBridge.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <cstring>

namespace {

// A palette image as the 24-bit image the bitmaps are made from: its transparent index
// becomes an alpha plane first. False (with the image's error text) when that fails.
bool ConvertToTrueColor(RasterImage& image) {
    if (image.GetBpp() >= 24) return true;
    RasterImage converted(image);
    if (!converted.IsValid()) return false;
    if (converted.IsTransparent()) converted.AlphaFromTransparentIndex();
    if (!converted.IncreaseBpp(24) || converted.GetBpp() != 24) {
        image.SetLastError(converted.LastErrorText());
        return false;
    }
    return image.TakeOver(converted);
}

// One row of opaque 24-bit pixels (blue, green, red) as ARGB32 words with alpha 255. Four
// pixels are twelve bytes: read as three words, they make the four output words by shifts,
// which is several times quicker than a byte at a time for the client-sized frames that go
// through here on every paint.
void OpaqueRowToArgb32(const uint8_t* pixel, QRgb* out, int width) {
    int x = 0;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    for (; x + 4 <= width; x += 4, pixel += 12) {
        uint32_t w[3];
        std::memcpy(w, pixel, sizeof(w));
        // w0 = b0 g0 r0 b1, w1 = g1 r1 b2 g2, w2 = r2 b3 g3 r3 (lowest byte first)
        out[x] = 0xFF000000u | (w[0] & 0x00FFFFFFu);
        out[x + 1] = 0xFF000000u | (w[0] >> 24) | ((w[1] & 0x0000FFFFu) << 8);
        out[x + 2] = 0xFF000000u | (w[1] >> 16) | ((w[2] & 0x000000FFu) << 16);
        out[x + 3] = 0xFF000000u | (w[2] >> 8);
    }
#endif
    for (; x < width; ++x, pixel += 3) out[x] = qRgba(pixel[2], pixel[1], pixel[0], RASTER_ALPHA_OPAQUE);
}

// A 24-bit image as an ARGB32 bitmap; rows turned from bottom-up to top-down.
QImage ToArgb32(const RasterImage& image) {
    const int width = int(image.GetWidth());
    const int height = int(image.GetHeight());
    QImage bitmap(width, height, QImage::Format_ARGB32);
    if (bitmap.isNull()) return bitmap;
    for (int y = 0; y < height; ++y) {
        const uint32_t stored = uint32_t(height - 1 - y);
        const uint8_t* pixel = image.RowPointer(stored);
        const uint8_t* alpha = image.AlphaPointer(0, stored);
        auto* out = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        if (alpha == nullptr) {
            OpaqueRowToArgb32(pixel, out, width);
            continue;
        }
        for (int x = 0; x < width; ++x, pixel += 3) out[x] = qRgba(pixel[2], pixel[1], pixel[0], alpha[x]);
    }
    return bitmap;
}

bool IsPaletteFormat(QImage::Format format) {
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
           format == QImage::Format_MonoLSB;
}

// Indexed and monochrome bitmaps: same indices, colour table as the palette.
bool FillFromPaletteBitmap(RasterImage& target, const QImage& source) {
    const QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
    if (indexed.isNull()) return false;
    const QList<QRgb> table = indexed.colorTable();
    RasterRgbQuad* palette = target.GetPalette();
    const uint32_t entries = std::min<uint32_t>(target.GetPaletteSize(), uint32_t(table.size()));
    for (uint32_t i = 0; i < entries; ++i) {
        palette[i] = RasterRgbQuad{uint8_t(qBlue(table[i])), uint8_t(qGreen(table[i])), uint8_t(qRed(table[i])), 0};
    }
    const uint32_t height = target.GetHeight();
    for (uint32_t y = 0; y < height; ++y) {
        const uchar* row = indexed.constScanLine(int(y));
        for (uint32_t x = 0; x < target.GetWidth(); ++x) target.SetPixelIndex(x, height - 1 - y, row[x]);
    }
    return true;
}

bool FillFromGrayBitmap(RasterImage& target, const QImage& source) {
    target.SetGrayPalette();
    const uint32_t height = target.GetHeight();
    for (uint32_t y = 0; y < height; ++y) {
        std::copy_n(source.constScanLine(int(y)), target.GetWidth(), target.RowPointer(height - 1 - y));
    }
    return true;
}

// Every pixel's alpha byte, or none when they are all the same.
bool CopyVaryingAlpha(RasterImage& target, const QImage& argb) {
    const uint32_t width = target.GetWidth();
    const uint32_t height = target.GetHeight();
    const int first = qAlpha(reinterpret_cast<const QRgb*>(argb.constScanLine(0))[0]);
    bool varies = false;
    for (uint32_t y = 0; y < height && !varies; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(int(y)));
        for (uint32_t x = 0; x < width; ++x) {
            if (qAlpha(row[x]) != first) {
                varies = true;
                break;
            }
        }
    }
    if (!varies) return true;
    if (!target.CreateAlpha()) {
        target.SetLastError("RasterImage::Create can't allocate memory");
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(int(y)));
        uint8_t* alpha = target.AlphaPointer(0, height - 1 - y);
        for (uint32_t x = 0; x < width; ++x) alpha[x] = uint8_t(qAlpha(row[x]));
    }
    return true;
}

bool FillFromTrueColorBitmap(RasterImage& target, const QImage& source) {
    const bool withAlpha = source.hasAlphaChannel();
    const QImage rgb = source.convertToFormat(withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (rgb.isNull()) return false;
    const uint32_t height = target.GetHeight();
    for (uint32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y)));
        uint8_t* out = target.RowPointer(height - 1 - y);
        for (uint32_t x = 0; x < target.GetWidth(); ++x, out += 3) {
            out[0] = uint8_t(qBlue(row[x]));
            out[1] = uint8_t(qGreen(row[x]));
            out[2] = uint8_t(qRed(row[x]));
        }
    }
    return !withAlpha || CopyVaryingAlpha(target, rgb);
}

}  // namespace

QImage MakeAlphaBitmap(RasterImage& image) {
    if (!image.IsValid() || !ConvertToTrueColor(image)) return QImage();
    return ToArgb32(image);
}

bool CopyOpaqueInto(const RasterImage& picture, QImage& target, int x, int y) {
    if (!picture.IsValid() || picture.GetBpp() != 24) return false;
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32) return false;
    const int height = int(picture.GetHeight());
    const int left = std::max(0, -x);
    const int right = std::min(int(picture.GetWidth()), target.width() - x);
    const int top = std::max(0, -y);
    const int bottom = std::min(height, target.height() - y);
    for (int row = top; row < bottom && left < right; ++row) {
        const uint8_t* pixel = picture.RowPointer(uint32_t(height - 1 - row)) + size_t(left) * 3;
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y + row)) + x + left;
        OpaqueRowToArgb32(pixel, out, right - left);
    }
    return true;
}

bool CopyToClipboard(const RasterImage& image) {
    if (!image.IsValid() || !qGuiApp) return false;
    QImage bitmap;
    if (image.GetBpp() < 24) {
        RasterImage converted(image);
        if (!ConvertToTrueColor(converted)) return false;
        bitmap = ToArgb32(converted);
    } else {
        bitmap = ToArgb32(image);
    }
    if (bitmap.isNull()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    clipboard->setImage(bitmap);
    return true;
}

bool CreateFromBitmap(RasterImage& image, const QImage* bitmap) {
    if (image.IsBorrowed()) return false;
    QImage fromClipboard;
    if (!bitmap) {
        QClipboard* clipboard = qGuiApp ? QGuiApplication::clipboard() : nullptr;
        if (!clipboard) return false;
        fromClipboard = clipboard->image();
        bitmap = &fromClipboard;
    }
    if (bitmap->isNull()) {
        image.SetLastError("CreateFromBitmap: no picture");
        return false;
    }

    const QImage::Format format = bitmap->format();
    const bool palette = IsPaletteFormat(format);
    const bool gray = format == QImage::Format_Grayscale8;
    const uint32_t bpp = palette ? uint32_t(bitmap->depth()) : (gray ? 8u : 24u);
    RasterImage result;
    if (!result.Create(uint32_t(bitmap->width()), uint32_t(bitmap->height()), bpp, RASTER_FORMAT_UNKNOWN)) {
        image.SetLastError(result.LastErrorText());
        return false;
    }
    const bool filled = palette ? FillFromPaletteBitmap(result, *bitmap)
                                : (gray ? FillFromGrayBitmap(result, *bitmap) : FillFromTrueColorBitmap(result, *bitmap));
    if (!filled) {
        image.SetLastError(result.LastErrorText()[0] ? result.LastErrorText() : "GetDIBits failed");
        return false;
    }
    return image.TakeOver(result);
}
