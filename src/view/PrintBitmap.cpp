#include "view/PrintBitmap.h"

#include <algorithm>
#include <cmath>

#include "platform/RasterQtBridge.h"

namespace printbitmap {

QSize PrintSize(uint32_t width, uint32_t height) {
    const uint32_t longest = std::max(width, height);
    if (longest <= kLongestPrintSide) return QSize(int(width), int(height));
    const double scale = double(kLongestPrintSide) / double(longest);
    const auto reduced = [scale](uint32_t side) { return std::max(1, int(std::lround(side * scale))); };
    return QSize(reduced(width), reduced(height));
}

QImage MakePrintBitmap(RasterImage& picture) {
    if (!picture.IsValid()) return QImage();
    const QSize size = PrintSize(picture.GetWidth(), picture.GetHeight());
    if ((uint32_t(size.width()) != picture.GetWidth() || uint32_t(size.height()) != picture.GetHeight()) &&
        !picture.Rescale(uint32_t(size.width()), uint32_t(size.height()), RASTER_RESCALE_AREA)) {
        return QImage();
    }
    QImage bitmap = MakeAlphaBitmap(picture);
    if (bitmap.isNull()) return bitmap;
    // Without an alpha plane every alpha byte is 255: the same bytes are RGB32 already, and
    // reading them so spares a second copy of the whole picture.
    if (!picture.HasAlpha()) {
        bitmap.reinterpretAsFormat(QImage::Format_RGB32);
        return bitmap;
    }
    return bitmap.convertToFormat(QImage::Format_RGB32);
}

}  // namespace printbitmap
