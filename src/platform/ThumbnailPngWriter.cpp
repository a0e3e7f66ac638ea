// libpng leaves an error through longjmp: the function that calls setjmp holds no C++ objects
// with destructors; everything it uses is prepared by its caller.
#include "platform/ThumbnailPngWriter.h"

#include <png.h>

#include <csetjmp>

namespace thumbs {

namespace {

void LeaveOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

bool RunEncode(png_uint_32 width, png_uint_32 height, int colorType, png_bytep* rows, png_textp texts,
               int textCount, std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, LeaveOnError, IgnoreWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 0);
    png_set_text(png, info, texts, textCount);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool EncodeQuickPng(const QImage& image, const PngTexts& texts, std::vector<uint8_t>& png) {
    png.clear();
    if (image.isNull()) return false;
    const bool opaque = image.format() == QImage::Format_RGB888;
    // RGBA8888 keeps its bytes in PNG order on every machine.
    const QImage pixels = opaque ? image : image.convertToFormat(QImage::Format_RGBA8888);
    std::vector<png_bytep> rows(size_t(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y) rows[size_t(y)] = const_cast<png_bytep>(pixels.constScanLine(y));
    std::vector<png_text> chunks(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[i].key = const_cast<png_charp>(texts[i].first.constData());
        chunks[i].text = const_cast<png_charp>(texts[i].second.constData());
        chunks[i].text_length = size_t(texts[i].second.size());
    }
    const bool ok = RunEncode(png_uint_32(pixels.width()), png_uint_32(pixels.height()),
                              opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, rows.data(), chunks.data(),
                              int(chunks.size()), &png);
    if (!ok) png.clear();
    return ok;
}

}  // namespace thumbs
